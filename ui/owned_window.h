// The program's top-level windows beside the frame (the plot and the
// Results window): resizable, owned by the frame (above it, and destroyed
// with it), at most one of each kind open.
#pragma once

#include <windows.h>

struct OwnedWindowKind {
    const char* className;
    const char* title;
    WNDPROC procedure;
    HBRUSH background;  // nullptr: the window paints all of its client area
    SIZE opening;       // client size on opening, pixels
    SIZE smallest;      // smallest size the frame can be dragged to, pixels
};

// Restores `open` from an icon and brings it to the front; false (and
// nothing done) when it is nullptr.
bool raiseOwnedWindow(HWND open);

// Registers the kind's class on first use and creates its window, not yet
// shown, with the opening client size; nullptr when it cannot be created.
HWND createOwnedWindow(const OwnedWindowKind& kind);

// Shows a created window at the front.
void showOwnedWindow(HWND window);

// Answers WM_GETMINMAXINFO: the kind's smallest size.
void limitOwnedWindow(const OwnedWindowKind& kind, LPARAM lParam);
