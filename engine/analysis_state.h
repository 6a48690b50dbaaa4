// The one process-wide record that every layer shares, and the types it holds.
// Plain data, zero-initialised at start (static storage); no class of its own.
#pragma once

#include <atomic>
#include <cstdint>

// The failure times: n doubles in one heap block (malloc/free), in file order
// after reading, sorted ascending by the calculation run before any estimate.
struct Sample {
    std::uint32_t n;  // number of failure times
    double* t;        // t[0..n-1]; formulas number the points from 1
};

// Plotting-position formula, 1..4: i/(n+1), (i-1)/(n-1), (i-0.3)/(n+0.4), (i-0.5)/n.
using RankMethod = int;

// F(i) for the 1-based point number i; reads n from the sample at each call.
using RankFunction = double (*)(std::uint32_t i);

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

// Why the damped Newton iteration ended; front ends may say so.
enum class SolveEnding : int {
    notRun = 0,   // no solve has run yet
    rootFound,    // g(m) was exactly 0
    stopped,      // the stop flag was set (Stop, Ctrl-C, time-out)
    converged,    // an accepted full step changed m by less than 1.6e-15 |m|
    bound,        // |m| grew beyond 1e154
    fixedPoint,   // a whole outer step left m and g(m) bit for bit unchanged
};

struct AnalysisState {
    char dataFilePath[512];        // data file name, NUL-terminated
    char reportFilePath[512];      // report file name chosen for Save
    char helpFilePath[512];        // help file beside the executable
    Sample sample;                 // the failure times of the last read
    int sampleLoaded;              // 1 exactly while sample.t is a held block
    RankMethod rankMethod;         // selected plotting position, 1..4
    RankFunction rankFunction;     // F(i) of rankMethod, set when a run starts
    int autoGamma;                 // 1 = search gamma, 0 = use the typed value
    double initialM;               // start value of the shape iteration (> 0)
    std::atomic<int> stopFlag;     // 1 = end the iteration; relaxed loads/stores
    int stopAtFixedPoint;          // 1 = also end the iteration at a fixed point
    SolveEnding solveEnding;       // how the last iteration ended
    FitResult result;              // results; result.gamma is also the input
};

extern AnalysisState analysisState;

// Releases the sample block if one is held and clears sampleLoaded.
void releaseSample();
