// Texts that must show whole in controls of a fixed size: the seven result
// fields and the dialog's labels. Where the dialog font draws a text wider
// than its control, the control gets the same face at the same height, only
// narrower, just enough for the text to fit; nothing moves and no text changes.
#pragma once

#include <windows.h>

// Fits every label (STATIC) of `dialog` to its own text and every result
// field (IDC_OUT_M .. IDC_OUT_SIGMA2) to the widest text the screen format
// can give ("-d.dddde+ddd"). Controls whose text fits keep the dialog font.
void fitDialogTexts(HWND dialog);

// Deletes the fonts made by fitDialogTexts (when the dialog goes).
void releaseFittedFonts();
