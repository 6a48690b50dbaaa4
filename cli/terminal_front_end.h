// State of the command line's front end.
#pragma once

#include <chrono>
#include <string>

struct TerminalFrontEnd {
    bool monitorEnabled;   // show the progress line on standard error
    bool monitorShown;     // a progress line is on the screen and needs clearing
    bool runRefused;       // the run showed an error (data or gamma refused)
    bool dampedSolver;     // the damped iteration runs: offer Newton after 2 s
    bool newtonHintShown;  // that offer has been made
    void (*onIterationStart)();                              // called as the iteration starts
    std::chrono::steady_clock::time_point iterationStart;    // when it started
    std::chrono::steady_clock::time_point lastPhaseLine;     // last reading/search line shown
    unsigned long long outerStep;                            // of the last trial point shown
    char monitorM[32];     // the trial m, shown together with its g(m)
    std::string errorCaption;  // caption of the last run error
    std::string errorText;     // text of the last run error
    std::string errorPrefix;   // "" or the data file's name, shown before a run error
};

extern TerminalFrontEnd terminalFrontEnd;

// Removes the progress line from the terminal, if one is shown.
void clearMonitorLine();
