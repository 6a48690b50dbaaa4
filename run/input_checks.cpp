#include "run/input_checks.h"

bool hasWildcard(const char* name) {
    for (; *name != '\0'; ++name) {
        if (*name == '?' || *name == '*') return true;
    }
    return false;
}

bool isEntryCharacter(char c) { return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E'; }

bool isEntryText(const char* text, bool allowLeadingMinus) {
    if (allowLeadingMinus && *text == '-') ++text;
    bool digit = false;
    for (; *text != '\0'; ++text) {
        if (!isEntryCharacter(*text)) return false;
        digit = digit || (*text >= '0' && *text <= '9');
    }
    return digit;
}

bool isUsableInitialM(double m) { return m > 0; }
