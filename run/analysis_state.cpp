#include "run/analysis_state.h"

AnalysisState analysisState;

void releaseSample() {
    std::vector<double>().swap(analysisState.sample);  // gives the memory back
    analysisState.sampleLoaded = 0;
}
