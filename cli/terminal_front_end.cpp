// The run's front end for the command line: one progress line on standard
// error (only when it is a terminal) that names the phase, and the tick
// count from the steady clock.
#include "cli/terminal_front_end.h"

#include <cstdio>

namespace {

// Wide enough to cover the longest progress line.
constexpr int monitorLineWidth = 79;

// Reading and search lines are redrawn at most this often.
constexpr auto phaseLineInterval = std::chrono::milliseconds(200);

// After this long the damped iteration suggests Newton's method.
constexpr auto newtonHintDelay = std::chrono::seconds(2);

}  // namespace

void TerminalFrontEnd::startFile(bool damped, std::string prefix) {
    dampedSolver = damped;
    notePrefix = std::move(prefix);
    newtonHintShown = false;
    outerStep = 0;
}

void TerminalFrontEnd::showLine(const char* format, unsigned long long count) {
    std::fprintf(stderr, "\r%-*s\r", monitorLineWidth, "");
    std::fprintf(stderr, format, count);
    std::fflush(stderr);
    monitorShown = true;
}

// Reading and searching report often; the line is redrawn only now and then.
bool TerminalFrontEnd::phaseLineDue() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPhaseLine < phaseLineInterval) return false;
    lastPhaseLine = now;
    return monitorEnabled;
}

void TerminalFrontEnd::offerNewtonOnce() {
    if (!dampedSolver || newtonHintShown) return;
    if (std::chrono::steady_clock::now() - iterationStart < newtonHintDelay) return;
    newtonHintShown = true;
    clearMonitorLine();
    std::fprintf(stderr,
                 "tarquel-cli: %sthe damped iteration is slow on these data; "
                 "--solver newton reaches the same root faster\n",
                 notePrefix.c_str());
}

void TerminalFrontEnd::clearMonitorLine() {
    if (!monitorShown) return;
    std::fprintf(stderr, "\r%*s\r", monitorLineWidth, "");
    std::fflush(stderr);
    monitorShown = false;
}

void TerminalFrontEnd::showRunPhase(RunPhase phase, std::uint64_t count) {
    switch (phase) {
        case RunPhase::reading:
            if (phaseLineDue()) showLine("Reading: %llu values", count);
            return;
        case RunPhase::sorting:
            if (monitorEnabled) showLine("Sorting %llu values", count);
            return;
        case RunPhase::searching:
            if (phaseLineDue()) showLine("Searching gamma: %llu halvings", count);
            return;
        case RunPhase::iterating:
            if (count == 0) {
                iterationStart = std::chrono::steady_clock::now();
                if (monitorEnabled) showLine("Iterating", 0);
            }
            outerStep = count;
            offerNewtonOnce();
            return;
    }
}

void TerminalFrontEnd::showMonitorText(MonitorField field, const char* text) {
    if (!monitorEnabled) return;
    if (field == monitorM) {
        std::snprintf(trialM, sizeof trialM, "%s", text);
        return;
    }
    std::fprintf(stderr, "\rIterating, step %llu: %s: m = %s   g(m) = %s ", outerStep,
                 dampedSolver ? "damped Newton" : "bracketed Newton", trialM, text);
    std::fflush(stderr);
    monitorShown = true;
}

std::uint32_t TerminalFrontEnd::readTickCount() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    return static_cast<std::uint32_t>(ms);  // wraps like a 32-bit tick counter
}
