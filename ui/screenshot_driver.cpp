// Presses Calculate in a running tarquel.exe, as a user would, and waits for
// the results: finds the frame by its class, types the initial m, clicks
// Calculate, and waits until Save becomes available (pressing Stop after
// 20 s if the iteration has not ended by then). Prints the frame's screen
// rectangle as "WIDTHxHEIGHT+X+Y" for cropping the screenshot.
//
// Called with "plot" or "results" instead, once the results are shown:
// chooses Plot... or Results... from the menu, places that window beside the
// frame and prints its rectangle.
//
// Usage: tarquel_screenshot_driver [INITIAL_M | plot | results]
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "ui/resource.h"

namespace {

// Opens the window of menu item `command` (class `className`, title `title`).
int showWindow(HWND frame, int command, const char* className, const char* title) {
    SendMessageA(frame, WM_COMMAND, static_cast<WPARAM>(command), 0);
    HWND plot = nullptr;
    for (int i = 0; i < 50 && plot == nullptr; ++i) {
        plot = FindWindowA(className, title);
        if (plot == nullptr) Sleep(100);
    }
    if (plot == nullptr) {
        std::fprintf(stderr, "screenshot_driver: no window '%s'\n", title);
        return 1;
    }
    RECT f;
    GetWindowRect(frame, &f);
    SetWindowPos(plot, nullptr, f.right + 8, f.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Sleep(500);  // let it paint
    RECT r;
    GetWindowRect(plot, &r);
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* initialM = argc > 1 ? argv[1] : "1";
    HWND frame = nullptr;
    // The frame is shown only once start-up has put the data file into its
    // field; a frame that is not yet visible is still starting.
    for (int i = 0; i < 300 && (frame == nullptr || !IsWindowVisible(frame)); ++i) {
        frame = FindWindowA("Tarquel101Class", "Tarquel");
        if (frame == nullptr || !IsWindowVisible(frame)) Sleep(100);
    }
    if (frame == nullptr || !IsWindowVisible(frame)) {
        std::fprintf(stderr, "screenshot_driver: no Tarquel window\n");
        return 1;
    }
    if (std::strcmp(initialM, "plot") == 0) return showWindow(frame, IDM_PLOT, "TarquelPlotClass", "Weibull plot");
    if (std::strcmp(initialM, "results") == 0) {
        return showWindow(frame, IDM_RESULTS, "TarquelResultsClass", "Weibull results");
    }
    HWND dialog = FindWindowExA(frame, nullptr, "#32770", nullptr);
    if (dialog == nullptr) {
        std::fprintf(stderr, "screenshot_driver: no dialog\n");
        return 1;
    }
    SendMessageA(GetDlgItem(dialog, IDC_INITIAL_M), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(initialM));
    SendMessageA(GetDlgItem(dialog, IDC_CALCULATE), BM_CLICK, 0, 0);
    HWND save = GetDlgItem(dialog, IDC_SAVE);
    for (int i = 0; i < 400 && !IsWindowEnabled(save); ++i) {
        if (i == 200) SendMessageA(GetDlgItem(dialog, IDC_STOP), BM_CLICK, 0, 0);
        Sleep(100);
    }
    if (!IsWindowEnabled(save)) {
        std::fprintf(stderr, "screenshot_driver: no results\n");
        return 1;
    }
    Sleep(300);  // let the fields repaint
    RECT r;
    GetWindowRect(frame, &r);
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    return 0;
}
