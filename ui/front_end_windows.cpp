// The engine's view of the screen, implemented on the dialog's controls.
// Called from the worker thread: SetWindowTextA and SendMessageA on the
// dialog's windows are carried out by the GUI thread while the worker waits;
// the message box is modal on the worker thread, owned by the dialog.
#include <windows.h>

#include "run/front_end.h"
#include "ui/window_handles.h"

void showMonitorText(MonitorField field, const char* text) {
    SetWindowTextA(controlOf(field == monitorM ? IDC_MONITOR_M : IDC_MONITOR_F), text);
}

void showResultText(int index, const char* text) {
    SetWindowTextA(controlOf(IDC_OUT_M + index), text);
}

void showRunError(const char* text, const char* caption) {
    MessageBoxA(windowHandles.dialog, text, caption, MB_ICONERROR | MB_OK);
}

std::uint32_t readTickCount() {
    return GetTickCount();
}

void showRunPhase(RunPhase, std::uint64_t) {
    // The dialog shows only the iteration's trial points, in the monitor fields.
}

void reportRunDone() {
    SendMessageA(windowHandles.dialog, WM_CALCULATION_DONE, 0, 0);
}
