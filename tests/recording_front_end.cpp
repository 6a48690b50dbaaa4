#include "tests/recording_front_end.h"

#include "run/analysis_state.h"
#include "run/front_end.h"

Recording recording;

void resetRecording() { recording = Recording(); }

void resetAnalysisState() {
    releaseSample();
    AnalysisState& s = analysisState;
    s.dataFilePath[0] = s.reportFilePath[0] = s.helpFilePath[0] = '\0';
    s.rankMethod = 0;
    s.autoGamma = 0;
    s.initialM = 0;
    s.solver = ShapeSolver::damped;
    s.stopFlag.store(0);
    s.solveEnding = SolveEnding::notRun;
    s.result = FitResult{};
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

void showRunPhase(RunPhase phase, std::uint64_t) { recording.phases.push_back(static_cast<int>(phase)); }

void reportRunDone() { ++recording.doneCount; }
