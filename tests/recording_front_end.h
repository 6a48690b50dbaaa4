// A front end for the tests: records the result fields, the errors and the
// end of each run; the monitor and the phases are not kept, the clock stands.
#pragma once

#include <string>

#include "run/analysis_state.h"
#include <vector>

struct Recording {
    std::string results[7];              // last text of each result field
    int resultWrites = 0;                // calls of showResultText
    std::vector<std::string> errors;     // "Caption: Text" of each run error
    int doneCount = 0;                   // calls of reportRunDone
};

extern Recording recording;

// Clears the recording.
void resetRecording();

// The inputs of one run, as the dialog or the command line sets them.
struct RunInputs {
    std::string path;
    RankMethod rankMethod = 1;
    bool autoGamma = true;
    double gamma = 0;  // used when autoGamma is false
    double initialM = 1;
    ShapeSolver solver = ShapeSolver::damped;
    int stop = 0;  // the stop flag as the run starts
};

// Clears the recording, sets the inputs into the state record and runs.
void runWith(const RunInputs& inputs);

// Releases any held sample and zeroes the whole analysis state.
void resetAnalysisState();
