// A front end for the tests: records everything the engine shows and lets a
// test drive the tick counter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Recording {
    std::vector<std::string> monitorM;   // texts set into the m monitor field
    std::vector<std::string> monitorG;   // texts set into the g(m) monitor field
    std::string results[7];              // last text of each result field
    int resultWrites = 0;                // calls of showResultText
    std::vector<std::string> errors;     // "Caption: Text" of each run error
    int doneCount = 0;                   // calls of reportRunDone
    std::vector<int> phases;             // every RunPhase shown, in order
    std::uint32_t tick = 0;              // the tick counter's current value
    std::uint32_t tickStep = 0;          // added to the tick after every read
};

extern Recording recording;

// Clears the recording and the tick counter.
void resetRecording();

// Releases any held sample and zeroes the whole analysis state.
void resetAnalysisState();
