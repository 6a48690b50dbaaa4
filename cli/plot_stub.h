// The Weibull plot's entry point, declared as the plot code (plot/plot_model.h,
// built separately) declares it. Until that code is part of the build,
// cli/plot_stub.cpp supplies a weak stand-in that writes nothing.
#pragma once

#include <span>

#include "engine/fit_types.h"

struct PlotInput {
    const char* title;                    // the data file's name
    std::span<const double> sortedTimes;  // the sample, ascending
    RankMethod rankMethod;                // plotting position, 1..4
    FitResult fit;                        // m, t0, gamma, ...
    double r2;                            // squared correlation of the plot
    bool hasB10Bounds;                    // draw the B10 bounds (--confidence given)
    double b10Lo, b10Hi;                  // the B10 bounds
    double confidence;                    // their level
};

// Writes the plot of `input` as a self-contained SVG file; false when the
// file could not be written.
bool writeWeibullPlotSvg(const char* path, const PlotInput& input);
