// Automatic location parameter: bisection on the curvature of the Weibull plot.
#pragma once

// The gamma search stops once the squared correlation no longer changes by
// more than this (summed over both bracket ends).
constexpr double gammaSearchTolerance = 1e-10;

// Sign of the leading coefficient of the least-squares parabola through the
// Weibull-plot points for location g: -1, +1, or 0 (zero or not a number).
// Always writes r2, the squared correlation of the points.
int curvatureSign(double* r2, double g);

// The location in [0, 0.99 t_1] where the plot turns from bending down to
// bending up. Needs the sorted sample and analysisState.rankFunction.
double searchGamma();
