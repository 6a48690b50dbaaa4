#include "ui/fitted_fonts.h"

#include <algorithm>
#include <string>
#include <vector>

#include "ui/window_handles.h"

namespace {

std::vector<HFONT> fittedFonts;  // made here, deleted with the dialog

int textWidth(HWND control, HFONT font, const std::string& text) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

// The width a control can show its text in: an edit's client area less its
// margins and a pixel for the caret; a label's client area.
int roomFor(HWND control, bool edit) {
    RECT client;
    GetClientRect(control, &client);
    if (!edit) return client.right;
    const auto margins = static_cast<DWORD>(SendMessageA(control, EM_GETMARGINS, 0, 0));
    return client.right - LOWORD(margins) - HIWORD(margins) - 1;
}

// Gives `control` a narrower cut of its font when the widest of `texts`
// does not fit: the widest cut that fits, found by lowering the average
// character width a pixel at a time from the font's own. (Scaling it by
// room over width would overshoot: a face's average width need not be that
// of its digits.)
void fitControl(HWND control, bool edit, const std::vector<std::string>& texts) {
    const auto base = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    if (base == nullptr) return;
    const int room = roomFor(control, edit);
    auto widest = [&](HFONT font) {
        int width = 0;
        for (const std::string& text : texts) width = std::max(width, textWidth(control, font, text));
        return width;
    };
    const int width = widest(base);
    if (width <= room || room <= 0) return;
    LOGFONTA face{};
    GetObjectA(base, sizeof face, &face);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, base);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    face.lfWidth = std::max(1L, metrics.tmAveCharWidth);
    for (;;) {
        HFONT narrower = CreateFontIndirectA(&face);
        if (narrower == nullptr) return;
        if (widest(narrower) <= room || face.lfWidth == 1) {
            fittedFonts.push_back(narrower);
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(narrower), TRUE);
            return;
        }
        DeleteObject(narrower);
        --face.lfWidth;
    }
}

BOOL CALLBACK fitLabel(HWND control, LPARAM) {
    char name[16] = "";
    GetClassNameA(control, name, sizeof name);
    char text[256] = "";
    GetWindowTextA(control, text, sizeof text);
    if (lstrcmpiA(name, "Static") == 0 && text[0] != '\0') fitControl(control, false, {text});
    return TRUE;
}

}  // namespace

void fitDialogTexts(HWND dialog) {
    EnumChildWindows(dialog, fitLabel, 0);
    // The screen format's widest texts: a sign, 1 + 4 digits, and a signed
    // three-digit exponent, in each digit (digits may differ in width).
    std::vector<std::string> widest;
    for (char digit = '0'; digit <= '9'; ++digit) {
        const std::string d(1, digit);
        widest.push_back("-" + d + "." + d + d + d + d + "e+" + d + d + d);
    }
    for (int id = IDC_OUT_M; id <= IDC_OUT_SIGMA2; ++id) fitControl(controlOf(id), true, widest);
}

void releaseFittedFonts() {
    for (HFONT font : fittedFonts) DeleteObject(font);
    fittedFonts.clear();
}
