// Shape and scale by rank regression: the least-squares line of the Weibull
// plot of the failures at a fixed location.
#pragma once

#include "engine/fit_types.h"
#include "engine/sample.h"

// Which variable the line is regressed on.
enum class RegressionAxis : int {
    yOnX = 0,  // y on x: m = slope, eta = exp(-intercept / m)
    xOnY = 1,  // x on y: m = 1 / slope, eta = exp(intercept)
};

struct RegressionFit {
    double m;    // shape; NaN with fewer than two finite points or no spread
    double eta;  // scale in the unit of the times
    double t0;   // eta^m
};

// The line through the points x = ln(t - gamma), y = ln(-ln(1 - F)) of the
// failures of a sorted sample, F the plotting position of `method` at
// Johnson's adjusted ranks (the point numbers without suspensions), over the
// points whose y is finite. Sums in storage order.
// `axis` yOnX is rank regression on y ("rry"), xOnY rank regression on x
// ("rrx").
RegressionFit rankRegression(const Sample& sorted, double gamma, RankMethod method, RegressionAxis axis);
