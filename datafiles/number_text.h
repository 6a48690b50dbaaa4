// Text to number: the one scanner and conversion used for data lines and
// typed values.
#pragma once

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The first character of `p` that is not a blank or a tab.
inline const char* skipBlanks(const char* p) {
    while (isBlank(*p)) ++p;
    return p;
}

// The decimal number at the start of `text`: blanks and tabs skipped, one
// optional sign, digits with at most one point, an optional exponent brought
// in by e, E, d or D (signed, at least one digit; without a digit the letter
// is not part of the number). Anything after the number is ignored; when
// `end` is given it receives the first character after the number. The scan
// stops at the first character that does not fit (a NUL or a line feed at
// the latest) and reads nothing beyond it.
// No mantissa digit gives 0. The result is the nearest double (ties to even);
// beyond the range of a double it is +-inf (or +-0 below it).
double textToNumber(const char* text, const char** end = nullptr);
