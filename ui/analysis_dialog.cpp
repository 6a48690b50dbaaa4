#include "ui/analysis_dialog.h"

#include <cstring>
#include <string>

#include <commdlg.h>
#include <process.h>
#include <shellapi.h>

#include "datafiles/number_text.h"
#include "datafiles/report.h"
#include "run/analysis_state.h"
#include "run/calculation_run.h"
#include "run/run_outputs.h"
#include "run/input_checks.h"
#include "ui/fitted_fonts.h"
#include "ui/front_end_windows.h"
#include "ui/help.h"
#include "ui/main_window.h"
#include "ui/numeric_edit.h"
#include "ui/options_menu.h"
#include "ui/plot_window.h"
#include "ui/results_window.h"
#include "ui/window_handles.h"

namespace {

const char fileFilter[] = "Data Files(*.dat)\0*.dat\0All Files(*.*)\0*.*\0";
const char defaultExtension[] = "dat";

const char reportFailedText[] = "The report file could not be written.";
const char reportFailedCaption[] = "Save error";
const char threadFailedText[] = "The calculation could not be started.";
const char threadFailedCaption[] = "Calculation error";
const char statusWordsCaption[] = "Tarquel";

// The identity of the last run's data file (volume and file index), taken
// when the run ends, so that a later change of the current folder (the file
// boxes make one) cannot make another file look like it.
struct FileIdentity {
    bool known;
    DWORD volume, indexHigh, indexLow;
};
FileIdentity dataFileIdentity;

FileIdentity identityOf(const char* path) {
    FileIdentity identity{};
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return identity;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(file, &info)) {
        identity = {true, info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    }
    CloseHandle(file);
    return identity;
}

void showError(const char* text, const char* caption) {
    MessageBoxA(windowHandles.dialog, text, caption, MB_ICONERROR | MB_OK);
}

// The fields show the point the iteration reached; one box says why it is
// no valid fit, and what would mend it.
void showInvalidFit(const RunOutcome& run) {
    std::string text = "The results are not a valid fit: " + run.invalidCause + ".";
    if (run.invalidBySums || run.solver == ShapeSolver::damped) {
        text += "\n\nOptions > Bracketed Newton solves the likelihood equation with scaled sums.";
    }
    MessageBoxA(windowHandles.dialog, text.c_str(), "Tarquel", MB_ICONWARNING | MB_OK);
}

// Body of the worker thread: one calculation run on the inputs the dialog
// stored, its outcome written back into the record. A refusal is shown as a
// message box that is modal on the worker, owned by the dialog. The thread
// is not joined; it reports its end to the dialog through WM_CALCULATION_DONE.
unsigned __stdcall calculationThread(void*) {
    const Refusal refusal = runOnRecord(analysisState, dialogFrontEnd());
    if (refusal.kind != RefusalKind::none) showError(refusal.text.c_str(), refusal.caption.c_str());
    if (refusal.kind == RefusalKind::none && !validFit(analysisState.lastRun)) showInvalidFit(analysisState.lastRun);
    // Status words read as failures: say so once, and where the option is.
    const std::uint32_t marks = analysisState.lastRun.suspendedMarks;
    if (refusal.kind == RefusalKind::none && analysisState.censored == 0 && marks > 0) {
        const std::string text = std::to_string(marks) +
                                 (marks == 1
                                      ? " value carries a status word (S after the value) and was read as a failure."
                                      : " values carry a status word (S after the value) and were read as failures.") +
                                 "\n\nOptions > Read suspensions reads such values as suspensions.";
        MessageBoxA(windowHandles.dialog, text.c_str(), statusWordsCaption, MB_ICONINFORMATION | MB_OK);
    }
    SendMessageA(windowHandles.dialog, WM_CALCULATION_DONE, 0, 0);
    return 0;
}

std::uintptr_t startWithRuntime(unsigned(__stdcall* body)(void*)) {
    // The runtime's own thread start, so that its per-thread state (errno,
    // stdio buffers used by the data file reader) is set up for the worker.
    return _beginthreadex(nullptr, 0, body, nullptr, 0, nullptr);
}

void enableMenuItem(HMENU menu, UINT item, bool enabled) {
    EnableMenuItem(menu, item, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void enableControl(int id, bool enabled) { EnableWindow(controlOf(id), enabled ? TRUE : FALSE); }

bool isChecked(int id) { return SendMessageA(controlOf(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void focusAndSelectAll(int id) {
    SetFocus(controlOf(id));
    SendMessageA(controlOf(id), EM_SETSEL, 0, -1);
}

void initialiseDialog(HWND dialog) {
    windowHandles.dialog = dialog;
    analysisState.stopFlag.store(0, std::memory_order_relaxed);
    analysisState.sampleLoaded = 0;
    fetchControlHandles();
    resetOptionsMenu();
    fitDialogTexts(dialog);
    savedEditProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(controlOf(IDC_GAMMA), GWLP_WNDPROC));
    SetWindowLongPtrA(controlOf(IDC_GAMMA), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(numericEditProc));
    SetWindowLongPtrA(controlOf(IDC_INITIAL_M), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(numericEditProc));
    SendMessageA(controlOf(IDC_AUTO_GAMMA), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(controlOf(IDC_RANK_1), BM_SETCHECK, BST_CHECKED, 0);
    setIdleState(true);
    focusAndSelectAll(IDC_DATA_FILE);
}

void browseDataFile() {
    char name[512];
    if (chooseOpenFile(windowHandles.dialog, "", name, sizeof name) == 1) {
        SetWindowTextA(controlOf(IDC_DATA_FILE), name);
    }
}

void requestStop() { analysisState.stopFlag.store(1, std::memory_order_relaxed); }

void startCalculationThread() {
    std::uintptr_t thread = startWorker(calculationThread);
    if (thread == 0) {
        setIdleState(true);
        showError(threadFailedText, threadFailedCaption);
        return;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
}

// Returns TRUE when validation refused, so the dialog manager leaves the
// focus where this put it.
INT_PTR calculate() {
    int badField = validateInputs();
    if (badField != 0) {
        focusAndSelectAll(badField);
        return TRUE;
    }
    analysisState.stopFlag.store(0, std::memory_order_relaxed);
    setIdleState(false);
    startCalculationThread();
    return FALSE;
}

void saveReport() {
    if (chooseSaveFile(windowHandles.dialog, "", analysisState.reportFilePath, sizeof analysisState.reportFilePath) !=
        1) {
        return;
    }
    if (isOpenDataFile(analysisState.reportFilePath)) {
        showError(dataFileIsTargetText, reportFailedCaption);
        return;
    }
    if (!writeReport(analysisState.reportFilePath, reportInputOf(analysisState.lastRun))) {
        showError(reportFailedText, reportFailedCaption);
    }
}

void exitProgram() {
    if (analysisState.sampleLoaded == 1) {
        releaseSample();
    }
    SetWindowLongPtrA(controlOf(IDC_GAMMA), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedEditProc));
    SetWindowLongPtrA(controlOf(IDC_INITIAL_M), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedEditProc));
    DestroyWindow(windowHandles.mainWindow);
}

void followAutoGamma() { enableControl(IDC_GAMMA, !isChecked(IDC_AUTO_GAMMA)); }

INT_PTR onCommand(WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDC_BROWSE: browseDataFile(); return FALSE;
        case IDC_STOP: requestStop(); return FALSE;
        case IDC_CALCULATE: return calculate();
        case IDC_SAVE: saveReport(); return FALSE;
        case IDC_EXIT: exitProgram(); return FALSE;
        case IDC_HELP_BUTTON: openHelpContents(windowHandles.dialog); return FALSE;
        case IDC_AUTO_GAMMA: followAutoGamma(); return FALSE;
        default: return FALSE;  // IDCANCEL from Escape among them
    }
}

void onCalculationDone() {
    setIdleState(true);
    refreshPlotWindow();
    dataFileIdentity = identityOf(analysisState.lastRun.dataFile.c_str());
    refreshResultsWindow();
    SetFocus(controlOf(IDC_SAVE));
}

// Reads a field's text into `text` (512 bytes); true when it is not empty.
bool readField(int id, char (&text)[512]) { return GetWindowTextA(controlOf(id), text, sizeof text) > 0; }

int chooseFile(bool save, HWND owner, const char* initialName, char* result, std::size_t capacity) {
    char file[MAX_PATH];
    char fileTitle[MAX_PATH];
    std::strncpy(file, initialName, sizeof file - 1);
    file[sizeof file - 1] = '\0';
    fileTitle[0] = '\0';

    OPENFILENAMEA box;
    std::memset(&box, 0, sizeof box);
    // The record without the Windows 2000 extension (76 bytes in a 32-bit
    // build); every field beyond it keeps the platform's defaults anyway.
    box.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    box.hwndOwner = owner;
    box.lpstrFilter = fileFilter;
    box.lpstrFile = file;
    box.nMaxFile = sizeof file;
    box.lpstrFileTitle = fileTitle;
    box.nMaxFileTitle = sizeof fileTitle;
    box.Flags = save ? (OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY) : (OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
    box.lpstrDefExt = defaultExtension;

    BOOL chosen = save ? GetSaveFileNameA(&box) : GetOpenFileNameA(&box);
    if (chosen == 0 || std::strlen(file) >= capacity) {
        return 2;
    }
    std::strcpy(result, file);
    return 1;
}

}  // namespace

WorkerStarter startWorker = startWithRuntime;

INT_PTR CALLBACK analysisDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: initialiseDialog(dialog); return FALSE;  // the focus is placed
        case WM_COMMAND: return onCommand(wParam);
        case WM_CALCULATION_DONE: onCalculationDone(); return FALSE;
        case WM_DESTROY: releaseFittedFonts(); return FALSE;
        default: return FALSE;
    }
}

int validateInputs() {
    for (int id = IDC_MONITOR_M; id <= IDC_OUT_SIGMA2; ++id) {
        SetWindowTextA(controlOf(id), "");
    }

    char text[512];
    GetWindowTextA(controlOf(IDC_DATA_FILE), text, sizeof text);
    if (hasWildcard(text) || !isExistingFile(text)) {
        return IDC_DATA_FILE;
    }
    std::strcpy(analysisState.dataFilePath, text);

    if (isChecked(IDC_AUTO_GAMMA)) {
        analysisState.autoGamma = 1;
    } else {
        analysisState.autoGamma = 0;
        if (!readField(IDC_GAMMA, text)) {
            return IDC_GAMMA;
        }
        analysisState.result.gamma = textToNumber(text);
    }

    if (!readField(IDC_INITIAL_M, text)) {
        return IDC_INITIAL_M;
    }
    analysisState.initialM = textToNumber(text);
    if (!isUsableInitialM(analysisState.initialM)) {
        return IDC_INITIAL_M;
    }

    for (int method = 1; method <= 4; ++method) {
        if (isChecked(IDC_RANK_1 + method - 1)) {
            analysisState.rankMethod = method;
        }
    }
    return 0;
}

int chooseOpenFile(HWND owner, const char* initialName, char* result, std::size_t capacity) {
    return chooseFile(false, owner, initialName, result, capacity);
}

int chooseSaveFile(HWND owner, const char* initialName, char* result, std::size_t capacity) {
    return chooseFile(true, owner, initialName, result, capacity);
}

void fetchControlHandles() {
    windowHandles.menu = GetMenu(windowHandles.mainWindow);
    windowHandles.systemMenu = GetSystemMenu(windowHandles.mainWindow, FALSE);
    for (int id = IDC_BROWSE; id <= IDC_RANK_4; ++id) {
        windowHandles.control[id - IDC_BROWSE] = GetDlgItem(windowHandles.dialog, id);
    }
}

void setIdleState(bool idle) {
    bool busy = !idle;
    bool canSave = idle && analysisState.sampleLoaded == 1;
    DragAcceptFiles(windowHandles.mainWindow, idle ? TRUE : FALSE);
    enableMenuItem(windowHandles.menu, IDM_CALCULATE, idle);
    enableMenuItem(windowHandles.menu, IDM_STOP, busy);
    enableMenuItem(windowHandles.menu, IDM_EXIT, idle);
    enableMenuItem(windowHandles.systemMenu, SC_CLOSE, idle);
    DrawMenuBar(windowHandles.mainWindow);
    enableControl(IDC_BROWSE, idle);
    enableControl(IDC_STOP, busy);
    enableControl(IDC_CALCULATE, idle);
    enableControl(IDC_EXIT, idle);
    enableControl(IDC_AUTO_GAMMA, idle);
    enableControl(IDC_DATA_FILE, idle);
    enableControl(IDC_INITIAL_M, idle);
    enableControl(IDC_MONITOR_M, busy);
    enableControl(IDC_MONITOR_F, busy);
    for (int id = IDC_OUT_M; id <= IDC_OUT_SIGMA2; ++id) {
        enableControl(id, idle);
    }
    for (int id = IDC_RANK_1; id <= IDC_RANK_4; ++id) {
        enableControl(id, idle);
    }
    enableMenuItem(windowHandles.menu, IDM_SAVE, canSave);
    enableMenuItem(windowHandles.menu, IDM_PLOT, canSave);
    enableControl(IDC_SAVE, canSave);
    enableControl(IDC_GAMMA, idle && !isChecked(IDC_AUTO_GAMMA));
    enableMenuItem(windowHandles.menu, IDM_RESULTS, canSave);
    enableOptionsMenu(idle);
}

const char dataFileIsTargetText[] = "The data file cannot be the report: choose another file.";

bool isOpenDataFile(const char* path) {
    const FileIdentity target = identityOf(path);
    return target.known && dataFileIdentity.known && target.volume == dataFileIdentity.volume &&
           target.indexHigh == dataFileIdentity.indexHigh && target.indexLow == dataFileIdentity.indexLow;
}
