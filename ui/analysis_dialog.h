// The analysis dialog: every control of the program, its validation, the
// idle and busy states, the worker thread, the file boxes and Exit.
#pragma once

#include <cstddef>
#include <cstdint>

#include <windows.h>

// Dialog procedure given to CreateDialogParamA. Returns TRUE only for a
// Calculate refused by validation, FALSE for every other message.
INT_PTR CALLBACK analysisDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Checks the data file, gamma and initial m fields in that order, storing
// each accepted value into analysisState. Returns 0 when all are good, else
// the id of the first bad field: IDC_DATA_FILE, IDC_GAMMA or IDC_INITIAL_M.
// Empties the monitor and output fields first, also when it refuses.
int validateInputs();

// The Open and Save file boxes. Return 1 when a name was chosen and copied
// into `result` (capacity `capacity` bytes), 2 when the box was cancelled or
// failed, or the name does not fit.
int chooseOpenFile(HWND owner, const char* initialName, char* result, std::size_t capacity);
int chooseSaveFile(HWND owner, const char* initialName, char* result, std::size_t capacity);

// Records the menus and the handles of the controls 1000..1022.
void fetchControlHandles();

// Switches drops, menu items and controls to the idle (true) or busy
// (false) state.
void setIdleState(bool idle);

// True when `path` names the data file of the last run (the same file by
// identity, under any name or link). Nothing may be written over it.
bool isOpenDataFile(const char* path);

// The message of a Save refused for that reason.
extern const char dataFileIsTargetText[];

// Starts `body` on a new thread and returns its handle, 0 when no thread
// could be started. The runtime's _beginthreadex; tests put in a failing one.
using WorkerStarter = std::uintptr_t (*)(unsigned(__stdcall* body)(void*));
extern WorkerStarter startWorker;
