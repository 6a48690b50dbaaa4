#include "plot/run_plot.h"

#include <cmath>
#include <limits>
#include <optional>

#include "engine/portable_math.h"
#include "engine/probability_kernels.h"
#include "plot/plot_geometry.h"
#include "run/run_outputs.h"

namespace {

// Points of the band along the F range; the likelihood's bounds cost a root
// search each, so that band takes fewer.
constexpr int fisherBandPoints = 41;
constexpr int likelihoodBandPoints = 21;

std::string bandLabelOf(const RunOutcome& run) {
    const bool likelihood = run.life.method == BoundMethod::likelihood;
    const char* sides = run.life.sides == BoundSides::two     ? "two-sided"
                        : run.life.sides == BoundSides::lower ? "lower one-sided"
                                                              : "upper one-sided";
    return std::string("B-life bounds, ") + (likelihood ? "likelihood ratio" : "Fisher matrix") + ", " +
           significantText(run.confidence * 100, 5) + "% " + sides;
}

// The bounds on the B-life at evenly spaced y over the failures' F range.
void addBand(const RunOutcome& run, PlotInput& input) {
    if (!run.hasQuality || run.sample.times.empty()) return;
    const auto n = static_cast<std::uint32_t>(run.sample.times.size());
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const double y : plotOrdinates(run.sample.suspended, n, run.rankMethod)) {
        if (!std::isfinite(y)) continue;
        lo = std::fmin(lo, y);
        hi = std::fmax(hi, y);
    }
    if (!(lo < hi)) return;
    const FitQuality& q = run.quality;
    const FitResult& fit = run.result;
    const LifeFiguresInput life{run.sample, fit.gamma, fit.m, fit.t0, q.eta, q.covariance, run.confidence, run.life};
    const bool likelihood = run.life.method == BoundMethod::likelihood;
    std::optional<LikelihoodProfile> profile;
    if (likelihood) profile = makeLikelihoodProfile(run.sample, fit.gamma, fit.m, q.eta);
    const int points = likelihood ? likelihoodBandPoints : fisherBandPoints;
    for (int k = 0; k < points; ++k) {
        const double y = lo + (hi - lo) * k / (points - 1);
        const double p = -portableExpm1(-portableExp(y));  // F at y
        const Interval b = bLifeBoundsOf(life, profile ? &*profile : nullptr, p);
        input.band.push_back({y, weibullPlotX(b.lo, fit.gamma), weibullPlotX(b.hi, fit.gamma)});
    }
    input.bandLabel = bandLabelOf(run);
}

}  // namespace

PlotInput plotInputOfRun(const RunOutcome& run) {
    PlotInput input{};
    input.title = run.dataFile.c_str();
    input.sortedTimes = run.sample.times;
    input.suspended = run.sample.suspended;
    input.rankMethod = run.rankMethod;
    input.fit = run.result;
    input.r2 = run.hasQuality ? run.quality.r2 : std::numeric_limits<double>::quiet_NaN();
    const FitReport report{run, {}};
    for (const OutputField& field : outputFieldsOf(run)) {
        if (field.legendLabel.empty() || field.kind != FieldKind::number) continue;
        input.figures.push_back({field.legendPosition, field.legendLabel, field.value(report).number});
    }
    addBand(run, input);
    return input;
}

ComparisonPlotInput comparisonPlotInputOfRun(const RunOutcome& run) {
    return {run.dataFile.c_str(), run.sample.times, run.sample.suspended,
            run.rankMethod,       run.comparison,   !run.comparisonStopped};
}
