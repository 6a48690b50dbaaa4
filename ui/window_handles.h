// The window handles that the Windows program records once at start-up and
// reaches every control through, from the GUI thread and the worker alike.
#pragma once

#include <windows.h>

#include "ui/resource.h"

// Sent by the calculation run to the dialog as its very last act (wParam and
// lParam 0); the dialog then returns to the idle state.
constexpr UINT WM_CALCULATION_DONE = WM_APP + 1;

// Number of dialog controls with an id, IDC_BROWSE (1000) to IDC_RANK_4 (1022).
constexpr int controlCount = IDC_RANK_4 - IDC_BROWSE + 1;

struct WindowHandles {
    HINSTANCE instance;          // the executable, kept by WinMain
    HWND mainWindow;             // the frame, recorded first thing in its WM_CREATE
    HWND dialog;                 // the analysis dialog filling the frame's client area
    HICON icon;                  // icon 101, for the window class and the About box
    HMENU menu;                  // the frame's menu bar
    HMENU systemMenu;            // the frame's live system menu (for Close)
    HWND control[controlCount];  // the dialog's controls, index = id - IDC_BROWSE
};

extern WindowHandles windowHandles;

// The recorded handle of the control with id `id` (IDC_BROWSE..IDC_RANK_4).
inline HWND controlOf(int id) { return windowHandles.control[id - IDC_BROWSE]; }
