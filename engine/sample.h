// Plotting positions and Weibull-plot coordinates of the sorted sample.
#pragma once

#include <cstdint>

#include "engine/analysis_state.h"

// qsort comparator over two doubles: -1, 0 or +1 from the sign of a - b
// (a difference that is not a number counts as +1).
int compareTimes(const void* a, const void* b);

// The four plotting positions F(i), i counted from 1, n read from the sample.
double rankMeanI(std::uint32_t i);        // 1: i / (n + 1)
double rankEndpoints(std::uint32_t i);    // 2: (i - 1) / (n - 1)
double rankMedian(std::uint32_t i);       // 3: (i - 0.3) / (n + 0.4)
double rankHazen(std::uint32_t i);        // 4: (i - 0.5) / n

// The rank function of a method 1..4, or nullptr for any other value.
RankFunction rankFunctionOf(RankMethod method);

// The report label of a method 1..4 ("i/(n+1)", ...), or "" for any other.
const char* rankLabelOf(RankMethod method);

// X = ln(t - g); -inf when t == g, not a number when t < g.
double weibullPlotX(double t, double g);

// Y = ln(ln(1 / (1 - F))); -inf at F = 0, +inf at F = 1.
double weibullPlotY(double F);
