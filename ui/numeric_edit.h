// The filter on the two number fields (initial m and gamma): only the
// characters of an unsigned decimal number with an optional exponent get in.
#pragma once

#include <windows.h>

// The edit class's own window procedure, taken before the filter is
// installed; one saved procedure serves both fields, and Exit puts it back.
extern WNDPROC savedEditProc;

// Window procedure installed in place of the edit's own. Judges WM_CHAR
// against the field's current text: passes control characters, digits and
// 127; passes '.' and 'E'/'e' only into a non-empty text that holds none of
// them after its first character; swallows everything else (returns 0).
// Every other message goes to savedEditProc unchanged.
LRESULT CALLBACK numericEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
