#include "ui/main_window.h"

#include <cstring>

#include <shellapi.h>

#include "run/analysis_state.h"
#include "tarquel_version.h"
#include "ui/analysis_dialog.h"
#include "ui/help.h"
#include "ui/options_menu.h"
#include "ui/plot_window.h"
#include "ui/results_window.h"
#include "ui/window_handles.h"

WindowHandles windowHandles;

namespace {

const char mainClassName[] = "Tarquel101Class";

// The start-up failure messages, in code page 932 (half-width katakana).
const char startFailedCaption[] =  // "program start failed"
    "\xcc\xdf\xdb\xb8\xde\xd7\xd1\x8b\x4e\x93\xae\x8e\xb8\x94\x73";
const char parentFailedText[] =  // "creating the parent window failed"
    "\x90\x65\xb3\xa8\xdd\xc4\xde\xb3\x82\xcc\x8d\xec\x90\xac\x82\xc9"
    "\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
const char childFailedText[] =  // "creating the child window failed"
    "\x8e\x71\xb3\xa8\xdd\xc4\xde\xb3\x82\xcc\x8d\xec\x90\xac\x82\xc9"
    "\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";

// The About box: the part before '#' is its title, the rest its first line.
const char aboutText[] = "Tarquel #Tarquel  Version " TARQUEL_VERSION_TEXT " ";
const char aboutOtherText[] = "Three-parameter Weibull fit of failure times";

const char helpFileName[] = "Tarquel.hlp";

constexpr DWORD mainWindowStyle = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// Hands a menu command to the dialog as the matching button command; the
// dialog has acted when this returns.
void forwardToDialog(int controlId) {
    SendMessageA(windowHandles.dialog, WM_COMMAND, static_cast<WPARAM>(controlId), 0);
}

void showHelpOnHelp() { WinHelpA(windowHandles.dialog, "", HELP_HELPONHELP, 0); }

void showAbout() { ShellAboutA(windowHandles.dialog, aboutText, aboutOtherText, windowHandles.icon); }

LRESULT onCreate(HWND window) {
    // Recorded before the dialog exists: its initialisation reads the menus
    // through this handle.
    windowHandles.mainWindow = window;
    windowHandles.dialog = CreateDialogParamA(windowHandles.instance, "TarquelDlg", window, analysisDialogProc, 0);
    if (windowHandles.dialog == nullptr) {
        MessageBoxA(window, childFailedText, startFailedCaption, MB_ICONERROR | MB_OK);
        DestroyWindow(window);
        return 0;
    }
    // Grow the dialog's rectangle by the frame, the caption and one menu
    // line, so that the client area is exactly the dialog.
    RECT frame;
    GetWindowRect(windowHandles.dialog, &frame);
    AdjustWindowRect(&frame, mainWindowStyle, TRUE);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW);
    ShowWindow(windowHandles.dialog, SW_SHOW);
    return 0;
}

LRESULT onCommand(WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDM_CALCULATE: forwardToDialog(IDC_CALCULATE); break;
        case IDM_SAVE: forwardToDialog(IDC_SAVE); break;
        case IDM_PLOT: openPlotWindow(); break;
        case IDM_STOP: forwardToDialog(IDC_STOP); break;
        case IDM_EXIT: forwardToDialog(IDC_EXIT); break;
        case IDM_CONTENTS: forwardToDialog(IDC_HELP_BUTTON); break;
        case IDM_HELP_ON_HELP: showHelpOnHelp(); break;
        case IDM_ABOUT: showAbout(); break;
        case IDM_RESULTS: openResultsWindow(); break;
        default:
            if (LOWORD(wParam) >= IDM_READ_SUSPENSIONS && LOWORD(wParam) <= IDM_SHAPE_RRX) chooseOption(LOWORD(wParam));
            break;
    }
    return 0;
}

// Takes the first dropped file as the data file when it is an existing file.
LRESULT onDropFiles(WPARAM wParam) {
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    char name[512];
    name[0] = '\0';
    DragQueryFileA(drop, 0, name, sizeof name);
    DragFinish(drop);
    if (!isExistingFile(name)) {
        return 0;
    }
    SetWindowTextA(controlOf(IDC_DATA_FILE), name);
    return 1;
}

}  // namespace

bool isExistingFile(const char* path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool openMainWindow(HINSTANCE instance, const char* commandLine, int showCommand) {
    windowHandles.instance = instance;
    windowHandles.icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TARQUEL));

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = windowHandles.icon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = "TarquelMenu";
    windowClass.lpszClassName = mainClassName;
    windowClass.hIconSm = nullptr;
    // A failed registration shows up as a window that was not created.
    RegisterClassExA(&windowClass);

    // The size is set in WM_CREATE once the dialog exists. The handle is
    // judged by what WM_CREATE recorded: a frame whose dialog failed has
    // already been destroyed again.
    windowHandles.mainWindow = nullptr;
    CreateWindowExA(0, mainClassName, "Tarquel", mainWindowStyle, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr,
                    instance, nullptr);
    if (windowHandles.mainWindow == nullptr) {
        MessageBoxA(nullptr, parentFailedText, startFailedCaption, MB_ICONERROR | MB_OK);
        return false;
    }
    if (!IsWindow(windowHandles.mainWindow)) {
        return false;
    }
    buildHelpPath();
    takeCommandLineFile(commandLine);
    ShowWindow(windowHandles.mainWindow, showCommand);
    return true;
}

int runMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) != 0) {
        // The dialog is a child window, so Tab, the arrow keys and the
        // default button work only when the dialog manager sees the keys first.
        if (!IsDialogMessageA(windowHandles.dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return onCreate(window);
        case WM_COMMAND: return onCommand(wParam);
        case WM_DROPFILES: return onDropFiles(wParam);
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

void takeCommandLineFile(const char* commandLine) {
    char name[MAX_PATH];
    std::size_t length = 0;
    while (commandLine[length] != '\0' && commandLine[length] != ' ' && commandLine[length] != '\t') {
        if (length == MAX_PATH - 1) {
            return;  // too long to be a path: never looked up, never copied further
        }
        name[length] = commandLine[length];
        ++length;
    }
    name[length] = '\0';
    if (isExistingFile(name)) {
        SetWindowTextA(controlOf(IDC_DATA_FILE), name);
    }
}

void buildHelpPath() {
    char* path = analysisState.helpFilePath;
    path[0] = '\0';
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* lastBackslash = std::strrchr(path, '\\');
    if (lastBackslash != nullptr) {
        lastBackslash[1] = '\0';
    } else {
        path[0] = '\0';
    }
    std::strcat(path, helpFileName);
}
