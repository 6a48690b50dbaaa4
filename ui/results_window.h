// The "Weibull results" window: a resizable top-level window, owned by the
// frame, that shows the text the command line prints for the last run (with
// CR LF line ends), followed by the notes it writes to standard error and
// how the iteration ended. Copy puts the text on the clipboard; Save JSON
// writes the run's JSON line as `--format json` prints it.
#pragma once

#include <string>

#include <windows.h>

#include "run/calculation_run.h"

// Builds the text from analysisState and opens the window, or brings the
// open window to the front. Only while idle with a sample (as Save).
void openResultsWindow();

// A run has ended: shows its text in the open window (a refused run: the
// refusal as the command line states it). Nothing while the window is closed.
void refreshResultsWindow();

// The open window, or nullptr.
HWND resultsWindow();

// The window's text for a run: for a fitted run the command line's text
// block, a blank line, one "Note: " line per note and "Iteration ended" with
// the ending's name; for a refused one "Caption: Text: cause". CR LF line ends.
std::string resultsWindowText(const RunOutcome& run);

// Window procedure: layout, the two buttons, Esc and the close box.
LRESULT CALLBACK resultsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
