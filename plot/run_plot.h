// The plot of a finished run: the one place that turns a run's outcome into
// a PlotInput, for the plot window, the command line's --plot and the SVG
// test program.
#pragma once

#include "plot/comparison_plot.h"
#include "plot/plot_model.h"
#include "run/calculation_run.h"

// The data file name, the sorted sample with its suspension marks, the rank
// method, the fit, r2, and the legend's figures (the output fields that have
// a place in the legend), and the band of the bounds on the B-life over the
// failures' F range, by the run's method, sides and confidence, when the run
// has its fit-quality figures.
PlotInput plotInputOfRun(const RunOutcome& run);

// The comparison's small multiples of a run that compared the distributions:
// its sample, rank method and fits (ranked, or in family order when the
// comparison was stopped). The spans refer into the run.
ComparisonPlotInput comparisonPlotInputOfRun(const RunOutcome& run);
