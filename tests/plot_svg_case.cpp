// Writes the Weibull plot of one whole run as SVG, for tests/plot_svg_test.py:
// the run as the programs do it (read, sort, gamma, m, t0), then the plot.
// Usage: plot_svg_case OUT.svg DATAFILE RANK GAMMA|auto [censored]
// Exit status 0 when the SVG was written, 1 when the run refused the data,
// 2 on bad usage, 3 when the file could not be written.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "datafiles/number_text.h"
#include "plot/run_plot.h"
#include "run/analysis_state.h"
#include "tests/recording_front_end.h"

int main(int argc, char** argv) {
    if (argc != 5 && !(argc == 6 && std::strcmp(argv[5], "censored") == 0)) return 2;
    resetAnalysisState();
    analysisState.censored = argc == 6 ? 1 : 0;
    const bool searched = std::strcmp(argv[4], "auto") == 0;
    runWith({argv[2], std::atoi(argv[3]), searched, searched ? 0 : textToNumber(argv[4]), 1, ShapeSolver::newton});
    if (!recording.errors.empty()) {
        std::fprintf(stderr, "%s\n", recording.errors.front().c_str());
        return 1;
    }
    return writeWeibullPlotSvg(argv[1], plotInputOfRun(analysisState)) ? 0 : 3;
}
