// Automatic location parameter: bisection on the curvature of the Weibull plot.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/fit_types.h"

// The gamma search stops once the squared correlation no longer changes by
// more than this (summed over both bracket ends).
constexpr double gammaSearchTolerance = 1e-10;

// The search runs between 0 and this fraction of the smallest failure time.
constexpr double gammaBracketFraction = 0.99;

// The Weibull-plot ordinates ln ln(1/(1 - F(i))), i = 1..n, of a method 1..4.
std::vector<double> plotOrdinates(std::uint32_t n, RankMethod method);

// Sign of the leading coefficient of the least-squares parabola through the
// points (ln(t_i - g), y_i): -1, +1, or 0 (zero or not a number). Always
// writes r2, the squared correlation of the points.
int curvatureSign(std::span<const double> times, std::span<const double> ordinates, double g, double* r2);

// Called after every halving of the bracket (counted from 1).
using SearchProgress = void (*)(int halving);

// The location in [0, 0.99 t_1] where the plot of the sorted times turns
// from bending down to bending up.
double searchGamma(std::span<const double> sortedTimes, RankMethod method, SearchProgress progress = nullptr);
