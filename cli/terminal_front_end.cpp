// The engine's front-end seam for the command line: the monitor is one line
// on standard error (only when it is a terminal), a run error is printed as
// "Caption: Text", and the tick count comes from the steady clock.
#include "cli/terminal_front_end.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "engine/front_end.h"

TerminalFrontEnd terminalFrontEnd;

namespace {

// Wide enough to cover the longest monitor line.
constexpr int monitorLineWidth = 64;

}  // namespace

void clearMonitorLine() {
    if (!terminalFrontEnd.monitorShown) return;
    std::fprintf(stderr, "\r%*s\r", monitorLineWidth, "");
    std::fflush(stderr);
    terminalFrontEnd.monitorShown = false;
}

void showMonitorText(MonitorField field, const char* text) {
    if (!terminalFrontEnd.monitorEnabled) return;
    if (field == monitorM) {
        std::snprintf(terminalFrontEnd.monitorM, sizeof terminalFrontEnd.monitorM, "%s", text);
        return;
    }
    std::fprintf(stderr, "\rNewton's Method: m = %s   g(m) = %s ", terminalFrontEnd.monitorM, text);
    std::fflush(stderr);
    terminalFrontEnd.monitorShown = true;
}

void showResultText(int /*index*/, const char* /*text*/) {
    // The command line prints the results in the report's format instead.
}

void showRunError(const char* text, const char* caption) {
    clearMonitorLine();
    std::fprintf(stderr, "%s: %s\n", caption, text);
    terminalFrontEnd.runRefused = true;
}

std::uint32_t readTickCount() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    return static_cast<std::uint32_t>(ms);  // wraps like a 32-bit tick counter
}

void reportRunDone() { clearMonitorLine(); }
