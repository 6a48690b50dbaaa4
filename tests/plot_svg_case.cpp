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
#include "run/calculation_run.h"

int main(int argc, char** argv) {
    if (argc != 5 && !(argc == 6 && std::strcmp(argv[5], "censored") == 0)) return 2;
    RunInputs in;
    in.dataFilePath = argv[2];
    in.read.censored = argc == 6;
    in.rankMethod = std::atoi(argv[3]);
    in.autoGamma = std::strcmp(argv[4], "auto") == 0;
    in.gamma = in.autoGamma ? 0 : textToNumber(argv[4]);
    in.solver = ShapeSolver::newton;
    FrontEnd silent;
    const RunOutcome run = runCalculation(in, silent);
    if (!fitted(run)) {
        std::fprintf(stderr, "%s: %s\n", run.refusal.caption.c_str(), run.refusal.text.c_str());
        return 1;
    }
    return writeWeibullPlotSvg(argv[1], plotInputOfRun(run)) ? 0 : 3;
}
