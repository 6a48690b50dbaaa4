// Drives the real main window and dialog with real messages: the same code
// as tarquel.exe, started as WinMain starts it, on this thread, with a
// message pump that offers every message to the dialog first. Dialog boxes
// (Open, Save, About, the message boxes of this thread and of the worker)
// are answered by a watcher thread while this thread pumps or sits in the
// box's own modal loop. Each behaviour is a table; a failure prints its row.
//
// Usage: tarquel_ui_tests CLI_EXE DATA_DIR
//   CLI_EXE   the command-line program of the same build (report comparison)
//   DATA_DIR  the directory holding the test data files
#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
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
#include "ui/results_window.h"
#include "ui/window_handles.h"

namespace {

int passed = 0, failed = 0;
const char* currentCase = "";
std::string cliPath, dataDir, workDir;  // workDir: a fresh directory for the files the tests write

void check(bool ok, const std::string& what, const std::string& detail = "") {
    (ok ? passed : failed) += 1;
    if (!ok) std::printf("FAIL [%s] %s %s\n", currentCase, what.c_str(), detail.c_str()), std::fflush(stdout);
}

void checkText(const std::string& actual, const std::string& expected, const std::string& what) {
    check(actual == expected, what, "got \"" + actual + "\" expected \"" + expected + "\"");
}

std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
std::string dataFile(const char* name) { return dataDir + "\\" + name; }

int quitCount = 0;     // WM_QUIT messages the pump has taken since the program started
WPARAM quitCode = 99;  // the exit code of the last one

// Runs the program's own message loop, without blocking, until `done` holds
// or `timeoutMs` have passed; true when `done` held.
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    for (DWORD start = GetTickCount();; MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT)) {
        for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);) {
            if (m.message == WM_QUIT) {
                ++quitCount;
                quitCode = m.wParam;
            } else if (!IsDialogMessageA(windowHandles.dialog, &m)) {
                TranslateMessage(&m);
                DispatchMessageA(&m);
            }
        }
        if (done()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
    }
}
void pumpFor(DWORD ms) {
    pumpUntil([] { return false; }, ms);
}

std::string textOf(HWND window) {
    char text[4096] = "";
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}
std::string fieldText(int id) { return textOf(controlOf(id)); }
void setText(HWND window, const std::string& text) {
    SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
void setField(int id, const std::string& text) { setText(controlOf(id), text); }
void setCheck(int id, bool on) { SendMessageA(controlOf(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }
// A click as the user makes it: the button notifies the dialog.
void click(int id) { SendMessageA(controlOf(id), BM_CLICK, 0, 0); }
void menu(int id) { SendMessageA(windowHandles.mainWindow, WM_COMMAND, static_cast<WPARAM>(id), 0); }
bool enabled(int id) { return IsWindowEnabled(controlOf(id)) != FALSE; }
bool isBusy() { return enabled(IDC_STOP) && !enabled(IDC_CALCULATE); }
bool isIdle() { return !enabled(IDC_STOP) && enabled(IDC_CALCULATE); }

// The visible windows of this process with class `className`: top-level
// ones (parent nullptr) or children of `parent`.
std::vector<HWND> windowsOf(HWND parent, const char* className) {
    std::vector<HWND> found;
    for (HWND window = nullptr; (window = FindWindowExA(parent, window, className, nullptr)) != nullptr;) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId() && IsWindowVisible(window)) found.push_back(window);
    }
    return found;
}

// Starts the program as WinMain does, with `commandLine`.
void openProgram(const std::string& commandLine = "") {
    quitCount = 0;
    check(openMainWindow(GetModuleHandleA(nullptr), commandLine.c_str(), SW_SHOW), "program starts", commandLine);
    pumpFor(50);
}

// Ends a run that may still be going, then leaves through Exit.
void closeProgram() {
    if (!IsWindow(windowHandles.mainWindow)) return;
    if (isBusy()) click(IDC_STOP);
    pumpUntil(isIdle, 10000);
    menu(IDM_EXIT);
    pumpFor(20);
}

// Fills the inputs, ticking or clearing Auto Gamma as a click would.
void setInputs(const std::string& file, bool autoGamma, const std::string& gamma, const std::string& m, int rank = 1) {
    setField(IDC_DATA_FILE, file);
    setCheck(IDC_AUTO_GAMMA, autoGamma);
    SendMessageA(windowHandles.dialog, WM_COMMAND, IDC_AUTO_GAMMA, 0);
    setField(IDC_GAMMA, gamma);
    setField(IDC_INITIAL_M, m);
    for (int id = IDC_RANK_1; id <= IDC_RANK_4; ++id) setCheck(id, id - IDC_RANK_1 + 1 == rank);
}

// A run with Auto Gamma that ends by itself and leaves a sample.
bool goodRun(const char* name = "n3.dat", int rank = 1) {
    setInputs(dataFile(name), true, "", "1", rank);
    click(IDC_CALCULATE);
    return pumpUntil(isIdle, 20000) && analysisState.sampleLoaded == 1;
}

void checkOutputsShowResult(const std::string& label) {
    const FitResult& r = analysisState.result;
    const double values[7] = {r.m, r.t0, r.gamma, r.mu, r.xi, r.tm, r.sigma2};
    for (int i = 0; i < 7; ++i) {
        char expected[numberTextSize];
        formatScreenNumber(values[i], expected);
        checkText(fieldText(IDC_OUT_M + i), expected, label + ", output field " + std::to_string(i));
        // Every character shows: the text, in the field's own font, fits between its margins.
        HWND field = controlOf(IDC_OUT_M + i);
        HDC dc = GetDC(field);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(field, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32A(dc, expected, static_cast<int>(std::strlen(expected)), &size);
        SelectObject(dc, old), ReleaseDC(field, dc);
        RECT client;
        GetClientRect(field, &client);
        const auto margins = static_cast<DWORD>(SendMessageA(field, EM_GETMARGINS, 0, 0));
        check(size.cx < client.right - LOWORD(margins) - HIWORD(margins), "the whole text shows",
              label + " " + expected + ": " + std::to_string(size.cx) + " px in " + std::to_string(client.right));
    }
}

bool outputsEmpty() {
    for (int id = IDC_MONITOR_M; id <= IDC_OUT_SIGMA2; ++id)
        if (!fieldText(id).empty()) return false;
    return true;
}

using Answer = std::function<void(HWND)>;
Answer press(WPARAM button) {
    return [button](HWND box) { PostMessageA(box, WM_COMMAND, button, 0); };
}

// Types `name` into a file box and presses OK. The name field is the combo
// box cmb13 in newer file boxes and the edit edt1 in older ones (and Wine's).
Answer typeName(const std::string& name) {
    return [name](HWND box) {
        for (int id : {0x47c, 0x480})
            if (HWND field = GetDlgItem(box, id)) setText(field, name);
        press(IDOK)(box);
    };
}

// Does `action` while a watcher thread answers each new box with the next of
// `answers` (which must close it), and checks that every answer found its
// box. This thread pumps meanwhile, for the boxes of the worker. Returns the
// caption of the last box answered, then each of its static texts after a '|'.
std::string answerBoxes(const std::function<void()>& action, const std::vector<Answer>& answers,
                        const std::string& label) {
    std::string seen;
    std::atomic<bool> finished{false};
    std::size_t handled = 0;
    std::thread watcher([&] {
        std::vector<HWND> old;
        for (int i = 0; i < 1000 && handled < answers.size(); ++i, Sleep(10)) {
            for (HWND box : windowsOf(nullptr, "#32770")) {
                if (std::find(old.begin(), old.end(), box) != old.end()) continue;
                Sleep(100);  // let the box finish its initialisation
                old.push_back(box);
                seen = textOf(box);
                for (HWND child : windowsOf(box, "Static")) {
                    const std::string text = textOf(child);
                    if (!text.empty()) seen += "|" + text;
                }
                answers[handled++](box);
                break;
            }
        }
        finished = true;
    });
    action();
    pumpUntil([&] { return finished.load(); }, 30000);
    watcher.join();
    pumpFor(20);
    check(handled == answers.size(), "boxes shown and answered", label);
    return seen;
}

// Builds the HDROP that the shell hands to a window for dropped files and
// sends it to the frame; returns the frame's answer.
LRESULT dropFiles(const std::vector<std::string>& names) {
    std::size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& name : names) size += name.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    char* list = reinterpret_cast<char*>(drop + 1);
    for (const std::string& name : names) list = std::copy(name.c_str(), name.c_str() + name.size() + 1, list);
    GlobalUnlock(memory);
    return SendMessageA(windowHandles.mainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

// Runs the command-line program in the current directory through cmd.exe,
// its standard output and error into `out` and `err`; true when it exits
// with `expectedStatus`.
bool runCommandLine(const std::string& arguments, std::string& out, std::string& err, DWORD expectedStatus) {
    // Files of their own for each run: Wine may release the last run's handles a little after it ends.
    static int runs = 0;
    const std::string outFile = workDir + "\\cli-out" + std::to_string(++runs), errFile = outFile + "-err";
    // cmd /c drops the outer quotes around the whole line.
    const int status = std::system(
        ("\"\"" + cliPath + "\" " + arguments + " >\"" + outFile + "\" 2>\"" + errFile + "\"\"").c_str());
    out = readFileBytes(outFile), err = readFileBytes(errFile);
    return status == static_cast<int>(expectedStatus);
}

// `text` without its carriage returns.
std::string withoutCr(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// Whether `text` is `pattern`, each "..." in it standing for any characters.
bool matches(const std::string& text, const std::string& pattern) {
    const std::string literal = std::regex_replace(pattern, std::regex(R"([\\^$.|?*+()[\]{}])"), R"(\$&)");
    return std::regex_match(text, std::regex(std::regex_replace(literal, std::regex(R"(\\\.\\\.\\\.)"), R"([\s\S]*)")));
}

// Clicks Calculate on a data file that the run refuses, and answers its box.
void refusedRun(const char* file) {
    setInputs(dataFile(file), true, "", "1");
    answerBoxes([] { click(IDC_CALCULATE); }, {press(IDOK)}, file);
    check(pumpUntil(isIdle, 5000), "idle after the refusal", file);
}

// The dialog template and the resources, then the frame and the dialog as
// the program opens them.
void testTemplateAndFrame() {
    HRSRC found = FindResourceA(nullptr, "TarquelDlg", RT_DIALOG);
    HRSRC version = FindResourceA(nullptr, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    if (found == nullptr || version == nullptr) return check(false, "dialog template and version present");
    const auto* header = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(nullptr, found)));
    // After the header: menu, class and title (each 0 here), then the point
    // size and the face name in UTF-16, compiled from code page 932:
    // full-width M S, a blank, full-width P, then katakana go-shi-kku.
    const auto* p = reinterpret_cast<const WORD*>(header + 1);
    const WORD face[] = {0xff2d, 0xff33, 0x0020, 0xff30, 0x30b4, 0x30b7, 0x30c3, 0x30af, 0};
    const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
    HMENU bar = LoadMenuA(GetModuleHandleA(nullptr), "TarquelMenu");
    HMENU file = GetSubMenu(bar, 0);
    char plotText[64] = "";
    GetMenuStringA(file, 2, plotText, sizeof plotText, MF_BYPOSITION);
    std::vector<UINT> options;  // the Options menu's ids in order, 0 for a separator
    for (int i = 0; i < GetMenuItemCount(GetSubMenu(bar, 1)); ++i)
        options.push_back(GetMenuItemID(GetSubMenu(bar, 1), i));
    // VS_FIXEDFILEINFO follows the 40-byte header of the root block.
    const auto* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(
        static_cast<const BYTE*>(LockResource(LoadResource(nullptr, version))) + 40);
    openProgram();
    RECT client, dialog;
    GetClientRect(windowHandles.mainWindow, &client);
    GetWindowRect(windowHandles.dialog, &dialog);
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string helpFile = std::string(exe, std::strrchr(exe, '\\') + 1) + "Tarquel.hlp";
    // Evaluated in order: the focus is read before the clicks move it.
    const struct {
        const char* label;
        bool holds;
    } rows[] = {
        {"dialog style: child, font, hidden", header->style == (WS_CHILD | DS_SETFONT)},
        {"44 controls, 222 x 236 dialog units", header->cdit == 44 && header->cx == 222 && header->cy == 236},
        {"no menu, class or title; 9 point font", p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 9},
        {"font face decoded from code page 932", std::memcmp(p + 4, face, sizeof face) == 0},
        {"dialog in Japanese", FindResourceExA(nullptr, RT_DIALOG, "TarquelDlg", japanese) != nullptr},
        {"menu in Japanese", FindResourceExA(nullptr, RT_MENU, "TarquelMenu", japanese) != nullptr},
        {"File menu: Calculate, Save, Plot..., Results..., then Stop",
         GetMenuItemID(file, 1) == IDM_SAVE && GetMenuItemID(file, 2) == IDM_PLOT &&
             GetMenuItemID(file, 3) == IDM_RESULTS && GetMenuItemID(file, 5) == IDM_STOP &&
             std::strcmp(plotText, "Plot(&P)...") == 0},
        {"Options menu between File and Help, its items in order",
         options == std::vector<UINT>{40010, 0, 40011, 40012, 0, 40013, 40014, 40015, 0, 40016, 40017, 0, 40018, 40019,
                                      40020} &&
             GetMenuItemID(GetSubMenu(bar, 2), 0) == IDM_CONTENTS},
        {"file and product version 1.0.0.1", fixed->dwSignature == 0xFEEF04BD && fixed->dwFileVersionMS == 0x10000 &&
                                                 fixed->dwFileVersionLS == 1 && fixed->dwProductVersionLS == 1},
        {"client area is exactly the dialog",
         client.right == dialog.right - dialog.left && client.bottom == dialog.bottom - dialog.top},
        {"frame neither resizable nor maximisable",
         (GetWindowLongPtrA(windowHandles.mainWindow, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX)) == 0},
        {"data file field has the focus", GetFocus() == controlOf(IDC_DATA_FILE)},
        {"Auto Gamma ticked and the first rank selected", IsDlgButtonChecked(windowHandles.dialog, IDC_AUTO_GAMMA) &&
                                                              IsDlgButtonChecked(windowHandles.dialog, IDC_RANK_1)},
        {"clearing Auto Gamma enables the gamma field", (click(IDC_AUTO_GAMMA), enabled(IDC_GAMMA))},
        {"ticking Auto Gamma disables it again", (click(IDC_AUTO_GAMMA), !enabled(IDC_GAMMA))},
        {"help file beside the executable", analysisState.helpFilePath == helpFile},
    };
    DestroyMenu(bar);
    for (const auto& row : rows) check(row.holds, row.label);
    SetFocus(controlOf(IDC_INITIAL_M));  // the refusal of the empty name moves it back
    menu(IDM_CALCULATE);
    pumpFor(20);
    check(GetFocus() == controlOf(IDC_DATA_FILE), "menu Calculate validates like the button");
    answerBoxes([] { click(IDC_BROWSE); }, {typeName(dataFile("two_values.dat"))}, "Browse");
    checkText(fieldText(IDC_DATA_FILE), dataFile("two_values.dat"), "Open box fills the data file");
    SendMessageA(windowHandles.dialog, WM_COMMAND, IDCANCEL, 0);
    check(IsWindow(windowHandles.mainWindow) != FALSE, "Escape does not close");
    closeProgram();
}

void testValidation() {
    // A file whose name a wildcard also matches, and a directory.
    const std::string good = workDir + "\\good.dat", directory = workDir + "\\folder.dat";
    writeFileBytes(good, readFileBytes(dataFile("n3.dat")));
    CreateDirectoryA(directory.c_str(), nullptr);
    // The bad field gets the focus, with its whole text selected.
    const struct {
        const char* label;
        std::string file;
        bool autoGamma;
        const char *gamma, *m;
        int bad;
    } rows[] = {
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
    openProgram();
    for (const auto& row : rows) {
        setInputs(row.file, row.autoGamma, row.gamma, row.m);
        for (int id = IDC_MONITOR_M; id <= IDC_OUT_SIGMA2; ++id) setField(id, "old");
        click(IDC_CALCULATE);
        pumpFor(30);
        HWND bad = controlOf(row.bad);
        DWORD start = 0, end = 0;
        SendMessageA(bad, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        check(GetFocus() == bad && start == 0 && end == textOf(bad).size(), "focus on the bad field, all selected",
              row.label);
        check(windowsOf(nullptr, "#32770").empty() && isIdle() && outputsEmpty(),
              "no message box, still idle, monitor and output fields emptied", row.label);
    }
    // Accepted oddities: "1e" is 1, a lone "." (the filter lets it replace a
    // selection) is gamma 0.
    setInputs(good, false, ".", "1e");
    analysisState.result.gamma = 99;
    click(IDC_CALCULATE);
    check(isBusy() && analysisState.initialM == 1.0 && analysisState.result.gamma == 0.0,
          "run with m \"1e\" and gamma \".\" started with 1 and 0");
    closeProgram();
}

// The enabling table: per situation, '1' for each item enabled and '0' for
// not (blanks only group them). The items, in order: the frame as a drop
// target and the system menu's Close; the dialog's controls from IDC_BROWSE
// to IDC_RANK_4 (Browse, Stop, Calculate, Save, Exit, Help; Auto Gamma, data
// file, initial m, gamma, the two monitor fields; the seven outputs; the
// four ranks); the menu bar's items from IDM_CALCULATE to IDM_RESULTS
// (Calculate, Save, Stop, Exit, Plot, Contents, Help on Help, About,
// Results); the Options items from IDM_READ_SUSPENSIONS to IDM_SHAPE_RRX.
// The situations, in the order the test reaches them:
//   fresh    just started: idle, no sample, Auto Gamma ticked
//   busy     a long run, Auto Gamma cleared (checked with and without a sample)
//   stopped  idle after Stop: a sample, Auto Gamma cleared
//   refused  idle after a refused run: no sample, Auto Gamma ticked
const struct {
    const char *situation, *states;
} enablingRows[] = {
    {"fresh", "11 101011 111000 1111111 1111 100101110 11111111111"},
    {"busy", "00 010001 000011 0000000 0000 001001110 00000000000"},
    {"stopped", "11 101111 111100 1111111 1111 110111111 11111111111"},
    {"refused", "11 101011 111000 1111111 1111 100101110 11111111111"},
};

bool isEnabled(UINT id) {
    if (id == 0) return (GetWindowLongPtrA(windowHandles.mainWindow, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
    if (id <= IDC_RANK_4) return enabled(static_cast<int>(id));
    const UINT state = GetMenuState(id == SC_CLOSE ? windowHandles.systemMenu : windowHandles.menu, id, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

void checkEnabling(int s) {
    std::vector<UINT> items = {0, SC_CLOSE};
    for (UINT id = IDC_BROWSE; id <= IDC_RANK_4; ++id) items.push_back(id);
    for (UINT id = IDM_CALCULATE; id <= IDM_SHAPE_RRX; ++id) items.push_back(id);
    std::string shown;
    std::size_t next = 0;
    for (const char* c = enablingRows[s].states; *c != '\0'; ++c) {
        shown += *c == ' ' ? ' ' : (next < items.size() && isEnabled(items[next++]) ? '1' : '0');
    }
    checkText(shown + (next == items.size() ? "" : " (items left)"), enablingRows[s].states, enablingRows[s].situation);
}

// Walks through the situations of the enabling table; on the way, what the
// program does while a run is going and once it is stopped.
void testIdleAndBusy() {
    // A run that lasts minutes: 100,000 times near 1e9 with a typed gamma of
    // 0. ln x is about 21 against a spread of about 0.6, so the damped
    // iteration creeps towards the root by a thousandth per step until Stop.
    const std::string longRun = workDir + "\\long-run.dat";
    std::string times;
    for (int i = 0; i < 100000; ++i) times += std::to_string(1e9 * std::sqrt(-std::log(1 - (i + 0.5) / 1e5))) + "\n";
    writeFileBytes(longRun, times);
    const auto startLongRun = [&] {
        setInputs(longRun, false, "0", "0.3");
        click(IDC_CALCULATE);
        pumpFor(100);
    };
    openProgram();
    checkEnabling(0);

    startLongRun();
    checkEnabling(1);
    // The monitor shows the trial point once the run has lasted 500 ms.
    check(pumpUntil([] { return !fieldText(IDC_MONITOR_M).empty() && !fieldText(IDC_MONITOR_F).empty(); }, 3000),
          "monitor fields show text during a long run");
    const std::string about = answerBoxes([] { menu(IDM_ABOUT); }, {press(IDCANCEL)}, "About while busy");
    check(about.find("Tarquel") < about.find('|'), "About box names Tarquel", about);
    // Help and the menu's Contents open the same document, also while busy.
    // Without a .hlp file the shipped document is opened; a bare Wine prefix
    // has no program for .html, so the program names the document in a
    // message box, which shows that both took the same way.
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr) {
        std::string document = analysisState.helpFilePath;
        document.replace(document.size() - 4, 4, ".html");
        for (void (*way)() : {+[] { click(IDC_HELP_BUTTON); }, +[] { menu(IDM_CONTENTS); }}) {
            const std::string help = answerBoxes(way, {press(IDOK)}, "Help and Contents");
            check(matches(help, "Tarquel help|..." + document + "..."),
                  "Help and Contents: a box naming the document beside the program", help);
        }
    } else {
        std::printf("note: Help and Contents not checked outside Wine (a browser would open)\n");
    }
    check(isBusy(), "still busy after About and Help");

    click(IDC_STOP);
    click(IDC_STOP);  // the same as once
    check(pumpUntil(isIdle, 10000) && analysisState.sampleLoaded == 1 &&
              analysisState.lastRun.ending == SolveEnding::stopped,
          "Stop ends the run, the sample kept");
    checkOutputsShowResult("after Stop");
    checkEnabling(2);

    // The next Calculate clears the stop flag: the run is long again. Busy
    // with the last run's sample, Save and Plot are still not on offer.
    startLongRun();
    pumpFor(200);
    check(isBusy(), "stop flag cleared by the next Calculate");
    checkEnabling(1);
    menu(IDM_STOP);
    check(pumpUntil(isIdle, 10000), "menu Stop ends the run like the button");

    refusedRun("two_values.dat");
    checkEnabling(3);
    closeProgram();
}

void testNumericFilter() {
    // '.' and 'e' are judged on the whole text wherever the caret stands
    // (also in front of the first digit), except its first character; a selection is replaced, but the character is
    // judged on the text before replacing; a code page 932 lead byte (0x82)
    // and a half-width katakana (0xB1) are swallowed; Backspace (8), Ctrl+X
    // (24) and the other control characters pass.
    const struct {
        const char* before;
        int selStart, selEnd;
        unsigned character;
        bool passes;
    } rows[] = {
        {"", 0, 0, '7', true},     {"", 0, 0, '.', false},    {"", 0, 0, 'e', false},    {"", 0, 0, 'E', false},
        {"1", 1, 1, '.', true},    {"1.5", 3, 3, '.', false}, {"1.5", 0, 0, '.', false}, {"15", 0, 0, '.', true},
        {".5", 2, 2, '.', true},   {"15", 1, 1, '.', true},   {"e5", 2, 2, 'e', true},   {"2e3", 3, 3, 'E', false},
        {"2e3", 3, 3, 'e', false}, {"2E3", 3, 3, 'e', false}, {"2e3", 1, 1, '.', true},  {"0.5", 3, 3, 'e', true},
        {"15", 2, 2, 'e', true},   {"1", 1, 1, '-', false},   {"15", 0, 2, '.', true},   {"1.5", 0, 3, '.', false},
        {"1", 1, 1, '+', false},   {"", 0, 0, '-', false},    {"1", 1, 1, ' ', false},   {"1", 1, 1, ',', false},
        {"1", 1, 1, 'x', false},   {"1", 1, 1, 'D', false},   {"1", 1, 1, '/', false},   {"1", 1, 1, ':', false},
        {"1", 1, 1, 0xFF, false},  {"1", 1, 1, 0x82, false},  {"1", 1, 1, 0xB1, false},  {"12", 2, 2, 8, true},
        {"12", 0, 2, 24, true},    {"12", 2, 2, 1, true},     {"12", 2, 2, 31, true},    {"12", 2, 2, 127, true},
    };
    openProgram();
    click(IDC_AUTO_GAMMA);
    // What the edit itself makes of a character that passes: an unfiltered
    // edit of the same class with the same text and selection.
    HWND reference = CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 80, 20, windowHandles.dialog,
                                     nullptr, nullptr, nullptr);
    auto type = [](HWND edit, const auto& row) {
        setText(edit, row.before);
        SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(row.selStart), row.selEnd);
        return SendMessageA(edit, WM_CHAR, row.character, 1);
    };
    for (int id : {IDC_INITIAL_M, IDC_GAMMA}) {
        for (const auto& row : rows) {
            if (row.passes) type(reference, row);
            const LRESULT answer = type(controlOf(id), row);
            char label[96];
            std::snprintf(label, sizeof label, "field %d \"%s\" [%d,%d] + %u", id, row.before, row.selStart, row.selEnd,
                          row.character);
            checkText(fieldText(id), row.passes ? textOf(reference) : row.before, label);
            if (!row.passes) check(answer == 0, "swallowed character answers 0", label);
        }
    }
    DestroyWindow(reference);
    closeProgram();
}

// A data file name from the command line or a drop: the first token or file
// counts, and only when it is an existing file.
void testFilesFromOutside() {
    const std::string good = dataFile("concave_up.dat"), absent = workDir + "\\absent.dat";
    // dropped empty: nothing dropped; expected in the data file field, "kept": left as it was.
    const struct {
        const char* label;
        std::string commandLine;
        std::vector<std::string> dropped;
        std::string expected;
    } rows[] = {
        {"file and more words", good + " more\twords", {}, good},
        {"file then tab", good + "\tx", {}, good},
        {"directory", dataDir, {}, ""},
        {"missing file", absent, {}, ""},
        {"nothing", "", {}, ""},
        {"quoted name", "\"" + good + "\"", {}, ""},
        {"token of 300 characters", workDir + "\\" + std::string(300, 'a'), {}, ""},
        {"token of 260 characters", std::string(260, 'b'), {}, ""},
        {"drop of two files", "", {good, dataFile("n3.dat")}, good},
        {"dropped directory", "", {dataDir}, "kept"},
        {"dropped missing file", "", {absent}, "kept"},
    };
    for (const auto& row : rows) {
        openProgram(row.commandLine);
        if (!row.dropped.empty()) {
            setField(IDC_DATA_FILE, "kept");
            check(dropFiles(row.dropped) == (row.expected == "kept" ? 0 : 1), "drop answer", row.label);
        }
        checkText(fieldText(IDC_DATA_FILE), row.expected, row.label);
        closeProgram();
    }
}

// Whether the plot window is open (the only one of its class, the program
// going on) and, when open, the picture it shows: `points` points, of which
// `leftOut` are left out because F is 0 or 1, with pixels of the points' and
// of the line's colour on the screen (the window paints, then its device
// context is copied into a 32-bit bitmap); -1 for no picture.
void checkPlot(const char* label, bool open, int points = 16, std::size_t leftOut = 0) {
    pumpFor(50);
    HWND plot = plotWindow();
    check(windowsOf(nullptr, "TarquelPlotClass").size() == (open ? 1u : 0u) && (plot != nullptr) == open &&
              IsWindow(windowHandles.mainWindow) && quitCount == 0 && isIdle(),
          "open or closed, and the program goes on", label);
    if (plot == nullptr) return;
    UpdateWindow(plot);
    pumpFor(30);
    RECT r;
    GetClientRect(plot, &r);
    BITMAPINFO info{{sizeof info.bmiHeader, r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    HDC screen = GetDC(plot), memory = CreateCompatibleDC(screen);
    DWORD* pixels = nullptr;
    HBITMAP copy = CreateDIBSection(screen, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels), nullptr, 0);
    SelectObject(memory, copy);
    BitBlt(memory, 0, 0, r.right, r.bottom, screen, 0, 0, SRCCOPY);
    GdiFlush();
    auto drawn = [&](PlotColour c) {
        const DWORD wanted = (DWORD{c.red} << 16) | (DWORD{c.green} << 8) | c.blue;
        return pixels != nullptr && std::any_of(pixels, pixels + r.right * r.bottom,
                                                [&](DWORD pixel) { return (pixel & 0xffffff) == wanted; });
    };
    const PlotModel* model = shownPlotModel();
    if (points < 0) {
        check(model == nullptr && !drawn(pointColour), "no picture", label);
    } else {
        check(model != nullptr && model->points.size() == static_cast<std::size_t>(points) &&
                  model->infiniteOrdinates == leftOut && drawn(pointColour) && drawn(fitColour),
              "picture: points and line drawn", label);
    }
    DeleteDC(memory);
    DeleteObject(copy);
    ReleaseDC(plot, screen);
}

// The plot window through a sequence of steps.
void testPlotWindow() {
    openProgram();
    goodRun("repeated.dat");
    menu(IDM_PLOT);
    checkPlot("first Plot", true);
    // A visible, resizable top-level window, titled, owned by the frame.
    HWND first = plotWindow();
    const LONG_PTR style = GetWindowLongPtrA(first, GWL_STYLE);
    check(textOf(first) == "Weibull plot" && (style & WS_CHILD) == 0 && (style & WS_THICKFRAME) != 0 &&
              IsWindowVisible(first) && GetWindow(first, GW_OWNER) == windowHandles.mainWindow,
          "the first Plot's window");
    menu(IDM_PLOT);
    checkPlot("Plot again", true);
    check(plotWindow() == first, "Plot again: the same window");
    SetWindowPos(first, nullptr, 0, 0, 420, 330, SWP_NOMOVE | SWP_NOZORDER);
    checkPlot("resized", true);
    RECT client;
    check(GetClientRect(first, &client) && client.right < 420 && client.bottom < 330, "resized");
    // Plotting position 2 leaves out the first and last of three points.
    goodRun("n3.dat", 2);
    checkPlot("second run", true, 1, 2);
    refusedRun("two_values.dat");
    checkPlot("refused run", true, -1);
    goodRun("repeated.dat");
    checkPlot("third run", true);
    PostMessageA(plotWindow(), WM_KEYDOWN, VK_ESCAPE, 0);
    checkPlot("Esc, through the program's loop", false);
    menu(IDM_PLOT);
    checkPlot("reopened", true);
    SendMessageA(plotWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    checkPlot("close box", false);
    closeProgram();
}

std::string clipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) text = static_cast<const char*>(GlobalLock(data)), GlobalUnlock(data);
    CloseClipboard();
    return text;
}

// The menu item that gives the desktop program each command-line option.
const struct {
    const char* option;
    int item;
} optionItems[] = {
    {" -c ", IDM_READ_SUSPENSIONS},
    {" --solver newton ", IDM_SOLVER_BRACKETED},
    {" --confidence 0.95 ", IDM_BOUNDS_95},
    {" --confidence 0.99 ", IDM_BOUNDS_99},
    {" --compare ", IDM_COMPARE},
    {" --gamma-method mle ", IDM_LOCATION_MLE},
    {" --shape-method rry ", IDM_SHAPE_RRY},
    {" --shape-method rrx ", IDM_SHAPE_RRX},
};

// The Options menu's marks, '1' for each item marked from
// IDM_READ_SUSPENSIONS to IDM_SHAPE_RRX.
std::string optionMarks() {
    std::string marks;
    for (UINT item = IDM_READ_SUSPENSIONS; item <= IDM_SHAPE_RRX; ++item)
        marks += (GetMenuState(windowHandles.menu, item, MF_BYCOMMAND) & MF_CHECKED) ? '1' : '0';
    return marks;
}

// Puts the options back to their defaults, then chooses those that
// `options` (command-line options between blanks) name; the marks then.
std::string chooseOptions(const std::string& options) {
    for (int item : {IDM_SOLVER_DAMPED, IDM_BOUNDS_90, IDM_SHAPE_MLE}) menu(item);
    for (int item : {IDM_READ_SUSPENSIONS, IDM_COMPARE, IDM_LOCATION_MLE})
        if (GetMenuState(windowHandles.menu, item, MF_BYCOMMAND) & MF_CHECKED) menu(item);
    for (const auto& o : optionItems)
        if (options.find(o.option) != std::string::npos) menu(o.item);
    return optionMarks();
}

// Runs, each against the command line with the matching options (its -r, -g
// and -m typed into the dialog, the others chosen in the Options menu after
// the defaults were put back): the fields, the focus on Save, the report
// saved through the Save box (byte for byte the command line's -o file), the
// Results window's text (the command line's standard output, then its notes
// from standard error and how the iteration ended; for a refused run its
// standard error), the JSON saved through Save JSON..., the plot's
// suspension marks, and the box the run shows. Both programs read the same
// relative name, so both reports carry the same data file line. Then the
// Save box's refusals, the Results window itself, and a worker that cannot
// be started.
void testRuns() {
    using enum SolveEnding;
    SetCurrentDirectoryA(workDir.c_str());
    CreateDirectoryA("sets", nullptr);
    for (const char* name :
         {"n3.dat", "repeated.dat", "headers_crlf.dat", "remission.dat", "concave_up.dat", "two_values.dat"}) {
        writeFileBytes(std::string("sets\\") + name, readFileBytes(dataFile(name)));
    }
    // marks: the Options menu's (D: the defaults); box: the caption and text
    // of the box the run shows ("..." for any text), nullptr for none;
    // status: the command line's (1: refused, the desktop program releases the
    // sample; 6: the point reached is no valid fit); end: notRun for any;
    // mText: what the m field shows, nullptr for any; suspensions: plot marks.
    // A refused run follows a run that leaves a sample.
    const char* const D = "01010000100";
    const struct {
        const char *file, *options, *marks, *box;
        DWORD status;
        SolveEnding end;
        const char* mText;
        std::size_t suspensions;
    } rows[] = {
        {"n3.dat", "", D, nullptr, 0, converged, nullptr, 0},
        {"two_values.dat", "", D, "Read data error|Invalid data type", 1, notRun, nullptr, 0},
        {"repeated.dat", "-r 3 -g 0.25 -m 2.5", D, nullptr, 0, converged, nullptr, 0},
        // A typed gamma at the smallest time.
        {"concave_up.dat", "-g 0.5", D, "Parameter error|Invalid gamma", 1, notRun, nullptr, 0},
        {"n3.dat", "-r 4 -m 0.5", D, nullptr, 0, converged, nullptr, 0},
        // A point that the next step leaves unchanged, and one that is not a number.
        {"headers_crlf.dat", "-r 2", D, nullptr, 0, fixedPoint, nullptr, 0},
        {"n3.dat", "-m 1e300", D, "Tarquel|...not a valid fit: m = nan...Options > Bracketed Newton...", 6, fixedPoint,
         "   nan", 0},
        {"remission.dat", "-c", "11010000100", nullptr, 0, notRun, nullptr, 12},
        {"remission.dat", "", D, "Tarquel|12 values carry a status word...Options > Read suspensions...", 0, notRun,
         nullptr, 0},
        {"remission.dat", "-c --solver newton --confidence 0.99", "10100100100", nullptr, 0, notRun, nullptr, 12},
        {"repeated.dat", "--confidence 0.95", "01001000100", nullptr, 0, notRun, nullptr, 0},
        {"concave_up.dat", "--solver newton --gamma-method mle", "00110001100", nullptr, 0, notRun, nullptr, 0},
        {"repeated.dat", "--shape-method rry", "01010000010", nullptr, 0, notRun, nullptr, 0},
        {"n3.dat", "--shape-method rrx --compare", "01010010001", nullptr, 0, notRun, nullptr, 0},
    };
    openProgram();
    const std::string guiReport = workDir + "\\gui-report.txt", cliReport = workDir + "\\cli-report.txt",
                      savedJson = workDir + "\\saved.json";
    for (const auto& row : rows) {
        const std::string file = std::string("sets/") + row.file, options = " " + std::string(row.options) + " ";
        const std::string label = file + options;
        const auto valueOf = [&](const char* option, const char* otherwise) {
            const std::size_t at = options.find(option), from = at + std::strlen(option);
            return at == std::string::npos ? otherwise : options.substr(from, options.find(' ', from) - from);
        };
        checkText(chooseOptions(options), row.marks, label + ": the options' marks");
        SetCurrentDirectoryA(workDir.c_str());  // the file boxes move it to the chosen folder
        const std::string gamma = valueOf(" -g ", "");
        setInputs(file, gamma.empty(), gamma, valueOf(" -m ", "1"), std::stoi(valueOf(" -r ", "1")));
        if (row.box == nullptr) {
            click(IDC_CALCULATE);
        } else {
            const std::string box = answerBoxes([] { click(IDC_CALCULATE); }, {press(IDOK)}, label);
            check(matches(box, row.box), "the run's box", label + ": " + box);
        }
        check(pumpUntil(isIdle, 20000), "run ends without Stop", label);
        if (row.status == 1) {
            check(outputsEmpty() && analysisState.sampleLoaded == 0, "outputs empty, sample released", label);
        } else {
            check(analysisState.sampleLoaded == 1 && (row.end == notRun || analysisState.lastRun.ending == row.end) &&
                      GetFocus() == controlOf(IDC_SAVE),
                  "a sample, the ending, and the focus on Save after the run", label);
        }
        if (resultsWindow() == nullptr) menu(IDM_RESULTS), menu(IDM_PLOT);
        const std::string shown = textOf(GetDlgItem(resultsWindow(), IDC_RESULTS_TEXT));

        // The desktop program's iteration: the command line's default is newton.
        const std::string arguments = (options.find("newton") == std::string::npos ? "--solver damped" : "") + options +
                                      file;
        std::string out, err, json, jsonErr;
        DeleteFileA(cliReport.c_str());
        check(runCommandLine("-q -o \"" + cliReport + "\" " + arguments, out, err, row.status),
              "command-line program's status", arguments);
        if (row.status == 1) {
            checkText(withoutCr(shown), withoutCr(err), "Results: the command line's words for a refused run");
            continue;
        }
        checkOutputsShowResult(label);
        if (row.mText != nullptr) checkText(fieldText(IDC_OUT_M), row.mText, label);
        check(shownPlotModel() != nullptr && shownPlotModel()->suspensions.size() == row.suspensions,
              "the plot marks the suspensions", label);

        check(runCommandLine("-q --format json " + arguments, json, jsonErr, row.status), "the JSON run", arguments);
        std::string expected = withoutCr(out) + "\n", notes = withoutCr(err);
        for (std::size_t at = 0, end; (end = notes.find('\n', at)) != std::string::npos; at = end + 1) {
            expected += "Note: " +
                        notes.substr(at + std::strlen("tarquel-cli: "), end - at - std::strlen("tarquel-cli: ")) + "\n";
        }
        const std::size_t ending = json.find("\"ending\":\"") + 10;
        expected += "Iteration ended    : " + json.substr(ending, json.find('"', ending) - ending) + "\n";
        check(withoutCr(shown) == expected &&
                  shown.size() ==
                      expected.size() + static_cast<std::size_t>(std::count(expected.begin(), expected.end(), '\n')),
              "Results text: the command line's, with CR LF", label + "\n" + shown + "\n" + expected);

        for (const std::string* saved : {&guiReport, &savedJson}) DeleteFileA(saved->c_str());
        answerBoxes([] { click(IDC_SAVE); }, {typeName(guiReport)}, label);
        answerBoxes([] { SendMessageA(GetDlgItem(resultsWindow(), IDC_RESULTS_SAVE_JSON), BM_CLICK, 0, 0); },
                    {typeName(savedJson)}, label);
        const std::string gui = readFileBytes(guiReport), cli = readFileBytes(cliReport);
        check(!gui.empty() && gui == cli, "report written, the command line's", label + "\n" + gui + "\n" + cli);
        checkText(withoutCr(readFileBytes(savedJson)), withoutCr(json), "Save JSON: the command line's line");
    }
    answerBoxes([] { menu(IDM_SAVE); }, {press(IDCANCEL)}, "menu Save cancelled");

    // Save onto the last run's data file, named another way: after the
    // replace question a box refuses, and the data file is left as it was.
    const std::string dataBefore = readFileBytes(workDir + "\\sets\\n3.dat");
    const std::string onData = answerBoxes(
        [] { click(IDC_SAVE); }, {typeName(workDir + "\\sets\\N3.DAT"), press(IDYES), press(IDOK)}, "data file");
    checkText(onData, "Save error|The data file cannot be the report: choose another file.", "Save onto the data file");
    check(readFileBytes(workDir + "\\sets\\n3.dat") == dataBefore, "the data file unchanged");

    // A report that cannot be written (another program holds the file open
    // without sharing): the Save box first asks to replace the file, then a
    // message box tells, and the dialog stays usable.
    std::string locked = workDir + "\\locked.txt";
    writeFileBytes(locked, "held");
    HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const std::string error = answerBoxes([] { click(IDC_SAVE); }, {typeName(locked), press(IDYES), press(IDOK)},
                                          "held file");
    CloseHandle(holder);
    checkText(error, "Save error|The report file could not be written.", "held file");
    check(isIdle() && enabled(IDC_SAVE), "dialog usable after the failed Save");

    HWND window = resultsWindow(), text = GetDlgItem(window, IDC_RESULTS_TEXT);
    HDC dc = GetDC(text);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(text, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old), ReleaseDC(text, dc);
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE), textStyle = GetWindowLongPtrA(text, GWL_STYLE);
    SendMessageA(GetDlgItem(window, IDC_RESULTS_COPY), BM_CLICK, 0, 0);
    const std::string copied = clipboardText();
    SendMessageA(text, WM_CHAR, 1, 0);
    DWORD start = 1, end = 0;
    SendMessageA(text, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (OpenClipboard(nullptr)) EmptyClipboard(), CloseClipboard();
    SendMessageA(text, WM_CHAR, 3, 0);
    const std::string all = textOf(text);
    check(textOf(window) == "Weibull results" && (style & WS_THICKFRAME) != 0 &&
              GetWindow(window, GW_OWNER) == windowHandles.mainWindow,
          "titled, resizable, owned by the frame");
    check((textStyle & (ES_READONLY | ES_MULTILINE)) == (ES_READONLY | ES_MULTILINE) &&
              (metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) == 0,
          "read-only multi-line text in a fixed-pitch font");
    check(copied == all, "Copy puts the whole text on the clipboard");
    check(start == 0 && end == all.size(), "Ctrl+A selects the whole text");
    check(clipboardText() == all, "Ctrl+C copies the selection");
    PostMessageA(text, WM_KEYDOWN, VK_ESCAPE, 0);
    pumpFor(50);
    check(resultsWindow() == nullptr && windowsOf(nullptr, "TarquelResultsClass").empty(), "Esc closes the window");
    goodRun();
    menu(IDM_RESULTS);
    SendMessageA(resultsWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    pumpFor(20);
    check(resultsWindow() == nullptr && IsWindow(windowHandles.mainWindow), "the close box closes it alone");

    // A worker that cannot be started: idle again, and the user is told.
    WorkerStarter realStarter = startWorker;
    startWorker = [](unsigned(__stdcall*)(void*)) -> std::uintptr_t { return 0; };
    const std::string box = answerBoxes([] { click(IDC_CALCULATE); }, {press(IDOK)}, "failed thread start");
    startWorker = realStarter;
    checkText(box, "Calculation error|The calculation could not be started.", "no thread");
    check(isIdle(), "idle after a failed thread start");
    SetCurrentDirectoryA(dataDir.c_str());

    // The options chosen are not kept for the next start.
    checkText(chooseOptions(" -c --solver newton --confidence 0.99 --compare --gamma-method mle --shape-method rrx "),
              "10100111001", "every option away from its default");
    closeProgram();
    openProgram();
    checkText(optionMarks(), D, "the options' marks after a restart");
    closeProgram();
}

// The procedure of each number field (gamma, initial m) when the destruction begins.
WNDPROC procedureAtDestroy[2];

LRESULT CALLBACK watchDestroy(int code, WPARAM wParam, LPARAM lParam) {
    // The first window to go is the frame, while its children still exist.
    for (int i = 0; i < 2 && code == HCBT_DESTROYWND; ++i) {
        HWND field = controlOf(i == 0 ? IDC_GAMMA : IDC_INITIAL_M);
        if (procedureAtDestroy[i] == nullptr && IsWindow(field)) {
            procedureAtDestroy[i] = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(field, GWLP_WNDPROC));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Every way out ends the program once with code 0 and takes an open plot
// window with it; the ways through Exit also release the sample and put the
// edit's own procedure back into both number fields before they go.
void testExit() {
    const struct {
        const char* label;
        void (*action)();
        bool throughExit;
    } ways[] = {
        {"menu Exit", [] { menu(IDM_EXIT); }, true},
        {"Exit button", [] { click(IDC_EXIT); }, true},
        {"system Close", [] { SendMessageA(windowHandles.mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0); }, false},
    };
    for (const auto& way : ways) {
        openProgram();
        check(goodRun(), "a run leaves a sample", way.label);
        menu(IDM_PLOT);
        HWND plot = plotWindow();
        procedureAtDestroy[0] = procedureAtDestroy[1] = nullptr;
        HHOOK hook = SetWindowsHookExA(WH_CBT, watchDestroy, nullptr, GetCurrentThreadId());
        way.action();
        UnhookWindowsHookEx(hook);
        pumpFor(20);
        check(!IsWindow(windowHandles.mainWindow) && quitCount == 1 && quitCode == 0,
              "window gone, one quit message with code 0", way.label);
        check(plot != nullptr && !IsWindow(plot) && plotWindow() == nullptr, "plot window closed too", way.label);
        if (!way.throughExit) continue;
        check(analysisState.sampleLoaded == 0 && savedEditProc != nullptr && procedureAtDestroy[0] == savedEditProc &&
                  procedureAtDestroy[1] == savedEditProc,
              "sample released, both number fields have the edit's own procedure back", way.label);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tarquel_ui_tests CLI_EXE DATA_DIR\n");
        return 2;
    }
    char full[MAX_PATH];
    cliPath = std::string(full, GetFullPathNameA(argv[1], MAX_PATH, full, nullptr));
    dataDir = std::string(full, GetFullPathNameA(argv[2], MAX_PATH, full, nullptr));
    workDir = std::string(full, GetTempPathA(MAX_PATH, full)) + "tarquel-ui-tests-" +
              std::to_string(GetCurrentProcessId());
    CreateDirectoryA(workDir.c_str(), nullptr);
    SetCurrentDirectoryA(dataDir.c_str());

    for (const auto& [name, run] : {std::pair<const char*, void (*)()>{"template and frame", testTemplateAndFrame},
                                    {"validation", testValidation},
                                    {"idle and busy", testIdleAndBusy},
                                    {"numeric filter", testNumericFilter},
                                    {"files from outside", testFilesFromOutside},
                                    {"plot window", testPlotWindow},
                                    {"runs", testRuns},
                                    {"exit", testExit}}) {
        const int failedBefore = failed;
        const DWORD start = GetTickCount();
        currentCase = name;
        run();
        std::printf("%-24s %s (%lu ms)\n", name, failed == failedBefore ? "ok" : "FAILED",
                    static_cast<unsigned long>(GetTickCount() - start));
        std::fflush(stdout);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
