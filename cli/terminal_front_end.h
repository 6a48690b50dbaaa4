// State of the command line's front end.
#pragma once

struct TerminalFrontEnd {
    bool monitorEnabled;  // show the Newton monitor on standard error
    bool monitorShown;    // a monitor line is on the screen and needs clearing
    bool runRefused;      // the run showed an error (data or gamma refused)
    char monitorM[32];    // the trial m, shown together with its g(m)
};

extern TerminalFrontEnd terminalFrontEnd;

// Removes the monitor line from the terminal, if one is shown.
void clearMonitorLine();
