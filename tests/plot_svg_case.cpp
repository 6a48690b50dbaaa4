// Writes the Weibull plot of one whole run as SVG, for tests/plot_svg_test.py:
// the run as the programs do it (read, sort, gamma, m, t0), then the plot.
// Usage: plot_svg_case OUT.svg DATAFILE RANK GAMMA|auto [censored]
// Exit status 0 when the SVG was written, 1 when the run refused the data,
// 2 on bad usage, 3 when the file could not be written.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "datafiles/number_text.h"
#include "plot/plot_model.h"
#include "run/analysis_state.h"
#include "run/calculation_run.h"
#include "tests/recording_front_end.h"

int main(int argc, char** argv) {
    if (argc != 5 && !(argc == 6 && std::strcmp(argv[5], "censored") == 0)) {
        std::fprintf(stderr, "usage: plot_svg_case OUT.svg DATAFILE RANK GAMMA|auto [censored]\n");
        return 2;
    }
    const bool searched = std::strcmp(argv[4], "auto") == 0;
    resetAnalysisState();
    std::snprintf(analysisState.dataFilePath, sizeof analysisState.dataFilePath, "%s", argv[2]);
    analysisState.rankMethod = std::atoi(argv[3]);
    analysisState.autoGamma = searched ? 1 : 0;
    if (!searched) analysisState.result.gamma = textToNumber(argv[4]);
    analysisState.censored = argc == 6 ? 1 : 0;
    analysisState.initialM = 1;
    analysisState.solver = ShapeSolver::newton;
    runCalculation();
    if (!recording.errors.empty()) {
        std::fprintf(stderr, "%s\n", recording.errors.front().c_str());
        return 1;
    }
    PlotInput input{};
    input.title = analysisState.dataFilePath;
    input.sortedTimes = analysisState.sample;
    input.suspended = analysisState.suspended;
    input.rankMethod = analysisState.rankMethod;
    input.fit = analysisState.result;
    input.r2 = std::numeric_limits<double>::quiet_NaN();
    return writeWeibullPlotSvg(argv[1], input) ? 0 : 3;
}
