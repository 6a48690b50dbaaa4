// The Results window: a read-only multi-line edit over two buttons. The
// text and the JSON line are formed on the GUI thread when the window opens
// and when a run ends, and kept here, so that Copy and Save JSON never read
// the run's record while a worker may be writing it.
#include "ui/results_window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include <commdlg.h>

#include "run/analysis_state.h"
#include "run/run_outputs.h"
#include "ui/analysis_dialog.h"
#include "ui/owned_window.h"
#include "ui/window_handles.h"

namespace {

const char textFontName[] = "Courier New";
const char jsonFilter[] = "JSON Files(*.json)\0*.json\0All Files(*.*)\0*.*\0";
const char jsonExtension[] = "json";
const char jsonFailedText[] = "The JSON file could not be written.";
const char saveErrorCaption[] = "Save error";

// Client size on opening and the smallest window (pixels), on the dialogs' face colour.
const OwnedWindowKind resultsKind = {"TarquelResultsClass",
                                     "Weibull results",
                                     resultsWindowProc,
                                     reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                                     {720, 460},
                                     {320, 200}};

// The button row (pixels).
constexpr int margin = 8;
constexpr int buttonWidth = 96;
constexpr int buttonHeight = 26;

struct ResultsWindowState {
    HWND window;            // the open window, nullptr while closed
    HWND text;              // its edit control (IDC_RESULTS_TEXT)
    HFONT font;             // the edit's fixed-pitch font, made with the window
    WNDPROC savedEditProc;  // the edit class's own procedure
    std::string shown;      // the text in the edit
    std::string json;       // the run's JSON line, without a line end
};

ResultsWindowState resultsState;

std::string withCrLf(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

void rebuildTexts() {
    const RunOutcome& run = analysisState.lastRun;
    resultsState.shown = resultsWindowText(run);
    resultsState.json = fitted(run) ? reportJson(FitReport{run, runWarnings(run)}) : refusalJson(run);
}

void copyText() {
    const std::string& text = resultsState.shown;
    if (!OpenClipboard(resultsState.window)) return;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (memory != nullptr) {
        std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
        GlobalUnlock(memory);
        if (SetClipboardData(CF_TEXT, memory) == nullptr) GlobalFree(memory);
    }
    CloseClipboard();
}

// The Save As box for the JSON file; true when a name was chosen.
bool chooseJsonFile(char (&name)[MAX_PATH]) {
    name[0] = '\0';
    OPENFILENAMEA box;
    std::memset(&box, 0, sizeof box);
    box.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    box.hwndOwner = resultsState.window;
    box.lpstrFilter = jsonFilter;
    box.lpstrFile = name;
    box.nMaxFile = MAX_PATH;
    box.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    box.lpstrDefExt = jsonExtension;
    return GetSaveFileNameA(&box) != 0;
}

void saveJson() {
    char name[MAX_PATH];
    if (!chooseJsonFile(name)) return;
    if (isOpenDataFile(name)) {
        MessageBoxA(resultsState.window, dataFileIsTargetText, saveErrorCaption, MB_ICONERROR | MB_OK);
        return;
    }
    const std::string line = resultsState.json + "\n";
    std::FILE* file = std::fopen(name, "wb");
    bool written = file != nullptr && std::fwrite(line.data(), 1, line.size(), file) == line.size();
    if (file != nullptr) written = std::fclose(file) == 0 && written;
    if (!written) MessageBoxA(resultsState.window, jsonFailedText, saveErrorCaption, MB_ICONERROR | MB_OK);
}

// The edit's procedure in this window: Ctrl+A selects everything, Ctrl+C
// copies the selection, Esc closes the window; the rest is the edit's own.
LRESULT CALLBACK resultsTextProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR && wParam == 1) {
        SendMessageA(edit, EM_SETSEL, 0, -1);
        return 0;
    }
    if (message == WM_CHAR && wParam == 3) {
        SendMessageA(edit, WM_COPY, 0, 0);
        return 0;
    }
    if (message == WM_CHAR && wParam == VK_ESCAPE) return 0;
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        DestroyWindow(resultsState.window);
        return 0;
    }
    return CallWindowProcA(resultsState.savedEditProc, edit, message, wParam, lParam);
}

HWND makeChild(HWND parent, const char* className, const char* text, DWORD style, int id) {
    return CreateWindowExA(className[0] == 'E' ? WS_EX_CLIENTEDGE : 0, className, text, WS_CHILD | WS_VISIBLE | style,
                           0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           windowHandles.instance, nullptr);
}

void createControls(HWND window) {
    resultsState.text = makeChild(
        window, "EDIT", "",
        WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
        IDC_RESULTS_TEXT);
    resultsState.font = CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, textFontName);
    SendMessageA(resultsState.text, WM_SETFONT, reinterpret_cast<WPARAM>(resultsState.font), FALSE);
    resultsState.savedEditProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(resultsState.text, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(resultsTextProc)));
    const auto guiFont = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (const auto& button : {std::pair<const char*, int>{"Copy", IDC_RESULTS_COPY},
                               std::pair<const char*, int>{"Save JSON...", IDC_RESULTS_SAVE_JSON}}) {
        HWND control = makeChild(window, "BUTTON", button.first, WS_TABSTOP | BS_PUSHBUTTON, button.second);
        SendMessageA(control, WM_SETFONT, guiFont, FALSE);
    }
}

// The edit fills the client area above a row of the two buttons at the right.
void layOut(HWND window, int width, int height) {
    const int buttonTop = std::max(margin, height - margin - buttonHeight);
    MoveWindow(resultsState.text, 0, 0, width, std::max(0, buttonTop - margin), TRUE);
    const int saveLeft = width - margin - buttonWidth;
    MoveWindow(GetDlgItem(window, IDC_RESULTS_SAVE_JSON), saveLeft, buttonTop, buttonWidth, buttonHeight, TRUE);
    MoveWindow(GetDlgItem(window, IDC_RESULTS_COPY), saveLeft - margin - buttonWidth, buttonTop, buttonWidth,
               buttonHeight, TRUE);
}

void onCommand(WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDC_RESULTS_COPY: copyText(); break;
        case IDC_RESULTS_SAVE_JSON: saveJson(); break;
        default: return;
    }
    if (resultsState.window != nullptr) SetFocus(resultsState.text);  // Esc and Ctrl+A reach the text again
}

}  // namespace

std::string resultsWindowText(const RunOutcome& run) {
    if (!fitted(run)) {
        const Refusal& r = run.refusal;
        return withCrLf(r.caption + ": " + r.text + ": " + r.cause + "\n");
    }
    const FitReport report{run, runWarnings(run)};
    std::string text = resultsText(report) + "\n";
    for (const std::string& note : runNotes(report)) text += "Note: " + note + "\n";
    text += std::string("Iteration ended    : ") + endingName(run) + "\n";
    return withCrLf(text);
}

void openResultsWindow() {
    if (raiseOwnedWindow(resultsState.window)) return;
    rebuildTexts();
    resultsState.window = createOwnedWindow(resultsKind);
    if (resultsState.window == nullptr) return;
    SetWindowTextA(resultsState.text, resultsState.shown.c_str());
    showOwnedWindow(resultsState.window);
    SetFocus(resultsState.text);
}

void refreshResultsWindow() {
    if (resultsState.window == nullptr) return;
    rebuildTexts();
    SetWindowTextA(resultsState.text, resultsState.shown.c_str());
}

HWND resultsWindow() { return resultsState.window; }

LRESULT CALLBACK resultsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: createControls(window); return 0;
        case WM_SIZE: layOut(window, LOWORD(lParam), HIWORD(lParam)); return 0;
        case WM_SETFOCUS: SetFocus(resultsState.text); return 0;
        case WM_COMMAND: onCommand(wParam); return 0;
        case WM_GETMINMAXINFO: limitOwnedWindow(resultsKind, lParam); return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                DestroyWindow(window);
                return 0;
            }
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_DESTROY: resultsState.window = nullptr; return 0;
        case WM_NCDESTROY:
            // The edit has gone by now, so its procedure and font are free.
            DeleteObject(resultsState.font);
            resultsState = ResultsWindowState{};
            return DefWindowProcA(window, message, wParam, lParam);
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}
