// The run's view of the screen, implemented on the dialog's controls.
// Called from the worker thread: SetWindowTextA on the dialog's windows is
// carried out by the GUI thread while the worker waits.
#include "ui/front_end_windows.h"

#include <windows.h>

#include "ui/window_handles.h"

namespace {

class DialogFrontEnd : public FrontEnd {
public:
    void showMonitorText(MonitorField field, const char* text) override {
        SetWindowTextA(controlOf(field == monitorM ? IDC_MONITOR_M : IDC_MONITOR_F), text);
    }

    void showResultText(int index, const char* text) override { SetWindowTextA(controlOf(IDC_OUT_M + index), text); }

    std::uint32_t readTickCount() override { return GetTickCount(); }

    // The dialog shows only the iteration's trial points, in the monitor fields.
};

}  // namespace

FrontEnd& dialogFrontEnd() {
    static DialogFrontEnd frontEnd;
    return frontEnd;
}
