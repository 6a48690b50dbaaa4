// The "Weibull plot" window: a resizable top-level window, owned by the
// frame, that draws the plot model of the last run with GDI.
#pragma once

#include <windows.h>

#include "plot/plot_model.h"

// Builds the picture from analysisState and opens the window, or brings the
// open window to the front. Only while idle with a sample (as Save).
void openPlotWindow();

// A run has ended: rebuilds the picture from analysisState and redraws the
// open window (a refused run leaves no sample: the window says so). Does
// nothing while the window is closed.
void refreshPlotWindow();

// The open window, or nullptr.
HWND plotWindow();

// The model the window draws, or nullptr when the last run left no sample.
const PlotModel* shownPlotModel();

// Window procedure: painting, resizing, Esc and the close box.
LRESULT CALLBACK plotWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
