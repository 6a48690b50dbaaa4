// The one process-wide record of the desktop program's run. The dialog fills
// its inputs, the worker thread runs the calculation with the inputs taken
// from it and writes the outcome back; Save, the plot and the help read it.
// Only the desktop program touches it: the command line, the tests and
// library callers call runCalculation with values.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/fit_types.h"
#include "run/calculation_run.h"

struct AnalysisState {
    char dataFilePath[512];                            // data file name, NUL-terminated
    char reportFilePath[512];                          // report file name chosen for Save
    char helpFilePath[512];                            // help file beside the executable
    int sampleLoaded;                                  // 1 exactly while the last run holds a sample
    RankMethod rankMethod;                             // selected plotting position, 1..4
    int autoGamma;                                     // 1 = search gamma, 0 = use the typed value
    double initialM;                                   // start value of the shape iteration (> 0)
    int censored = 0;                                  // 1 = status words mark suspensions (Options > Read suspensions)
    ShapeSolver solver = ShapeSolver::damped;          // the shape solver of the next run
    double confidence = 0.9;                           // level of the two-sided bounds of the next run
    int compare = 0;                                   // 1 = also fit and rank the other distributions
    GammaMethod gammaMethod = GammaMethod::curvature;  // how Auto Gamma finds gamma
    ShapeMethod shapeMethod = ShapeMethod::mle;        // how m and t0 are found at gamma
    std::atomic<int> stopFlag;                         // 1 = end the iteration; relaxed loads/stores
    FitResult result;                                  // results; result.gamma is also the input
    RunOutcome lastRun;                                // the last run: its sorted sample, ending and figures
};

extern AnalysisState analysisState;

// The inputs of a run as the record holds them.
RunInputs runInputsOf(const AnalysisState& state);

// Takes a finished run into the record: its outcome, its results (kept as
// they were when the run was refused) and whether a sample is held.
void storeOutcome(AnalysisState& state, RunOutcome outcome);

// The desktop program's run: runs on the record's inputs, stores the outcome
// and returns the refusal (kind none when the run fitted).
Refusal runOnRecord(AnalysisState& state, FrontEnd& frontEnd);

// Puts the Options back to their start: failures only, the damped
// iteration, bounds at 0.9, no comparison, gamma by the plot's curvature,
// m by likelihood. Nothing is kept from one start to the next.
void resetOptions(AnalysisState& state);

// Drops the sample and clears sampleLoaded.
void releaseSample();
