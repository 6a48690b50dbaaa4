// Automatic location parameter: bisection on the curvature of the Weibull plot.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "engine/fit_types.h"
#include "engine/scratch_vector.h"

class PassPool;
struct OrdinateSums;

// The gamma search stops once the squared correlation no longer changes by
// more than this (summed over both bracket ends).
constexpr double gammaSearchTolerance = 1e-10;

// The search runs between 0 and this fraction of the smallest time.
constexpr double gammaBracketFraction = 0.99;

// Sign of the leading coefficient of the least-squares parabola through the
// points (ln(t_i - g), y_i): -1, +1, or 0 (zero or not a number). Always
// writes r2, the squared correlation of the points. scratch holds ln(t_i - g)
// afterwards; reusing it saves an allocation per candidate.
// ys: the ordinates' own sums (ordinateSums), formed here when null.
int curvatureSign(std::span<const double> times, std::span<const double> ordinates, double g, PassPool& pool,
                  ScratchVector<double>& scratch, double* r2, const OrdinateSums* ys = nullptr);

// Called after every halving of the bracket (counted from 1).
using SearchProgress = std::function<void(int halving)>;

// The location in [0, 0.99 smallestTime] where the plot of the points
// (ln(t_i - g), y_i) turns from bending down to bending up. `times` are the
// sorted failure times with their ordinates (plotOrdinates); smallestTime is
// the smallest time of the whole sample, suspensions included.
double searchGamma(std::span<const double> times, std::span<const double> ordinates, double smallestTime,
                   PassPool& pool, SearchProgress progress = nullptr);
