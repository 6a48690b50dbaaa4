#include "engine/analysis_state.h"

#include <cstdlib>

AnalysisState analysisState;

void releaseSample() {
    if (analysisState.sampleLoaded == 1) {
        std::free(analysisState.sample.t);
    }
    analysisState.sample.t = nullptr;
    analysisState.sampleLoaded = 0;
}
