// The values that pass between the engine's parts and up to the run.
#pragma once

// Plotting-position formula, 1..4: i/(n+1), (i-1)/(n-1), (i-0.3)/(n+0.4), (i-0.5)/n.
using RankMethod = int;

// The seven results, in the order of the output fields and of the report.
struct FitResult {
    double m;       // shape parameter
    double t0;      // scale parameter: F(t) = 1 - exp(-(t - gamma)^m / t0)
    double gamma;   // location parameter: typed input, or the searched value
    double mu;      // expected value
    double xi;      // median
    double tm;      // mode (0 when m <= 1)
    double sigma2;  // variance
};

// Why the shape iteration ended; front ends may say so.
enum class SolveEnding : int {
    notRun = 0,  // no solve has run yet
    rootFound,   // g(m) was exactly 0
    stopped,     // the stop flag was set (Stop, Ctrl-C, time-out)
    converged,   // an accepted full step changed m by less than 1.6e-15 |m|
    bound,       // |m| grew beyond 1e154
    fixedPoint,  // a whole outer step left m and g(m) bit for bit unchanged
};
