// Expected value, variance, median and mode of the fitted distribution.
#pragma once

#include "engine/fit_types.h"

// Gamma(x) by Stirling's series at an argument of at least 8, with the upward
// recurrence and Euler's reflection for x < 0.
double gammaFunction(double x);

// The fit with mu, sigma2, xi and tm formed from its m, t0 and gamma.
FitResult computeStatistics(FitResult fit);

// The same from the scale eta = t0^(1/m) instead of t0, for a t0 that has
// left the range of a double (eta^m over- or underflowing) while eta has
// not: eta takes the place of t0^(1/m) and eta^2 that of t0^(2/m).
FitResult computeStatistics(FitResult fit, double eta);
