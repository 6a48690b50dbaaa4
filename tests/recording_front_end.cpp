#include "tests/recording_front_end.h"

#include <algorithm>
#include <cstdlib>

#include "engine/analysis_state.h"
#include "engine/front_end.h"

Recording recording;

void resetRecording() { recording = Recording(); }

void resetAnalysisState() {
    releaseSample();
    AnalysisState& s = analysisState;
    s.dataFilePath[0] = s.reportFilePath[0] = s.helpFilePath[0] = '\0';
    s.sample = Sample{0, nullptr};
    s.rankMethod = 0;
    s.rankFunction = nullptr;
    s.autoGamma = 0;
    s.initialM = 0;
    s.stopFlag.store(0);
    s.stopAtFixedPoint = 0;
    s.solveEnding = SolveEnding::notRun;
    s.result = FitResult{};
}

void holdSample(const std::vector<double>& t) {
    releaseSample();
    auto* block = static_cast<double*>(std::malloc(t.size() * sizeof(double)));
    std::copy(t.begin(), t.end(), block);
    analysisState.sample = Sample{static_cast<std::uint32_t>(t.size()), block};
    analysisState.sampleLoaded = 1;
}

void showMonitorText(MonitorField field, const char* text) {
    (field == monitorM ? recording.monitorM : recording.monitorG).push_back(text);
}

void showResultText(int index, const char* text) {
    recording.results[index] = text;
    ++recording.resultWrites;
}

void showRunError(const char* text, const char* caption) {
    recording.errors.push_back(std::string(caption) + ": " + text);
}

std::uint32_t readTickCount() {
    const std::uint32_t now = recording.tick;
    recording.tick += recording.tickStep;
    return now;
}

void reportRunDone() { ++recording.doneCount; }
