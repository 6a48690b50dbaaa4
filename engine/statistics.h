// Expected value, variance, median and mode of the fitted distribution.
#pragma once

// Gamma(x) by Stirling's series at an argument of at least 8, with the upward
// recurrence and Euler's reflection for x < 0.
double gammaFunction(double x);

// Reads m, t0 and gamma of analysisState.result; writes mu, sigma2, xi, tm.
void computeStatistics();
