// The labelled ticks of the Weibull plot's two axes, for a visible range in
// plot coordinates.
#pragma once

#include <vector>

#include "plot/plot_model.h"

// Ticks of the x axis over x in [lo, hi] (x = ln(t - gamma)), labelled in
// data units on a log scale: 1, 2 and 5 in each decade; over more than ten
// of those, every decade (or every second, fifth, tenth, ... decade); over
// three or fewer, 1, 2, 3, 5 and 7, else every digit; and even steps of 1, 2
// or 5 x 10^k when a range is too narrow even for that. Ascending, each
// label the value's "%.6g" text. Needs finite lo < hi.
std::vector<PlotTick> logAxisTicks(double lo, double hi);

// Ticks of the y axis over y in [lo, hi] (y = ln ln(1/(1 - F))), labelled as
// F in percent: those of 1, 5, 10, 20, 30, 50, 63.2, 90, 99 and 99.9 (with
// 0.1, 0.01, ... and 99.99, 99.999, ... beyond) that fall inside; when fewer
// than two do, whole percents every 1, 2, 5 or 10 %, at most ten.
// Ascending. Needs lo < hi.
std::vector<PlotTick> percentAxisTicks(double lo, double hi);
