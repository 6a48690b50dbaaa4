// A front end for the tests: records the result fields, the errors and the
// end of each run; the monitor and the phases are not kept, the clock stands.
#pragma once

#include <string>
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

// Releases any held sample and zeroes the whole analysis state.
void resetAnalysisState();
