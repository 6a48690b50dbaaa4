#include "plot/run_plot.h"

#include <limits>

PlotInput plotInputOfRun(const AnalysisState& state) {
    PlotInput input{};
    input.title = state.dataFilePath;
    input.sortedTimes = state.sample;
    input.suspended = state.suspended;
    input.rankMethod = state.rankMethod;
    input.fit = state.result;
    input.r2 = std::numeric_limits<double>::quiet_NaN();
    return input;
}
