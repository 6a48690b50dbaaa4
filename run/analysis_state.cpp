#include "run/analysis_state.h"

AnalysisState analysisState;

void releaseSample() {
    std::vector<double>().swap(analysisState.sample);  // gives the memory back
    analysisState.sampleLoaded = 0;
}

void clearRunResults() {
    releaseSample();
    analysisState.result = FitResult{};
    analysisState.solveEnding = SolveEnding::notRun;
    analysisState.stopFlag.store(0, std::memory_order_relaxed);
}
