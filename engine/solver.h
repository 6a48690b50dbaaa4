// Maximum-likelihood shape and scale for a fixed location, and the damped
// Newton iteration that solves the likelihood equation.
#pragma once

#include <cstdint>

// x^k by repeated squaring; k = 0 gives 1, k < 0 gives 1 / x^|k|.
double integerPower(double x, std::int32_t k);

// g(m) = n/m + sum ln x_i - n * sum(x_i^m ln x_i) / sum(x_i^m), x_i = t_i - gamma.
double likelihoodEquation(double m);

// The step divisor: -n/m^2 - n*S2/S0 + (S1/S0)^2 (steeper than g'(m)).
double likelihoodSlope(double m);

// t0 = (1/n) * sum x_i^m.
double scaleFromShape(double m);

// Solves equation(m) = 0 from m0 by damped Newton steps; see solver.cpp for
// every way it ends. Polls analysisState.stopFlag once per outer step.
double dampedNewton(double m0, double (*equation)(double), double (*slope)(double));
