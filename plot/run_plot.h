// The plot of the run recorded in the process-wide state: the one place that
// turns the record into a PlotInput, for the plot window, the command line's
// --plot and the SVG test program.
#pragma once

#include "plot/plot_model.h"
#include "run/analysis_state.h"

// The data file name, the sorted sample with its suspension marks, the rank
// method and the fit of `state`. Without fit-quality figures: r2 is NaN and
// no B10 bounds are drawn unless the caller fills them in.
PlotInput plotInputOfRun(const AnalysisState& state);
