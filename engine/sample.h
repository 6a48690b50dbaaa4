// Plotting positions, Weibull-plot coordinates and the order of the sample.
#pragma once

#include <cstdint>
#include <span>

#include "engine/fit_types.h"

// F(i) for the 1-based point number i of n points.
using RankFunction = double (*)(std::uint32_t i, std::uint32_t n);

// The four plotting positions.
double rankMeanI(std::uint32_t i, std::uint32_t n);      // 1: i / (n + 1)
double rankEndpoints(std::uint32_t i, std::uint32_t n);  // 2: (i - 1) / (n - 1)
double rankMedian(std::uint32_t i, std::uint32_t n);     // 3: (i - 0.3) / (n + 0.4)
double rankHazen(std::uint32_t i, std::uint32_t n);      // 4: (i - 0.5) / n

// The rank function of a method 1..4, or nullptr for any other value.
RankFunction rankFunctionOf(RankMethod method);

// X = ln(t - g); -inf when t == g, not a number when t < g.
double weibullPlotX(double t, double g);

// Y = ln(ln(1 / (1 - F))); -inf at F = 0, +inf at F = 1.
double weibullPlotY(double F);

// Sorts the times ascending. Equal values (-0 and +0 among them) are
// interchangeable; infinities sort to the ends. Not a number must not occur
// (no reading produces one).
void sortTimes(std::span<double> times);
