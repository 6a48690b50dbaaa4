// The calculation run: the body of the worker thread (or of the command
// line's single call). It reaches the screen only through the front-end seam.
#include "run/calculation_run.h"

#include <algorithm>

#include "datafiles/data_file.h"
#include "datafiles/number_format.h"
#include "engine/gamma_search.h"
#include "engine/sample.h"
#include "engine/solver.h"
#include "engine/statistics.h"
#include "run/analysis_state.h"
#include "run/front_end.h"

namespace {

// A run needs at least three failure times to fit three parameters.
constexpr std::size_t minimumSampleSize = 3;

// Drops the sample, shows the error and ends the run.
void refuseRun(const char* text, const char* caption) {
    releaseSample();
    showRunError(text, caption);
    reportRunDone();
}

void showReadProgress(std::uint64_t valuesSoFar, void*) { showRunPhase(RunPhase::reading, valuesSoFar); }

void showHalving(int halving) { showRunPhase(RunPhase::searching, static_cast<std::uint64_t>(halving)); }

// The monitor: the trial point in the screen's number format.
void showTrialPoint(std::uint64_t outerStep, double m, double g) {
    showRunPhase(RunPhase::iterating, outerStep);
    char text[numberTextSize];
    formatScreenNumber(m, text);
    showMonitorText(monitorM, text);
    formatScreenNumber(g, text);
    showMonitorText(monitorG, text);
}

SolveOutcome solveShape(const ShapeProblem& problem) {
    SolveControl control;
    control.stopFlag = &analysisState.stopFlag;
    // A point that a further step leaves bit for bit unchanged is where any
    // later Stop would end too: the run ends there by itself.
    control.stopAtFixedPoint = true;
    control.readTick = readTickCount;
    control.showPoint = showTrialPoint;
    auto equation = [&problem](double m) { return likelihoodEquation(problem, m); };
    showRunPhase(RunPhase::iterating, 0);
    if (analysisState.solver == ShapeSolver::newton) {
        auto derivative = [&problem](double m) { return likelihoodDerivative(problem, m); };
        return bracketedNewton(analysisState.initialM, equation, derivative, control);
    }
    auto slope = [&problem](double m) { return likelihoodSlope(problem, m); };
    return dampedNewton(analysisState.initialM, equation, slope, control);
}

// The location at which the Weibull plot of the failures is straight.
double searchedGamma(const AnalysisState& state) {
    const auto n = static_cast<std::uint32_t>(state.sample.size());
    const std::vector<double> ordinates = plotOrdinates(state.suspended, n, state.rankMethod);
    showRunPhase(RunPhase::searching, 0);
    if (state.suspended.empty()) return searchGamma(state.sample, ordinates, state.sample[0], showHalving);
    std::vector<double> failures;
    failures.reserve(ordinates.size());
    for (std::size_t i = 0; i < state.sample.size(); ++i) {
        if (state.suspended[i] == 0) failures.push_back(state.sample[i]);
    }
    return searchGamma(failures, ordinates, state.sample[0], showHalving);
}

std::size_t failureCount(const AnalysisState& state) {
    std::size_t r = state.sample.size();
    for (const std::uint8_t s : state.suspended) r -= s;
    return r;
}

}  // namespace

ReportInput currentReport() {
    const AnalysisState& s = analysisState;
    return {s.dataFilePath, s.rankMethod, s.result, s.sample, s.censored == 1, s.suspended};
}

void showResults() {
    const FitResult& r = analysisState.result;
    const double values[7] = {r.m, r.t0, r.gamma, r.mu, r.xi, r.tm, r.sigma2};
    for (int index = 0; index < 7; ++index) {
        char text[numberTextSize];
        formatScreenNumber(values[index], text);
        showResultText(index, text);
    }
}

void runCalculation() {
    AnalysisState& state = analysisState;
    DataFileContents contents = readDataFile(state.dataFilePath, state.censored == 1, showReadProgress);
    state.suspendedMarks = contents.suspendedMarks;
    if (contents.opened) {
        state.sample = std::move(contents.times);
        state.suspended = std::move(contents.suspended);
        state.sampleLoaded = 1;
        // A censored reading without a single suspension is a plain sample.
        if (std::find(state.suspended.begin(), state.suspended.end(), 1) == state.suspended.end()) {
            std::vector<std::uint8_t>().swap(state.suspended);
        }
    }
    if (!contents.opened || failureCount(state) < minimumSampleSize) {
        refuseRun("Invalid data type", "Read data error");
        return;
    }
    showRunPhase(RunPhase::sorting, state.sample.size());
    if (state.suspended.empty()) {
        sortTimes(state.sample);
    } else {
        sortCensored(state.sample, state.suspended);
    }

    FitResult& r = state.result;
    if (state.autoGamma == 1) r.gamma = searchedGamma(state);
    // Every reduced time t_i - gamma must be positive; written so that a NaN
    // gamma is refused as well.
    if (!(r.gamma < state.sample[0])) {
        refuseRun("Invalid gamma", "Parameter error");
        return;
    }

    const ShapeProblem problem = makeShapeProblem(state.sample, r.gamma, state.suspended);
    const SolveOutcome outcome = solveShape(problem);
    state.solveEnding = outcome.ending;
    r.m = outcome.m;
    r.t0 = scaleFromShape(problem, r.m);
    r = computeStatistics(r);
    showResults();
    reportRunDone();
}
