// A weak stand-in for the SVG writer of the Weibull plot: any strong
// definition linked into the program replaces it.
#include <cstdio>

#include "cli/plot_stub.h"

__attribute__((weak)) bool writeWeibullPlotSvg(const char* /*path*/, const PlotInput& /*input*/) {
    std::fputs("plot not built yet\n", stderr);
    return false;
}
