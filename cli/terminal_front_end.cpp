// The run's front-end seam for the command line: one progress line on
// standard error (only when it is a terminal) that names the phase, a run
// error printed as "Caption: Text", and the tick count from the steady clock.
#include "cli/terminal_front_end.h"

#include <cstdio>

#include "run/front_end.h"

TerminalFrontEnd terminalFrontEnd;

namespace {

// Wide enough to cover the longest progress line.
constexpr int monitorLineWidth = 79;

// Reading and search lines are redrawn at most this often.
constexpr auto phaseLineInterval = std::chrono::milliseconds(200);

// After this long the damped iteration suggests Newton's method.
constexpr auto newtonHintDelay = std::chrono::seconds(2);

void showLine(const char* format, unsigned long long count) {
    std::fprintf(stderr, "\r%-*s\r", monitorLineWidth, "");
    std::fprintf(stderr, format, count);
    std::fflush(stderr);
    terminalFrontEnd.monitorShown = true;
}

// Reading and searching report often; the line is redrawn only now and then.
bool phaseLineDue() {
    const auto now = std::chrono::steady_clock::now();
    if (now - terminalFrontEnd.lastPhaseLine < phaseLineInterval) return false;
    terminalFrontEnd.lastPhaseLine = now;
    return terminalFrontEnd.monitorEnabled;
}

void offerNewtonOnce() {
    TerminalFrontEnd& t = terminalFrontEnd;
    if (!t.dampedSolver || t.newtonHintShown) return;
    if (std::chrono::steady_clock::now() - t.iterationStart < newtonHintDelay) return;
    t.newtonHintShown = true;
    clearMonitorLine();
    std::fputs("tarquel-cli: the damped iteration is slow on these data; "
               "--solver newton reaches the same root faster\n",
               stderr);
}

}  // namespace

void clearMonitorLine() {
    if (!terminalFrontEnd.monitorShown) return;
    std::fprintf(stderr, "\r%*s\r", monitorLineWidth, "");
    std::fflush(stderr);
    terminalFrontEnd.monitorShown = false;
}

void showRunPhase(RunPhase phase, std::uint64_t count) {
    switch (phase) {
        case RunPhase::reading:
            if (phaseLineDue()) showLine("Reading: %llu values", count);
            return;
        case RunPhase::sorting:
            if (terminalFrontEnd.monitorEnabled) showLine("Sorting %llu values", count);
            return;
        case RunPhase::searching:
            if (phaseLineDue()) showLine("Searching gamma: %llu halvings", count);
            return;
        case RunPhase::iterating:
            if (count == 0) {
                terminalFrontEnd.iterationStart = std::chrono::steady_clock::now();
                if (terminalFrontEnd.onIterationStart != nullptr) terminalFrontEnd.onIterationStart();
                if (terminalFrontEnd.monitorEnabled) showLine("Iterating", 0);
            }
            terminalFrontEnd.outerStep = count;
            offerNewtonOnce();
            return;
    }
}

void showMonitorText(MonitorField field, const char* text) {
    if (!terminalFrontEnd.monitorEnabled) return;
    if (field == monitorM) {
        std::snprintf(terminalFrontEnd.monitorM, sizeof terminalFrontEnd.monitorM, "%s", text);
        return;
    }
    std::fprintf(stderr, "\rIterating, step %llu: Newton's Method: m = %s   g(m) = %s ",
                 terminalFrontEnd.outerStep, terminalFrontEnd.monitorM, text);
    std::fflush(stderr);
    terminalFrontEnd.monitorShown = true;
}

void showResultText(int /*index*/, const char* /*text*/) {
    // The command line prints the results in the report's format instead.
}

void showRunError(const char* text, const char* caption) {
    clearMonitorLine();
    // Alone, "Caption: Text"; in a batch, after the program's and the file's name.
    if (!terminalFrontEnd.errorPrefix.empty()) {
        std::fprintf(stderr, "tarquel-cli: %s: ", terminalFrontEnd.errorPrefix.c_str());
    }
    std::fprintf(stderr, "%s: %s\n", caption, text);
    terminalFrontEnd.runRefused = true;
    terminalFrontEnd.errorCaption = caption;
    terminalFrontEnd.errorText = text;
}

std::uint32_t readTickCount() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    return static_cast<std::uint32_t>(ms);  // wraps like a 32-bit tick counter
}

void reportRunDone() { clearMonitorLine(); }
