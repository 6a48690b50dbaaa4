#include "run/analysis_state.h"

AnalysisState analysisState;

RunInputs runInputsOf(const AnalysisState& state) {
    RunInputs in;
    in.dataFilePath = state.dataFilePath;
    in.rankMethod = state.rankMethod;
    in.autoGamma = state.autoGamma == 1;
    in.gamma = state.result.gamma;
    in.initialM = state.initialM;
    in.read.censored = state.censored == 1;
    in.solver = state.solver;
    in.confidence = state.confidence;
    in.compare = state.compare == 1;
    in.gammaMethod = state.gammaMethod;
    in.shapeMethod = state.shapeMethod;
    in.stopFlag = &state.stopFlag;
    // A damped run that rests at a fixed point also measures how far the
    // root lies, so that the Results window carries the same note as the
    // command line's text.
    in.measureRootGap = true;
    return in;
}

void storeOutcome(AnalysisState& state, RunOutcome outcome) {
    const RefusalKind kind = outcome.refusal.kind;
    if (fitted(outcome)) {
        state.result = outcome.result;
    } else if (kind == RefusalKind::gammaNotBelow || kind == RefusalKind::searchedNotBelow) {
        state.result.gamma = outcome.result.gamma;  // a searched gamma is kept, as the fields show it
    }
    state.lastRun = std::move(outcome);
    state.sampleLoaded = fitted(state.lastRun) ? 1 : 0;
}

Refusal runOnRecord(AnalysisState& state, FrontEnd& frontEnd) {
    RunOutcome outcome = runCalculation(runInputsOf(state), frontEnd);
    Refusal refusal = outcome.refusal;
    storeOutcome(state, std::move(outcome));
    return refusal;
}

void resetOptions(AnalysisState& state) {
    state.censored = 0;
    state.solver = ShapeSolver::damped;
    state.confidence = 0.9;
    state.compare = 0;
    state.gammaMethod = GammaMethod::curvature;
    state.shapeMethod = ShapeMethod::mle;
}

void releaseSample() {
    analysisState.lastRun.sample = Sample{};  // gives the memory back
    analysisState.sampleLoaded = 0;
}
