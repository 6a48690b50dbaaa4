#include "run/analysis_state.h"

AnalysisState analysisState;

void releaseSample() {
    std::vector<double>().swap(analysisState.sample);  // gives the memory back
    std::vector<std::uint8_t>().swap(analysisState.suspended);
    analysisState.sampleLoaded = 0;
}

void clearRunResults() {
    releaseSample();
    analysisState.result = FitResult{};
    analysisState.solveEnding = SolveEnding::notRun;
    analysisState.suspendedMarks = 0;
    analysisState.stopFlag.store(0, std::memory_order_relaxed);
}
