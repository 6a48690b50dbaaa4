#include "ui/numeric_edit.h"

#include "run/input_checks.h"

WNDPROC savedEditProc;

namespace {

// True when the text of `edit` is not empty and one of `a`, `b` stands
// somewhere after its first character. The first character is never
// looked at, and only the first 255 characters are read.
bool textIsEmptyOrHoldsAfterFirst(HWND edit, char a, char b) {
    char text[256];
    int length = GetWindowTextA(edit, text, sizeof text);
    if (length <= 0) {
        return true;
    }
    for (int i = 1; i < length; ++i) {
        if (text[i] == a || text[i] == b) {
            return true;
        }
    }
    return false;
}

// Whether a typed character may reach the edit.
bool characterPasses(HWND edit, WPARAM character) {
    if (character <= 31 || character == 127) {
        return true;  // Backspace, Tab, Enter, the Ctrl combinations, DEL
    }
    if (character > 127 || !isEntryCharacter(static_cast<char>(character))) {
        return false;  // signs, blanks, other letters, every byte from 128 up
    }
    if (character == '.') {
        return !textIsEmptyOrHoldsAfterFirst(edit, '.', '.');
    }
    if (character == 'E' || character == 'e') {
        return !textIsEmptyOrHoldsAfterFirst(edit, 'E', 'e');
    }
    return true;  // a digit
}

}  // namespace

LRESULT CALLBACK numericEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR && !characterPasses(edit, wParam)) {
        return 0;
    }
    return CallWindowProcA(savedEditProc, edit, message, wParam, lParam);
}
