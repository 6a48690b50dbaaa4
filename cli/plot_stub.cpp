// A stand-in for the SVG writer of the Weibull plot. Weak where the linker
// honours that across objects (ELF), so that a real definition linked into
// the program replaces it; MinGW's linker does not resolve references to a
// weak definition in another object, so there it is an ordinary one, to be
// removed when the plot code joins the build.
#include <cstdio>

#include "cli/plot_stub.h"

#ifdef _WIN32
#define TARQUEL_WEAK
#else
#define TARQUEL_WEAK __attribute__((weak))
#endif

TARQUEL_WEAK bool writeWeibullPlotSvg(const char* /*path*/, const PlotInput& /*input*/) {
    std::fputs("plot not built yet\n", stderr);
    return false;
}
