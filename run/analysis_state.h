// The one process-wide record of the desktop program's run (the command
// line fills the same record); only the run layer and the front ends touch it.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/fit_types.h"

// How the shape is solved: the damped iteration (the desktop program's) or
// Newton's method in a bracket (the command line's --solver newton).
enum class ShapeSolver : int { damped = 0, newton = 1 };

struct AnalysisState {
    char dataFilePath[512];        // data file name, NUL-terminated
    char reportFilePath[512];      // report file name chosen for Save
    char helpFilePath[512];        // help file beside the executable
    std::vector<double> sample;    // failure times of the last read; sorted by the run
    std::vector<std::uint8_t> suspended;  // censored runs: 1 = suspension, per sample entry
    int sampleLoaded;              // 1 exactly while the sample of a read is held
    int censored;                  // 1 = status words mark suspensions (command line only)
    std::uint32_t suspendedMarks;  // lines of the last read marked S or s
    RankMethod rankMethod;         // selected plotting position, 1..4
    int autoGamma;                 // 1 = search gamma, 0 = use the typed value
    double initialM;               // start value of the shape iteration (> 0)
    ShapeSolver solver;            // damped unless the command line asks for Newton
    std::atomic<int> stopFlag;     // 1 = end the iteration; relaxed loads/stores
    SolveEnding solveEnding;       // how the last iteration ended
    FitResult result;              // results; result.gamma is also the input
};

extern AnalysisState analysisState;

// Drops the sample and clears sampleLoaded.
void releaseSample();

// Readies the record for the next run of a batch: drops the sample, zeroes
// the results (result.gamma included: a typed gamma is set again after
// this), forgets how the last iteration ended and lowers the stop flag.
void clearRunResults();
