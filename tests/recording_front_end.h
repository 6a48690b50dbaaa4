// A front end for the tests: records the result fields; the monitor and the
// phases are not kept, the clock stands.
#pragma once

#include <string>
#include <vector>

#include "run/analysis_state.h"
#include "run/calculation_run.h"

class RecordingFrontEnd : public FrontEnd {
public:
    std::string results[7];  // last text of each result field
    int resultWrites = 0;    // calls of showResultText

    void showResultText(int index, const char* text) override {
        results[index] = text;
        ++resultWrites;
    }
};

// The inputs of one run, as the dialog or the command line sets them.
struct TestRun {
    std::string path = {};
    RankMethod rankMethod = 1;
    bool autoGamma = true;
    double gamma = 0;  // used when autoGamma is false
    double initialM = 1;
    ShapeSolver solver = ShapeSolver::damped;
    int stop = 0;                    // the stop flag as the run starts
    bool censored = false;           // status words S mark suspensions
    bool refuseZeroSpread = false;   // refuse failures that are all one time (the library call only)
    std::vector<double> times = {};  // not empty: these times are fitted instead of a file (the library call only)
};

// Runs the test run as a library call with its own stop flag.
RunOutcome runWith(const TestRun& run, RecordingFrontEnd* recording = nullptr);

// Sets the test run into the state record and runs as the desktop program's
// worker does; returns the refusal.
Refusal runOnTheRecord(const TestRun& run, RecordingFrontEnd& recording);

// Releases any held sample and zeroes the whole analysis state.
void resetAnalysisState();
