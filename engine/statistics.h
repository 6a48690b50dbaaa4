// Expected value, variance, median and mode of the fitted distribution.
#pragma once

#include "engine/fit_types.h"

// Gamma(x) by Stirling's series at an argument of at least 8, with the upward
// recurrence and Euler's reflection for x < 0.
double gammaFunction(double x);

// The fit with mu, sigma2, xi and tm formed from its m, t0 and gamma.
FitResult computeStatistics(FitResult fit);
