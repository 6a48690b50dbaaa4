// The command line's front end: one progress line on standard error (only
// when it is a terminal) that names the phase and the solver.
#pragma once

#include <chrono>
#include <string>

#include "run/front_end.h"

class TerminalFrontEnd : public FrontEnd {
public:
    bool monitorEnabled = false;  // show the progress line on standard error
    bool dampedSolver = false;    // the damped iteration runs: offer Newton after 2 s
    std::string notePrefix;       // "" or "FILE: ", before the offer of Newton

    void showMonitorText(MonitorField field, const char* text) override;
    void showRunPhase(RunPhase phase, std::uint64_t count) override;
    std::uint32_t readTickCount() override;

    // Removes the progress line from the terminal, if one is shown.
    void clearMonitorLine();

    // Readies the front end for the next data file.
    void startFile(bool damped, std::string prefix);

private:
    bool monitorShown = false;                             // a progress line is on the screen and needs clearing
    bool newtonHintShown = false;                          // the offer of Newton has been made
    std::chrono::steady_clock::time_point iterationStart;  // when the iteration started
    std::chrono::steady_clock::time_point lastPhaseLine;   // last reading/search line shown
    unsigned long long outerStep = 0;                      // of the last trial point shown
    char trialM[32] = {};                                  // the trial m, shown with its g(m)

    void showLine(const char* format, unsigned long long count);
    bool phaseLineDue();
    void offerNewtonOnce();
};
