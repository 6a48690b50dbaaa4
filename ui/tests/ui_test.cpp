// Drives the real main window and dialog with real messages: the same code
// as tarquel.exe, started the way WinMain starts it, on this thread, with a
// message pump that offers every message to the dialog first. Modal boxes
// that block this thread (Open, Save, About) are handled by a watcher
// thread; message boxes of the worker are found and closed from here.
//
// Usage: tarquel_ui_tests CLI_EXE DATA_DIR
//   CLI_EXE   the command-line program of the same build (report comparison)
//   DATA_DIR  the directory holding the test data files
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "datafiles/number_format.h"
#include "plot/plot_layout.h"
#include "run/analysis_state.h"
#include "ui/analysis_dialog.h"
#include "ui/main_window.h"
#include "ui/numeric_edit.h"
#include "ui/plot_window.h"
#include "ui/window_handles.h"

namespace {

// ---------------------------------------------------------------- harness

int passed = 0;
int failed = 0;
const char* currentCase = "";

void check(bool ok, const char* what, const std::string& detail = "") {
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    std::printf("FAIL [%s] %s %s\n", currentCase, what, detail.c_str());
    std::fflush(stdout);
}

void checkText(const std::string& actual, const std::string& expected, const char* what) {
    check(actual == expected, what, "got \"" + actual + "\" expected \"" + expected + "\"");
}

std::string cliPath;
std::string dataDir;
std::string workDir;  // a fresh directory for the files the tests write

std::string readFileBytes(const std::string& path) {
    std::string bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
        std::fclose(f);
    }
    return bytes;
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// ---------------------------------------------------------------- windows

int quitCount = 0;
WPARAM quitCode = 99;

// One round of the program's own message loop, without blocking.
void pumpOnce() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ++quitCount;
            quitCode = message.wParam;
            continue;
        }
        if (!IsDialogMessageA(windowHandles.dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        pumpOnce();
        if (done()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void pumpFor(DWORD ms) {
    pumpUntil([] { return false; }, ms);
}

HWND control(int id) { return controlOf(id); }

std::string textOf(HWND window) {
    char text[1024];
    text[0] = '\0';
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string fieldText(int id) { return textOf(control(id)); }

void setField(int id, const std::string& text) {
    SendMessageA(control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void setCheck(int id, bool checked) {
    SendMessageA(control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// A click as the user makes it: the button notifies the dialog.
void click(int id) { SendMessageA(control(id), BM_CLICK, 0, 0); }

void menu(int id) { SendMessageA(windowHandles.mainWindow, WM_COMMAND, static_cast<WPARAM>(id), 0); }

bool enabled(int id) { return IsWindowEnabled(control(id)) != FALSE; }

bool menuEnabled(HMENU m, UINT id) {
    UINT state = GetMenuState(m, id, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

bool acceptsDrops() {
    return (GetWindowLongPtrA(windowHandles.mainWindow, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
}

bool isBusy() { return enabled(IDC_STOP) && !enabled(IDC_CALCULATE); }
bool isIdle() { return !enabled(IDC_STOP) && enabled(IDC_CALCULATE); }

// Starts the program as WinMain does, with `commandLine`.
bool openProgram(const char* commandLine = "") {
    quitCount = 0;
    bool ok = openMainWindow(GetModuleHandleA(nullptr), commandLine, SW_SHOW);
    pumpFor(50);
    return ok;
}

// Ends a run that may still be going, then leaves through Exit.
void closeProgram() {
    if (!IsWindow(windowHandles.mainWindow)) return;
    if (isBusy()) {
        click(IDC_STOP);
        pumpUntil(isIdle, 10000);
    }
    menu(IDM_EXIT);
    pumpFor(20);
}

BOOL CALLBACK collectBox(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char cls[64];
    GetClassNameA(window, cls, sizeof cls);
    if (process == GetCurrentProcessId() && std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    }
    return TRUE;
}

// Top-level dialog boxes (#32770) of this process that are on screen.
std::vector<HWND> openBoxes() {
    std::vector<HWND> boxes;
    EnumWindows(collectBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

BOOL CALLBACK collectStaticText(HWND child, LPARAM param) {
    char cls[64];
    GetClassNameA(child, cls, sizeof cls);
    std::string text = textOf(child);
    if (_stricmp(cls, "Static") == 0 && !text.empty()) {
        std::string& all = *reinterpret_cast<std::string*>(param);
        if (!all.empty()) all += '|';
        all += text;
    }
    return TRUE;
}

// The texts of a box's static controls, joined by '|'.
std::string staticTexts(HWND box) {
    std::string texts;
    EnumChildWindows(box, collectStaticText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

struct SeenBox {
    bool found = false;
    std::string caption;
    std::string text;
};

// Waits (pumping) for a message box from the worker, notes its caption and
// text, and closes it with OK.
SeenBox closeMessageBox(DWORD timeoutMs = 10000) {
    SeenBox seen;
    HWND box = nullptr;
    pumpUntil(
        [&] {
            std::vector<HWND> boxes = openBoxes();
            if (boxes.empty()) return false;
            box = boxes.front();
            return true;
        },
        timeoutMs);
    if (box == nullptr) return seen;
    seen.found = true;
    seen.caption = textOf(box);
    seen.text = staticTexts(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    pumpUntil([] { return openBoxes().empty(); }, 5000);
    return seen;
}

// Handles modal boxes that block this thread: a watcher thread waits for
// each box in turn (a box it has not handled yet), records its caption and
// text and runs the next action on it, which must close it.
class BoxWatcher {
public:
    using Action = std::function<void(HWND)>;
    explicit BoxWatcher(std::vector<Action> actions) : actions_(std::move(actions)) {
        thread_ = std::thread([this] { watch(); });
    }
    explicit BoxWatcher(Action action) : BoxWatcher(std::vector<Action>{std::move(action)}) {}
    ~BoxWatcher() { join(); }
    void join() {
        if (thread_.joinable()) thread_.join();
    }
    bool found() const { return handled_ == actions_.size(); }
    bool done() const { return finished_; }
    const std::string& caption(std::size_t i = 0) const { return captions_[i]; }
    const std::string& text(std::size_t i = 0) const { return texts_[i]; }

private:
    void watch() {
        std::vector<HWND> seen;
        for (int i = 0; i < 1000 && handled_ < actions_.size(); ++i) {
            for (HWND box : openBoxes()) {
                bool old = false;
                for (HWND s : seen) old = old || s == box;
                if (old) continue;
                Sleep(100);  // let the box finish its initialisation
                seen.push_back(box);
                captions_.push_back(textOf(box));
                texts_.push_back(staticTexts(box));
                actions_[handled_](box);
                ++handled_;
                break;
            }
            Sleep(10);
        }
        finished_ = true;
    }

    std::vector<Action> actions_;
    std::thread thread_;
    std::atomic<std::size_t> handled_{0};
    std::atomic<bool> finished_{false};
    std::vector<std::string> captions_;
    std::vector<std::string> texts_;
};

void pressOk(HWND box) { PostMessageA(box, WM_COMMAND, IDOK, 0); }

// Types `name` into a file box and presses its OK button.
void fillFileBox(HWND box, const std::string& name) {
    // The name field is the combo box cmb13 in newer file boxes and the
    // edit edt1 in older ones (and in Wine's).
    if (HWND field = GetDlgItem(box, 0x47c)) {
        SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    if (HWND field = GetDlgItem(box, 0x480)) {
        SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

void cancelBox(HWND box) { PostMessageA(box, WM_COMMAND, IDCANCEL, 0); }

// Builds the HDROP that the shell hands to a window for dropped files.
HDROP buildDrop(const std::vector<std::string>& names) {
    std::size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& name : names) size += name.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    char* list = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
    for (const std::string& name : names) {
        std::memcpy(list, name.c_str(), name.size() + 1);
        list += name.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

LRESULT dropFiles(const std::vector<std::string>& names) {
    return SendMessageA(windowHandles.mainWindow, WM_DROPFILES,
                        reinterpret_cast<WPARAM>(buildDrop(names)), 0);
}

// Fills the inputs and ticks or clears Auto Gamma as a click would.
void setInputs(const std::string& file, bool autoGamma, const std::string& gamma,
               const std::string& initialM) {
    setField(IDC_DATA_FILE, file);
    setCheck(IDC_AUTO_GAMMA, autoGamma);
    SendMessageA(windowHandles.dialog, WM_COMMAND, IDC_AUTO_GAMMA, 0);
    setField(IDC_GAMMA, gamma);
    setField(IDC_INITIAL_M, initialM);
}

// Clicks Calculate and pumps until the run has returned the dialog to idle.
bool runToEnd(DWORD timeoutMs = 20000) {
    click(IDC_CALCULATE);
    return pumpUntil(isIdle, timeoutMs);
}

std::string dataFile(const char* name) { return dataDir + "\\" + name; }

// A run that lasts minutes: 100,000 times near 1e9 with a typed gamma of 0.
// ln x is about 21 against a spread of about 0.6, so the damped iteration
// creeps towards the root by a thousandth per step; the tests Stop it.
std::string longRunFile() {
    const std::string path = workDir + "\\long-run.dat";
    std::string text;
    for (int i = 0; i < 100000; ++i) {
        const double F = (i + 0.5) / 100000;
        char line[40];
        std::snprintf(line, sizeof line, "%.9e\n", 1e9 * std::sqrt(-std::log(1 - F)));
        text += line;
    }
    writeFileBytes(path, text);
    return path;
}
const char longRunInitialM[] = "0.3";

const int outputIds[7] = {IDC_OUT_M, IDC_OUT_T0, IDC_OUT_GAMMA, IDC_OUT_MU,
                          IDC_OUT_XI, IDC_OUT_TM, IDC_OUT_SIGMA2};

void checkOutputsShowResult() {
    const FitResult& r = analysisState.result;
    const double values[7] = {r.m, r.t0, r.gamma, r.mu, r.xi, r.tm, r.sigma2};
    for (int i = 0; i < 7; ++i) {
        char expected[numberTextSize];
        formatScreenNumber(values[i], expected);
        checkText(fieldText(outputIds[i]), expected, "output field");
    }
}

bool outputsEmpty() {
    for (int id = IDC_MONITOR_M; id <= IDC_OUT_SIGMA2; ++id) {
        if (!fieldText(id).empty()) return false;
    }
    return true;
}

// ---------------------------------------------------------------- cases

void testTemplateAndFrame() {
    currentCase = "template";
    HRSRC found = FindResourceA(nullptr, "TarquelDlg", RT_DIALOG);
    check(found != nullptr, "dialog template present");
    if (found == nullptr) return;
    const auto* words = static_cast<const WORD*>(LockResource(LoadResource(nullptr, found)));
    const auto* header = reinterpret_cast<const DLGTEMPLATE*>(words);
    check(header->style == (WS_CHILD | DS_SETFONT), "dialog style: child, font, hidden");
    check(header->cdit == 44, "44 controls", std::to_string(header->cdit));
    check(header->cx == 222 && header->cy == 236, "222 x 236 dialog units");
    // After the header: menu, class and title (each 0 here), then the point
    // size and the face name in UTF-16.
    const WORD* p = words + sizeof(DLGTEMPLATE) / sizeof(WORD);
    check(p[0] == 0 && p[1] == 0 && p[2] == 0, "no menu, class or title");
    check(p[3] == 9, "9 point font");
    // The face name compiled from code page 932: full-width M S, a blank,
    // full-width P, then katakana go-shi-kku.
    const WORD face[] = {0xff2d, 0xff33, 0x0020, 0xff30, 0x30b4, 0x30b7, 0x30c3, 0x30af, 0};
    check(std::memcmp(p + 4, face, sizeof face) == 0, "font face decoded from code page 932");

    const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
    check(FindResourceExA(nullptr, RT_DIALOG, "TarquelDlg", japanese) != nullptr, "dialog in Japanese");
    check(FindResourceExA(nullptr, RT_MENU, "TarquelMenu", japanese) != nullptr, "menu in Japanese");
    {
        // File: Calculate, Save, Plot..., then the rest as before.
        HMENU bar = LoadMenuA(GetModuleHandleA(nullptr), "TarquelMenu");
        HMENU file = GetSubMenu(bar, 0);
        char itemText[64] = "";
        GetMenuStringA(file, 2, itemText, sizeof itemText, MF_BYPOSITION);
        check(GetMenuItemID(file, 1) == IDM_SAVE && GetMenuItemID(file, 2) == IDM_PLOT &&
                  GetMenuItemID(file, 4) == IDM_STOP,
              "Plot follows Save in the File menu");
        checkText(itemText, "Plot(&P)...", "Plot item text");
        DestroyMenu(bar);
    }
    HRSRC version = FindResourceA(nullptr, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    check(version != nullptr, "version resource present");
    if (version != nullptr) {
        // VS_FIXEDFILEINFO follows the 40-byte header of the root block.
        const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, version)));
        const auto* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(bytes + 40);
        check(fixed->dwSignature == 0xFEEF04BD && fixed->dwFileVersionMS == 0x00010000 &&
                  fixed->dwFileVersionLS == 0x00000001 && fixed->dwProductVersionLS == 0x00000001,
              "file and product version 1.0.0.1");
    }

    currentCase = "frame";
    check(openProgram(), "program starts");
    RECT client, dialog;
    GetClientRect(windowHandles.mainWindow, &client);
    GetWindowRect(windowHandles.dialog, &dialog);
    check(client.right == dialog.right - dialog.left && client.bottom == dialog.bottom - dialog.top,
          "client area is exactly the dialog");
    LONG_PTR style = GetWindowLongPtrA(windowHandles.mainWindow, GWL_STYLE);
    check((style & (WS_THICKFRAME | WS_MAXIMIZEBOX)) == 0, "frame neither resizable nor maximisable");
    check(GetFocus() == control(IDC_DATA_FILE), "data file field has the focus");
    check(IsDlgButtonChecked(windowHandles.dialog, IDC_AUTO_GAMMA) == BST_CHECKED &&
              IsDlgButtonChecked(windowHandles.dialog, IDC_RANK_1) == BST_CHECKED,
          "Auto Gamma ticked and the first rank selected");
    check(!enabled(IDC_GAMMA), "gamma field disabled while Auto Gamma is ticked");
    setCheck(IDC_AUTO_GAMMA, true);
    click(IDC_AUTO_GAMMA);
    check(enabled(IDC_GAMMA), "clearing Auto Gamma enables the gamma field");
    click(IDC_AUTO_GAMMA);
    check(!enabled(IDC_GAMMA), "ticking Auto Gamma disables it again");

    std::string helpPath = analysisState.helpFilePath;
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string exeDir(exe, std::strrchr(exe, '\\') + 1);
    checkText(helpPath, exeDir + "Tarquel.hlp", "help file beside the executable");
    closeProgram();
}

struct ValidationRow {
    const char* label;
    std::string file;
    bool autoGamma;
    const char* gamma;
    const char* initialM;
    int badField;
};

void testValidation() {
    currentCase = "validation";
    // A file whose name a wildcard also matches, and a directory.
    const std::string good = workDir + "\\good.dat";
    writeFileBytes(good, readFileBytes(dataFile("n3.dat")));
    const std::string directory = workDir + "\\folder.dat";
    CreateDirectoryA(directory.c_str(), nullptr);

    const ValidationRow rows[] = {
        {"empty name", "", true, "", "1", IDC_DATA_FILE},
        {"star", workDir + "\\go*.dat", true, "", "1", IDC_DATA_FILE},
        {"question mark", workDir + "\\goo?.dat", true, "", "1", IDC_DATA_FILE},
        {"directory", directory, true, "", "1", IDC_DATA_FILE},
        {"missing file", workDir + "\\absent.dat", true, "", "1", IDC_DATA_FILE},
        {"bad file before gamma and m", "", false, "", "", IDC_DATA_FILE},
        {"gamma before m", good, false, "", "", IDC_GAMMA},
        {"empty m", good, true, "", "", IDC_INITIAL_M},
        {"m zero", good, true, "", "0", IDC_INITIAL_M},
        {"m zero with exponent", good, true, "", "0e5", IDC_INITIAL_M},
        {"m not a number", good, false, "1", "x1", IDC_INITIAL_M},
    };
    check(openProgram(), "program starts");
    for (const ValidationRow& row : rows) {
        setInputs(row.file, row.autoGamma, row.gamma, row.initialM);
        for (int id = IDC_MONITOR_M; id <= IDC_OUT_SIGMA2; ++id) setField(id, "old");
        click(IDC_CALCULATE);
        pumpFor(30);
        HWND bad = control(row.badField);
        std::string label = row.label;
        check(GetFocus() == bad, "focus on the bad field", label);
        DWORD start = 0, end = 0;
        SendMessageA(bad, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        check(start == 0 && end == textOf(bad).size(), "whole text selected", label);
        check(openBoxes().empty(), "no message box", label);
        check(isIdle(), "still idle", label);
        check(outputsEmpty(), "monitor and output fields emptied", label);
    }

    // Accepted oddities: "1e" is 1, a lone "." is gamma 0.
    setInputs(good, false, ".", "1e");
    analysisState.result.gamma = 99;
    click(IDC_CALCULATE);
    check(isBusy(), "run with m \"1e\" and gamma \".\" started");
    click(IDC_STOP);
    check(pumpUntil(isIdle, 10000), "run with m \"1e\" and gamma \".\" stopped");
    check(analysisState.initialM == 1.0, "initial m \"1e\" taken as 1");
    check(analysisState.result.gamma == 0.0, "gamma \".\" taken as 0");
    check(analysisState.autoGamma == 0, "Auto Gamma cleared stored");
    checkText(analysisState.dataFilePath, good, "data file stored");
    closeProgram();
}

struct EnablingRow {
    const char* label;
    std::function<bool()> isEnabled;
    bool idle;  // state while idle (no sample loaded, Auto Gamma ticked)
    bool busy;
};

void testIdleAndBusy() {
    currentCase = "idle and busy";
    check(openProgram(), "program starts");
    HMENU bar = windowHandles.menu;
    HMENU system = windowHandles.systemMenu;
    const EnablingRow rows[] = {
        {"drops accepted", acceptsDrops, true, false},
        {"menu Calculate", [=] { return menuEnabled(bar, IDM_CALCULATE); }, true, false},
        {"menu Stop", [=] { return menuEnabled(bar, IDM_STOP); }, false, true},
        {"menu Exit", [=] { return menuEnabled(bar, IDM_EXIT); }, true, false},
        {"system Close", [=] { return menuEnabled(system, SC_CLOSE); }, true, false},
        {"Brouse", [] { return enabled(IDC_BROWSE); }, true, false},
        {"Stop", [] { return enabled(IDC_STOP); }, false, true},
        {"Calculate", [] { return enabled(IDC_CALCULATE); }, true, false},
        {"Exit", [] { return enabled(IDC_EXIT); }, true, false},
        {"Auto Gamma", [] { return enabled(IDC_AUTO_GAMMA); }, true, false},
        {"data file", [] { return enabled(IDC_DATA_FILE); }, true, false},
        {"initial m", [] { return enabled(IDC_INITIAL_M); }, true, false},
        {"monitor m", [] { return enabled(IDC_MONITOR_M); }, false, true},
        {"monitor g", [] { return enabled(IDC_MONITOR_F); }, false, true},
        {"out m", [] { return enabled(IDC_OUT_M); }, true, false},
        {"out t0", [] { return enabled(IDC_OUT_T0); }, true, false},
        {"out gamma", [] { return enabled(IDC_OUT_GAMMA); }, true, false},
        {"out mu", [] { return enabled(IDC_OUT_MU); }, true, false},
        {"out xi", [] { return enabled(IDC_OUT_XI); }, true, false},
        {"out tm", [] { return enabled(IDC_OUT_TM); }, true, false},
        {"out sigma2", [] { return enabled(IDC_OUT_SIGMA2); }, true, false},
        {"rank 1", [] { return enabled(IDC_RANK_1); }, true, false},
        {"rank 2", [] { return enabled(IDC_RANK_2); }, true, false},
        {"rank 3", [] { return enabled(IDC_RANK_3); }, true, false},
        {"rank 4", [] { return enabled(IDC_RANK_4); }, true, false},
        {"menu Save (no sample)", [=] { return menuEnabled(bar, IDM_SAVE); }, false, false},
        {"menu Plot (no sample)", [=] { return menuEnabled(bar, IDM_PLOT); }, false, false},
        {"Save (no sample)", [] { return enabled(IDC_SAVE); }, false, false},
        {"gamma (Auto Gamma ticked)", [] { return enabled(IDC_GAMMA); }, false, false},
        {"Help", [] { return enabled(IDC_HELP_BUTTON); }, true, true},
        {"menu Contents", [=] { return menuEnabled(bar, IDM_CONTENTS); }, true, true},
        {"menu HelpOnHelp", [=] { return menuEnabled(bar, IDM_HELP_ON_HELP); }, true, true},
        {"menu About", [=] { return menuEnabled(bar, IDM_ABOUT); }, true, true},
    };
    for (const EnablingRow& row : rows) check(row.isEnabled() == row.idle, "idle", row.label);

    setInputs(longRunFile(), false, "0", longRunInitialM);
    click(IDC_CALCULATE);
    pumpFor(100);
    check(isBusy(), "a run is in progress");
    for (const EnablingRow& row : rows) check(row.isEnabled() == row.busy, "busy", row.label);

    // The monitor shows the trial point once the run has lasted 500 ms.
    bool monitorShown = pumpUntil(
        [] { return !fieldText(IDC_MONITOR_M).empty() && !fieldText(IDC_MONITOR_F).empty(); }, 3000);
    check(monitorShown, "monitor fields show text during a long run");

    // The About box still opens while busy.
    {
        BoxWatcher watcher(cancelBox);
        menu(IDM_ABOUT);
        watcher.join();
        check(watcher.found(), "About box opened while busy");
        check(watcher.caption().find("Tarquel") != std::string::npos, "About box names Tarquel",
              watcher.caption());
    }
    check(isBusy(), "still busy after About");

    // Help and the menu's Contents open the same document, also while
    // busy. Without a .hlp file the shipped document is opened; a bare Wine
    // prefix has no program for .html, so the program names the document in
    // a message box, which shows that both took the same way.
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr) {
        std::string document = analysisState.helpFilePath;
        document.replace(document.size() - 4, 4, ".html");
        for (int way = 0; way < 2; ++way) {
            BoxWatcher watcher(pressOk);
            if (way == 0) click(IDC_HELP_BUTTON);
            else menu(IDM_CONTENTS);
            watcher.join();
            const char* label = way == 0 ? "Help button" : "menu Contents";
            check(watcher.found(), "help document named", label);
            if (watcher.found()) {
                checkText(watcher.caption(), "Tarquel help", label);
                check(watcher.text().find(document) != std::string::npos, "document beside the program",
                      watcher.text());
            }
        }
    } else {
        std::printf("note: Help and Contents not checked outside Wine (a browser would open)\n");
    }

    // Stop twice: the same as once.
    click(IDC_STOP);
    click(IDC_STOP);
    check(pumpUntil(isIdle, 10000), "Stop ends the run");
    check(analysisState.sampleLoaded == 1, "sample kept after Stop");
    checkOutputsShowResult();
    check(enabled(IDC_SAVE) && menuEnabled(bar, IDM_SAVE), "Save offered after a stopped run");
    check(menuEnabled(bar, IDM_PLOT), "Plot offered after a stopped run");
    check(GetFocus() == control(IDC_SAVE), "focus on Save after the run");

    // Gamma follows Auto Gamma again after a run.
    setCheck(IDC_AUTO_GAMMA, false);
    SendMessageA(windowHandles.dialog, WM_COMMAND, IDC_AUTO_GAMMA, 0);
    check(enabled(IDC_GAMMA), "gamma enabled with Auto Gamma cleared after a run");

    // The next Calculate clears the stop flag again: the run is long again
    // until the next Stop.
    setInputs(longRunFile(), false, "0", longRunInitialM);
    click(IDC_CALCULATE);
    pumpFor(300);
    check(isBusy(), "stop flag cleared by the next Calculate");
    menu(IDM_STOP);
    check(pumpUntil(isIdle, 10000), "menu Stop ends the run like the button");
    closeProgram();
}

void testFullRunAndSave() {
    currentCase = "full run";
    check(openProgram(), "program starts");
    // The command-line program reads the same relative name, so both
    // reports carry the same data file line.
    SetCurrentDirectoryA(workDir.c_str());
    CreateDirectoryA("datasets", nullptr);
    writeFileBytes("datasets\\n3.dat", readFileBytes(dataFile("n3.dat")));
    writeFileBytes("datasets\\repeated.dat", readFileBytes(dataFile("repeated.dat")));

    // Inputs whose iteration converges: at a point where the precision of
    // a double is exhausted the dialog iterates on until Stop.
    struct Row {
        const char* file;
        int rank;
        bool autoGamma;
        const char* gamma;
        const char* initialM;
    };
    const Row rows[] = {{"datasets/n3.dat", 1, true, "", "1"},
                        {"datasets/repeated.dat", 3, false, "0.25", "2.5"},
                        {"datasets/n3.dat", 4, true, "", "0.5"}};
    for (const Row& row : rows) {
        std::string label = row.file + (" rank " + std::to_string(row.rank)) +
                            (row.autoGamma ? " auto" : " typed");
        // The file boxes make the chosen folder the current one.
        SetCurrentDirectoryA(workDir.c_str());
        setInputs(row.file, row.autoGamma, row.gamma, row.initialM);
        for (int id = IDC_RANK_1; id <= IDC_RANK_4; ++id) setCheck(id, id - IDC_RANK_1 + 1 == row.rank);
        check(runToEnd(), "run ends", label);
        check(analysisState.rankMethod == row.rank, "rank method taken", label);
        checkOutputsShowResult();
        for (int id : outputIds) check(fieldText(id).size() == 12, "12 characters", label);
        check(enabled(IDC_SAVE) && GetFocus() == control(IDC_SAVE), "Save enabled and focused", label);

        currentCase = "save";
        std::string guiReport = workDir + "\\gui-report.txt";
        DeleteFileA(guiReport.c_str());
        {
            BoxWatcher watcher([&](HWND box) { fillFileBox(box, guiReport); });
            click(IDC_SAVE);
            watcher.join();
            check(watcher.found(), "Save box shown", label);
        }
        pumpFor(50);
        std::string cliReport = workDir + "\\cli-report.txt";
        DeleteFileA(cliReport.c_str());
        std::string command = "\"" + cliPath + "\" -q -r " + std::to_string(row.rank) + " -m " +
                              row.initialM + (row.autoGamma ? "" : std::string(" -g ") + row.gamma) +
                              " -o \"" + cliReport + "\" " + row.file;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        std::vector<char> line(command.begin(), command.end());
        line.push_back('\0');
        bool started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                      nullptr, workDir.c_str(), &startup, &process) != FALSE;
        check(started, "command-line program started", command);
        if (started) {
            DWORD waited = WaitForSingleObject(process.hProcess, 30000);
            DWORD exitCode = 99;
            GetExitCodeProcess(process.hProcess, &exitCode);
            check(waited == WAIT_OBJECT_0 && exitCode == 0, "command-line program succeeded",
                  command + " exit " + std::to_string(exitCode));
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        std::string gui = readFileBytes(guiReport);
        std::string cli = readFileBytes(cliReport);
        check(!gui.empty(), "Save wrote the report", label);
        check(gui == cli, "report identical to the command line's", label + "\n" + gui + "\n" + cli);
        currentCase = "full run";
    }

    // Save cancelled: nothing written, still idle.
    currentCase = "save";
    {
        BoxWatcher watcher(cancelBox);
        menu(IDM_SAVE);
        watcher.join();
        check(watcher.found(), "menu Save shows the Save box");
    }
    check(isIdle(), "idle after a cancelled Save");

    // A report that cannot be written (another program holds the file
    // open without sharing): a message box owned by the dialog, and the
    // dialog stays usable. The Save box first asks to replace the file.
    {
        std::string locked = workDir + "\\locked.txt";
        writeFileBytes(locked, "held");
        HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        check(holder != INVALID_HANDLE_VALUE, "report file held open");
        auto pressYes = [](HWND box) { PostMessageA(box, WM_COMMAND, IDYES, 0); };
        BoxWatcher watcher({[&](HWND box) { fillFileBox(box, locked); }, pressYes, pressOk});
        click(IDC_SAVE);
        watcher.join();
        CloseHandle(holder);
        check(watcher.found(), "Save box, replace question and error box shown");
        if (watcher.found()) {
            checkText(watcher.caption(2), "Save error", "caption");
            checkText(watcher.text(2), "The report file could not be written.", "text");
        }
        check(isIdle() && enabled(IDC_SAVE), "dialog usable after the failed Save");
        checkText(readFileBytes(locked), "held", "held file unchanged");
    }
    SetCurrentDirectoryA(dataDir.c_str());
    closeProgram();
}

struct RefusalRow {
    const char* label;
    const char* file;
    bool autoGamma;
    const char* gamma;
    const char* text;
    const char* caption;
};

void testRefusals() {
    currentCase = "refusals";
    const RefusalRow rows[] = {
        {"two values", "two_values.dat", true, "", "Invalid data type", "Read data error"},
        {"gamma at the smallest value", "concave_up.dat", false, "0.5", "Invalid gamma",
         "Parameter error"},
        {"auto gamma with a zero value", "zero_min.dat", true, "", "Invalid gamma", "Parameter error"},
    };
    check(openProgram(), "program starts");
    for (const RefusalRow& row : rows) {
        // A good run first, so that Save is on offer before the refusal.
        setInputs(dataFile("n3.dat"), true, "", "1");
        check(runToEnd(), "preceding run ends", row.label);
        check(enabled(IDC_SAVE), "Save offered before the refusal", row.label);
        check(menuEnabled(windowHandles.menu, IDM_PLOT), "Plot offered with Save", row.label);

        setInputs(dataFile(row.file), row.autoGamma, row.gamma, "1");
        click(IDC_CALCULATE);
        SeenBox box = closeMessageBox();
        check(box.found, "message box shown", row.label);
        checkText(box.caption, row.caption, "caption");
        checkText(box.text, row.text, "text");
        check(pumpUntil(isIdle, 5000), "idle again", row.label);
        check(!enabled(IDC_SAVE) && !menuEnabled(windowHandles.menu, IDM_SAVE), "Save unavailable",
              row.label);
        check(!menuEnabled(windowHandles.menu, IDM_PLOT), "Plot unavailable", row.label);
        check(outputsEmpty(), "output fields stay empty", row.label);
        check(analysisState.sampleLoaded == 0, "sample released", row.label);
    }

    // A worker that cannot be started: idle again, and the user is told.
    currentCase = "thread start";
    WorkerStarter realStarter = startWorker;
    startWorker = [](unsigned(__stdcall*)(void*)) -> std::uintptr_t { return 0; };
    setInputs(dataFile("n3.dat"), true, "", "1");
    {
        BoxWatcher watcher(pressOk);
        click(IDC_CALCULATE);
        watcher.join();
        check(watcher.found(), "failed thread start reported");
        if (watcher.found()) checkText(watcher.caption(), "Calculation error", "caption");
    }
    startWorker = realStarter;
    check(isIdle(), "idle after a failed thread start");
    closeProgram();
}

struct FilterRow {
    const char* before;
    int selStart;
    int selEnd;
    unsigned character;
    bool passes;
};

// The procedure of each filtered field when the destruction begins.
WNDPROC procedureAtDestroy[2];
HWND filteredFields[2];

LRESULT CALLBACK watchDestroy(int code, WPARAM wParam, LPARAM lParam) {
    // The first window to go is the frame, while its children still exist.
    if (code == HCBT_DESTROYWND) {
        for (int i = 0; i < 2; ++i) {
            if (procedureAtDestroy[i] == nullptr && IsWindow(filteredFields[i])) {
                procedureAtDestroy[i] = reinterpret_cast<WNDPROC>(
                    GetWindowLongPtrA(filteredFields[i], GWLP_WNDPROC));
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void testNumericFilter() {
    currentCase = "numeric filter";
    const FilterRow rows[] = {
        {"", 0, 0, '7', true},
        {"", 0, 0, '.', false},
        {"", 0, 0, 'e', false},
        {"", 0, 0, 'E', false},
        {"1", 1, 1, '.', true},
        {"1.5", 3, 3, '.', false},
        {"1.5", 0, 0, '.', false},  // wherever the caret stands
        {"15", 0, 0, '.', true},    // also in front of the first digit
        {"15", 1, 1, '.', true},
        {".5", 2, 2, '.', true},    // the first character is not searched
        {"e5", 2, 2, 'e', true},
        {"2e3", 3, 3, 'E', false},
        {"2e3", 3, 3, 'e', false},
        {"2E3", 3, 3, 'e', false},
        {"2e3", 1, 1, '.', true},
        {"15", 0, 2, '.', true},    // replaces the selection: a lone '.'
        {"1.5", 0, 3, '.', false},  // judged on the text before replacing
        {"15", 2, 2, 'e', true},
        {"1", 1, 1, '-', false},
        {"1", 1, 1, '+', false},
        {"", 0, 0, '-', false},
        {"1", 1, 1, ' ', false},
        {"1", 1, 1, ',', false},
        {"1", 1, 1, 'x', false},
        {"1", 1, 1, 'D', false},
        {"1", 1, 1, '/', false},
        {"1", 1, 1, ':', false},
        {"1", 1, 1, 0x82, false},  // a code page 932 lead byte
        {"1", 1, 1, 0xB1, false},  // a half-width katakana
        {"1", 1, 1, 0xFF, false},
        {"12", 2, 2, 8, true},     // Backspace
        {"12", 0, 2, 24, true},    // Ctrl+X
        {"12", 2, 2, 1, true},
        {"12", 2, 2, 31, true},
        {"12", 2, 2, 127, true},
    };
    check(openProgram(), "program starts");
    setCheck(IDC_AUTO_GAMMA, false);
    SendMessageA(windowHandles.dialog, WM_COMMAND, IDC_AUTO_GAMMA, 0);
    // What the edit itself makes of a character that passes: an unfiltered
    // edit of the same class with the same text and selection.
    HWND reference = CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 80, 20,
                                     windowHandles.dialog, nullptr, nullptr, nullptr);
    for (int id : {IDC_INITIAL_M, IDC_GAMMA}) {
        for (const FilterRow& row : rows) {
            std::string expected = row.before;
            if (row.passes) {
                SendMessageA(reference, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(row.before));
                SendMessageA(reference, EM_SETSEL, static_cast<WPARAM>(row.selStart), row.selEnd);
                SendMessageA(reference, WM_CHAR, row.character, 1);
                expected = textOf(reference);
            }
            setField(id, row.before);
            SendMessageA(control(id), EM_SETSEL, static_cast<WPARAM>(row.selStart), row.selEnd);
            LRESULT answer = SendMessageA(control(id), WM_CHAR, row.character, 1);
            char label[96];
            std::snprintf(label, sizeof label, "field %d \"%s\" [%d,%d] + %u", id, row.before,
                          row.selStart, row.selEnd, row.character);
            checkText(fieldText(id), expected, label);
            if (!row.passes) check(answer == 0, "swallowed character answers 0", label);
        }
    }
    // Spot checks of what typing gives, independent of the reference edit.
    setField(IDC_GAMMA, "15");
    SendMessageA(control(IDC_GAMMA), EM_SETSEL, 1, 1);
    SendMessageA(control(IDC_GAMMA), WM_CHAR, '.', 1);
    checkText(fieldText(IDC_GAMMA), "1.5", "point typed between digits");
    setField(IDC_INITIAL_M, "");
    for (char c : std::string("0.5e2")) SendMessageA(control(IDC_INITIAL_M), WM_CHAR, static_cast<WPARAM>(c), 1);
    checkText(fieldText(IDC_INITIAL_M), "0.5e2", "a number typed key by key");
    DestroyWindow(reference);

    // Exit puts the edit's own procedure back before the fields go.
    currentCase = "exit restores the edits";
    filteredFields[0] = control(IDC_GAMMA);
    filteredFields[1] = control(IDC_INITIAL_M);
    check(GetWindowLongPtrA(filteredFields[0], GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(numericEditProc) &&
              GetWindowLongPtrA(filteredFields[1], GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(numericEditProc),
          "filter installed on both fields");
    HHOOK hook = SetWindowsHookExA(WH_CBT, watchDestroy, nullptr, GetCurrentThreadId());
    WNDPROC own = savedEditProc;
    click(IDC_EXIT);
    UnhookWindowsHookEx(hook);
    char values[96];
    std::snprintf(values, sizeof values, "%p %p %p", reinterpret_cast<void*>(own),
                  reinterpret_cast<void*>(procedureAtDestroy[0]), reinterpret_cast<void*>(procedureAtDestroy[1]));
    check(own != nullptr && procedureAtDestroy[0] == own && procedureAtDestroy[1] == own,
          "both fields have the edit's own procedure back", values);
    pumpFor(20);
}

void testFilesFromOutside() {
    currentCase = "command line";
    const std::string good = dataFile("concave_up.dat");
    const std::string other = dataFile("n3.dat");
    const std::string longName = workDir + "\\" + std::string(300, 'a');
    struct Row {
        const char* label;
        std::string commandLine;
        std::string expected;
    };
    const Row rows[] = {
        {"file and more words", good + " more\twords", good},
        {"file then tab", good + "\tx", good},
        {"directory", dataDir, ""},
        {"missing file", workDir + "\\absent.dat", ""},
        {"nothing", "", ""},
        {"quoted name", "\"" + good + "\"", ""},
        {"token of 300 characters", longName, ""},
        {"token of 260 characters", std::string(260, 'b'), ""},
    };
    for (const Row& row : rows) {
        check(openProgram(row.commandLine.c_str()), "program starts", row.label);
        checkText(fieldText(IDC_DATA_FILE), row.expected, row.label);
        closeProgram();
    }

    currentCase = "dropped files";
    check(openProgram(), "program starts");
    check(dropFiles({good, other}) == 1, "drop of two files taken");
    checkText(fieldText(IDC_DATA_FILE), good, "the first dropped file");
    setField(IDC_DATA_FILE, "kept");
    check(dropFiles({dataDir}) == 0, "directory refused");
    checkText(fieldText(IDC_DATA_FILE), "kept", "directory leaves the field");
    check(dropFiles({workDir + "\\absent.dat"}) == 0, "missing file refused");
    checkText(fieldText(IDC_DATA_FILE), "kept", "missing file leaves the field");
    check(acceptsDrops(), "drops accepted while idle");
    setInputs(longRunFile(), false, "0", longRunInitialM);
    click(IDC_CALCULATE);
    pumpFor(50);
    check(!acceptsDrops(), "drops refused while busy");
    click(IDC_STOP);
    pumpUntil(isIdle, 10000);
    check(acceptsDrops(), "drops accepted again after the run");
    closeProgram();
}

BOOL CALLBACK collectPlotWindow(HWND window, LPARAM param) {
    char cls[64];
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "TarquelPlotClass") == 0) reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

// The plot windows of this process (top-level windows of the plot's class).
std::vector<HWND> plotWindows() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), collectPlotWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Pixels of `colour` in the client area of `window` as drawn on the screen:
// the window paints first, then its device context is copied into a 32-bit
// bitmap.
int pixelsOf(HWND window, PlotColour colour) {
    UpdateWindow(window);
    pumpFor(30);
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(window);
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD wanted = (DWORD{colour.red} << 16) | (DWORD{colour.green} << 8) | colour.blue;
    int count = 0;
    const auto* pixels = static_cast<const DWORD*>(bits);
    for (int i = 0; bits != nullptr && i < width * height; ++i) count += (pixels[i] & 0xffffff) == wanted ? 1 : 0;
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(copy);
    ReleaseDC(window, screen);
    return count;
}

void testPlotWindow() {
    currentCase = "plot window";
    check(openProgram(), "program starts");
    setInputs(dataFile("repeated.dat"), true, "", "1");
    check(runToEnd(), "run ends");
    menu(IDM_PLOT);
    pumpFor(50);
    HWND plot = plotWindow();
    check(plot != nullptr && IsWindowVisible(plot), "menu Plot opens a visible window");
    if (plot == nullptr) {
        closeProgram();
        return;
    }
    checkText(textOf(plot), "Weibull plot", "window title");
    const LONG_PTR style = GetWindowLongPtrA(plot, GWL_STYLE);
    check((style & WS_CHILD) == 0 && (style & WS_THICKFRAME) != 0, "a resizable top-level window");
    check(GetWindow(plot, GW_OWNER) == windowHandles.mainWindow, "owned by the frame");
    check(shownPlotModel() != nullptr && shownPlotModel()->points.size() == 16, "16 points of repeated.dat");
    check(pixelsOf(plot, pointColour) > 0, "points drawn in their colour");
    check(pixelsOf(plot, fitColour) > 0, "fitted line drawn in its colour");
    menu(IDM_PLOT);
    pumpFor(30);
    check(plotWindows().size() == 1 && plotWindow() == plot, "a second Plot brings back the same window");

    // Resized: drawn again for the new size.
    SetWindowPos(plot, nullptr, 0, 0, 420, 330, SWP_NOMOVE | SWP_NOZORDER);
    RECT client;
    GetClientRect(plot, &client);
    check(client.right < 420 && client.bottom < 330, "window smaller");
    check(pixelsOf(plot, pointColour) > 0 && pixelsOf(plot, fitColour) > 0, "drawn again after resizing");

    // Each new run replaces the picture: plotting position 2 leaves out the
    // first and last of three points.
    setInputs(dataFile("n3.dat"), true, "", "1");
    setCheck(IDC_RANK_1, false);
    setCheck(IDC_RANK_2, true);
    check(runToEnd(), "second run ends");
    setCheck(IDC_RANK_2, false);
    setCheck(IDC_RANK_1, true);
    check(shownPlotModel() != nullptr && shownPlotModel()->points.size() == 1 &&
              shownPlotModel()->infiniteOrdinates == 2,
          "picture of the second run: one point, two left out");
    check(pixelsOf(plot, pointColour) > 0, "second run drawn");

    // A refused run leaves nothing to plot; the window stays and says so.
    setInputs(dataFile("two_values.dat"), true, "", "1");
    click(IDC_CALCULATE);
    check(closeMessageBox().found, "refusal shown");
    check(pumpUntil(isIdle, 5000), "idle after the refusal");
    check(IsWindow(plot) && shownPlotModel() == nullptr, "window open without a picture after a refusal");
    check(pixelsOf(plot, pointColour) == 0, "no points drawn after a refusal");

    // Esc, through the program's message loop, closes the plot alone.
    setInputs(dataFile("repeated.dat"), true, "", "1");
    check(runToEnd(), "third run ends");
    check(shownPlotModel() != nullptr && shownPlotModel()->points.size() == 16, "picture of the third run");
    PostMessageA(plot, WM_KEYDOWN, VK_ESCAPE, 0);
    pumpFor(50);
    check(!IsWindow(plot) && plotWindow() == nullptr, "Esc closes the plot window");
    check(IsWindow(windowHandles.mainWindow) && quitCount == 0 && isIdle(), "the program goes on after Esc");

    // The close box, likewise.
    menu(IDM_PLOT);
    pumpFor(50);
    plot = plotWindow();
    check(plot != nullptr && pixelsOf(plot, pointColour) > 0, "reopened with the last run's picture");
    SendMessageA(plot, WM_SYSCOMMAND, SC_CLOSE, 0);
    pumpFor(50);
    check(!IsWindow(plot) && plotWindow() == nullptr, "the close box closes the plot window");
    check(IsWindow(windowHandles.mainWindow) && quitCount == 0, "the program goes on after the close box");

    // Exit takes an open plot window with it.
    menu(IDM_PLOT);
    pumpFor(50);
    plot = plotWindow();
    closeProgram();
    check(plot != nullptr && !IsWindow(plot) && plotWindow() == nullptr, "Exit closes the plot window too");
    check(quitCount == 1, "Exit ends the program once");
}

// A run that reaches a point its next step leaves unchanged ends there by
// itself, with the numbers any later Stop would show; so does one whose
// point is not a number.
void testEndsByItself() {
    currentCase = "ends by itself";
    check(openProgram(), "program starts");
    const struct {
        const char* file;
        int rank;
        const char* initialM;
        const char* mText;  // "" = any finite result
    } rows[] = {{"headers_crlf.dat", 2, "1", ""}, {"n3.dat", 1, "1e300", "   nan"}};
    for (const auto& row : rows) {
        setInputs(dataFile(row.file), true, "", row.initialM);
        for (int id = IDC_RANK_1; id <= IDC_RANK_4; ++id) setCheck(id, id - IDC_RANK_1 + 1 == row.rank);
        check(runToEnd(20000), "run ends without Stop", row.file);
        check(analysisState.solveEnding == SolveEnding::fixedPoint, "ended at a fixed point", row.file);
        checkOutputsShowResult();
        if (row.mText[0] != '\0') checkText(fieldText(IDC_OUT_M), row.mText, row.file);
    }
    closeProgram();
}

void testMenuAndExit() {
    currentCase = "menu forwarding";
    check(openProgram(), "program starts");
    // Calculate from the menu validates like the button.
    setInputs("", true, "", "1");
    menu(IDM_CALCULATE);
    pumpFor(20);
    check(GetFocus() == control(IDC_DATA_FILE), "menu Calculate validates");
    setInputs(dataFile("n3.dat"), true, "", "1");
    menu(IDM_CALCULATE);
    check(pumpUntil(isIdle, 10000) && analysisState.sampleLoaded == 1, "menu Calculate runs");

    // Browse shows the Open box and takes the chosen name.
    {
        BoxWatcher watcher([&](HWND box) { fillFileBox(box, dataFile("two_values.dat")); });
        click(IDC_BROWSE);
        watcher.join();
        check(watcher.found(), "Brouse shows the Open box");
    }
    pumpFor(20);
    checkText(fieldText(IDC_DATA_FILE), dataFile("two_values.dat"), "Open box fills the data file");

    // Escape does nothing.
    SendMessageA(windowHandles.dialog, WM_COMMAND, IDCANCEL, 0);
    check(IsWindow(windowHandles.mainWindow) != FALSE, "Escape does not close");

    currentCase = "exit";
    menu(IDM_EXIT);
    pumpFor(20);
    check(!IsWindow(windowHandles.mainWindow), "menu Exit destroys the window");
    check(quitCount == 1 && quitCode == 0, "quit message with code 0");
    check(analysisState.sampleLoaded == 0, "Exit releases the sample");

    check(openProgram(), "program starts again");
    click(IDC_EXIT);
    pumpFor(20);
    check(!IsWindow(windowHandles.mainWindow) && quitCount == 1, "Exit button ends the program");

    check(openProgram(), "program starts again");
    SendMessageA(windowHandles.mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
    pumpFor(20);
    check(!IsWindow(windowHandles.mainWindow) && quitCount == 1, "system Close ends the program");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tarquel_ui_tests CLI_EXE DATA_DIR\n");
        return 2;
    }
    char full[MAX_PATH];
    GetFullPathNameA(argv[1], MAX_PATH, full, nullptr);
    cliPath = full;
    GetFullPathNameA(argv[2], MAX_PATH, full, nullptr);
    dataDir = full;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    workDir = std::string(temp) + "tarquel-ui-tests-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(workDir.c_str(), nullptr);
    SetCurrentDirectoryA(dataDir.c_str());

    struct Group {
        const char* name;
        void (*run)();
    };
    const Group groups[] = {
        {"template and frame", testTemplateAndFrame},
        {"validation", testValidation},
        {"idle and busy", testIdleAndBusy},
        {"full run and save", testFullRunAndSave},
        {"refusals", testRefusals},
        {"numeric filter", testNumericFilter},
        {"command line and drops", testFilesFromOutside},
        {"plot window", testPlotWindow},
        {"ends by itself", testEndsByItself},
        {"menu and exit", testMenuAndExit},
    };
    for (const Group& group : groups) {
        int failedBefore = failed;
        DWORD start = GetTickCount();
        group.run();
        std::printf("%-24s %s (%lu ms)\n", group.name, failed == failedBefore ? "ok" : "FAILED",
                    static_cast<unsigned long>(GetTickCount() - start));
        std::fflush(stdout);
    }

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
