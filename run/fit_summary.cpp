// The summary of a run: the engine's fit-quality figures over the record's
// sample, and the warnings a reader of the numbers needs.
#include "run/fit_summary.h"

#include <cmath>
#include <cstring>

#include "engine/gamma_search.h"
#include "run/analysis_state.h"

namespace {

FitEnding endingOf(SolveEnding ending, bool timedOut) {
    switch (ending) {
        case SolveEnding::stopped: return timedOut ? FitEnding::timeOut : FitEnding::stopped;
        case SolveEnding::fixedPoint: return FitEnding::fixedPoint;
        case SolveEnding::bound: return FitEnding::bound;
        case SolveEnding::notRun:
        case SolveEnding::rootFound:
        case SolveEnding::converged:
            break;
    }
    return FitEnding::converged;
}

void addSearchWarnings(const FitSummary& s, double smallestTime, std::vector<std::string>& warnings) {
    if (!s.gammaSearched) return;
    if (s.result.gamma == 0) {
        warnings.emplace_back("the gamma search ended at its lower end (gamma = 0)");
    } else if (s.result.gamma == gammaBracketFraction * smallestTime) {
        warnings.emplace_back("the gamma search ended at its upper end (gamma = 0.99 x the smallest value)");
    }
}

// A censored sample has no A2: said once, and not counted as non-finite.
void addNonFiniteWarning(const FitSummary& s, std::vector<std::string>& warnings) {
    const bool censored = s.quality.failures < s.n;
    if (censored) warnings.emplace_back("anderson_darling is not defined for a censored sample");
    std::string names;
    for (const NamedNumber& number : summaryNumbers(s)) {
        if (std::isfinite(number.value)) continue;
        if (censored && std::strcmp(number.name, "anderson_darling") == 0) continue;
        names += names.empty() ? "" : ", ";
        names += number.name;
    }
    if (!names.empty()) warnings.push_back("non-finite result: " + names);
}

}  // namespace

FitSummary summarizeLastRun(double confidence, bool timedOut) {
    const AnalysisState& state = analysisState;
    std::vector<std::uint8_t> failed(state.suspended.size());
    for (std::size_t i = 0; i < failed.size(); ++i) failed[i] = state.suspended[i] == 0 ? 1 : 0;
    FitSummary s;
    s.dataFile = state.dataFilePath;
    s.n = static_cast<std::uint32_t>(state.sample.size());
    s.rankMethod = state.rankMethod;
    s.gammaSearched = state.autoGamma == 1;
    s.result = state.result;
    s.confidence = confidence;
    s.ending = endingOf(state.solveEnding, timedOut);
    const FitResult& r = state.result;
    s.quality = computeFitQuality({state.sample, failed, r.gamma, r.m, r.t0, state.rankMethod, confidence});

    addSearchWarnings(s, state.sample.front(), s.warnings);
    if (r.m <= 1) {
        s.warnings.emplace_back(
            "m <= 1: the density has no maximum at t > gamma, and gamma is not a likelihood estimate");
    }
    addNonFiniteWarning(s, s.warnings);
    return s;
}
