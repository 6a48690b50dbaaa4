#include "ui/owned_window.h"

#include "ui/window_handles.h"

bool raiseOwnedWindow(HWND open) {
    if (open == nullptr) return false;
    if (IsIconic(open)) ShowWindow(open, SW_RESTORE);
    SetForegroundWindow(open);
    return true;
}

HWND createOwnedWindow(const OwnedWindowKind& kind) {
    WNDCLASSEXA windowClass{};
    if (!GetClassInfoExA(windowHandles.instance, kind.className, &windowClass)) {
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = kind.procedure;
        windowClass.hInstance = windowHandles.instance;
        windowClass.hIcon = windowHandles.icon;
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.hbrBackground = kind.background;
        windowClass.lpszClassName = kind.className;
        RegisterClassExA(&windowClass);
    }
    constexpr DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame = {0, 0, kind.opening.cx, kind.opening.cy};
    AdjustWindowRect(&frame, style, FALSE);
    return CreateWindowExA(0, kind.className, kind.title, style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                           frame.bottom - frame.top, windowHandles.mainWindow, nullptr, windowHandles.instance,
                           nullptr);
}

void showOwnedWindow(HWND window) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}

void limitOwnedWindow(const OwnedWindowKind& kind, LPARAM lParam) {
    auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
    limits->ptMinTrackSize.x = kind.smallest.cx;
    limits->ptMinTrackSize.y = kind.smallest.cy;
}
