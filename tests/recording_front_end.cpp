#include "tests/recording_front_end.h"

#include <cstdio>

#include "run/analysis_state.h"
#include "run/calculation_run.h"
#include "run/front_end.h"

Recording recording;

void resetRecording() { recording = Recording(); }

void runWith(const RunInputs& inputs) {
    resetRecording();
    AnalysisState& s = analysisState;
    std::snprintf(s.dataFilePath, sizeof s.dataFilePath, "%s", inputs.path.c_str());
    s.rankMethod = inputs.rankMethod;
    s.autoGamma = inputs.autoGamma ? 1 : 0;
    s.result.gamma = inputs.gamma;
    s.initialM = inputs.initialM;
    s.solver = inputs.solver;
    s.stopFlag.store(inputs.stop);
    runCalculation();
}

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

void showMonitorText(MonitorField, const char*) {}

void showResultText(int index, const char* text) {
    recording.results[index] = text;
    ++recording.resultWrites;
}

void showRunError(const char* text, const char* caption) {
    recording.errors.push_back(std::string(caption) + ": " + text);
}

std::uint32_t readTickCount() { return 0; }

void showRunPhase(RunPhase, std::uint64_t) {}

void reportRunDone() { ++recording.doneCount; }
