// The calculation run: the body of the desktop program's worker thread, of
// each command-line file and of a library call. It reads only its inputs,
// writes only its outcome, and reaches the screen only through the front end.
#include "run/calculation_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>

#include "datafiles/data_file.h"
#include "datafiles/number_format.h"
#include "datafiles/result_formats.h"
#include "engine/distributions.h"
#include "engine/gamma_search.h"
#include "engine/pass_pool.h"
#include "engine/portable_math.h"
#include "engine/probability_kernels.h"
#include "engine/rank_regression.h"
#include "engine/solver.h"
#include "engine/statistics.h"

namespace {

// A run needs at least three failure times to fit three parameters.
constexpr std::size_t minimumSampleSize = 3;

constexpr char readErrorCaption[] = "Read data error";
constexpr char readErrorText[] = "Invalid data type";
constexpr char gammaErrorCaption[] = "Parameter error";
constexpr char gammaErrorText[] = "Invalid gamma";

// A number in words: its shortest text, or "nan", "inf", "-inf".
std::string numberWords(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    return shortestText(value);
}

RunOutcome refused(RunOutcome outcome, RefusalKind kind, std::string cause) {
    const bool dataError = kind != RefusalKind::gammaNotBelow && kind != RefusalKind::searchedNotBelow;
    outcome.refusal = {kind, dataError ? readErrorCaption : gammaErrorCaption,
                       dataError ? readErrorText : gammaErrorText, std::move(cause)};
    outcome.sample = Sample{};  // a refused run keeps no sample
    return outcome;
}

void showReadProgress(std::uint64_t valuesSoFar, void* context) {
    static_cast<FrontEnd*>(context)->showRunPhase(RunPhase::reading, valuesSoFar);
}

// The sample of the inputs: read from the data file, or the one given.
// Returns the refusal's cause when the file cannot be read.
std::optional<std::string> takeSample(const RunInputs& in, FrontEnd& frontEnd, RunOutcome& outcome) {
    if (in.given) {
        outcome.sample = makeSample(in.sample.times, in.sample.suspended);
        return std::nullopt;
    }
    DataFileContents contents = readData(in.dataFilePath.c_str(), in.read, showReadProgress, &frontEnd);
    outcome.suspendedMarks = contents.suspendedMarks;
    if (!contents.opened) return contents.cause.empty() ? std::string("the file cannot be opened") : contents.cause;
    outcome.readerNotes = readerWarnings(contents);
    outcome.sample = makeSample(std::move(contents.times), std::move(contents.suspended));
    return std::nullopt;
}

// True when every failure lies at one time.
bool failuresAllEqual(const Sample& s) {
    std::optional<double> first;
    for (std::size_t i = 0; i < s.times.size(); ++i) {
        if (!s.suspended.empty() && s.suspended[i] != 0) continue;
        if (!first) first = s.times[i];
        if (s.times[i] != *first) return false;
    }
    return true;
}

// The refusal of a sample that cannot be fitted, or none.
std::optional<std::pair<RefusalKind, std::string>> sampleRefusal(const RunInputs& in, const Sample& s,
                                                                 bool zeroSpread) {
    if (s.times.size() < minimumSampleSize) {
        return std::make_pair(RefusalKind::tooFewValues,
                              "fewer than 3 values (" + std::to_string(s.times.size()) + ")");
    }
    if (s.failures < minimumSampleSize) {
        return std::make_pair(RefusalKind::tooFewFailures, "fewer than 3 failures (" + std::to_string(s.failures) +
                                                               " of " + std::to_string(s.times.size()) + " values)");
    }
    if (in.refuseZeroSpread && zeroSpread) {
        return std::make_pair(RefusalKind::zeroSpread,
                              "all failure times are equal: there is no Weibull fit to zero spread");
    }
    return std::nullopt;
}

// The location at which the Weibull plot of the failures is straight. The
// ordinates it forms are kept for the fit-quality figures.
double searchedGamma(const Sample& sample, RankMethod method, PassPool& pool, FrontEnd& frontEnd,
                     std::vector<double>& ordinates) {
    const auto n = static_cast<std::uint32_t>(sample.times.size());
    ordinates = plotOrdinates(sample.suspended, n, method);
    frontEnd.showRunPhase(RunPhase::searching, 0);
    const SearchProgress progress = [&frontEnd](int halving) {
        frontEnd.showRunPhase(RunPhase::searching, static_cast<std::uint64_t>(halving));
    };
    if (sample.suspended.empty()) return searchGamma(sample.times, ordinates, sample.times[0], pool, progress);
    std::vector<double> failures;
    failures.reserve(ordinates.size());
    for (std::size_t i = 0; i < sample.times.size(); ++i) {
        if (sample.suspended[i] == 0) failures.push_back(sample.times[i]);
    }
    return searchGamma(failures, ordinates, sample.times[0], pool, progress);
}

GammaSearchEnding searchEnding(double gamma, double smallestTime) {
    if (gamma == 0) return GammaSearchEnding::lowerEnd;
    if (gamma == gammaBracketFraction * smallestTime) return GammaSearchEnding::upperEnd;
    return GammaSearchEnding::interior;
}

// The stop flag and the time-out clock of a run. The clock starts with the
// first iteration (the likelihood location's search, else the shape
// iteration): reading and the curvature search of a large sample do not eat
// into it; the later iterations and the comparison share its deadline.
// Beyond about 31 years a time-out cannot be told from none.
class RunClock {
public:
    explicit RunClock(const RunInputs& in) : stopFlag_(in.stopFlag), seconds_(in.timeoutSeconds) {}

    // The control of an iteration, the clock started if it was not.
    SolveControl control() {
        if (!deadline_ && seconds_ > 0 && seconds_ <= 1e9) {
            deadline_ = Clock::now() +
                        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds_));
        }
        SolveControl control;
        control.stopFlag = stopFlag_;
        if (deadline_) control.timeUp = [this] { return timedOut_ = Clock::now() >= *deadline_; };
        return control;
    }

    // True once a poll found the deadline passed (it stays passed).
    bool timedOut() const { return timedOut_; }

private:
    using Clock = std::chrono::steady_clock;
    const std::atomic<int>* stopFlag_;
    double seconds_;
    std::optional<Clock::time_point> deadline_;
    bool timedOut_ = false;
};

// How the iteration went, beyond its ending.
struct SolveWatch {
    bool sumsLeftRange = false;  // some trial point's sums (or the divisor) left the range of a double
};

SolveOutcome solveShape(const RunInputs& in, const ShapeProblem& problem, FrontEnd& frontEnd, RunClock& clock,
                        SolveWatch& watch) {
    SolveControl control = clock.control();
    // A point that a further step leaves bit for bit unchanged is where any
    // later Stop would end too: the run ends there by itself.
    control.stopAtFixedPoint = true;
    control.readTick = [&frontEnd] { return frontEnd.readTickCount(); };
    control.showPoint = [&frontEnd](std::uint64_t outerStep, double m, double g) {
        frontEnd.showRunPhase(RunPhase::iterating, outerStep);
        char text[numberTextSize];
        formatScreenNumber(m, text);
        frontEnd.showMonitorText(monitorM, text);
        formatScreenNumber(g, text);
        frontEnd.showMonitorText(monitorG, text);
    };
    auto equation = [&problem, &watch](double m) {
        const double g = likelihoodEquation(problem, m);
        if (!sumsInRange(shapeSums(problem, m))) watch.sumsLeftRange = true;
        return g;
    };
    frontEnd.showRunPhase(RunPhase::iterating, 0);
    if (in.solver == ShapeSolver::newton) {
        auto derivative = [&problem](double m) { return likelihoodDerivative(problem, m); };
        return bracketedNewton(in.initialM, equation, derivative, control);
    }
    // The damped divisor forms n S2 / S0: n S2 can overflow before S2 does,
    // and an infinite divisor leaves the iteration standing still.
    auto slope = [&problem, &watch](double m) {
        const double d = likelihoodSlope(problem, m);
        if (!std::isfinite(d)) watch.sumsLeftRange = true;
        return d;
    };
    return dampedNewton(in.initialM, equation, slope, control);
}

// Why the point an iteration reached is no Weibull fit, or "". Besides a
// shape that is not positive, sums out of range at the point, or a result
// not a number: an iteration whose trial points overflowed can come to rest
// below the overflow, far from the root (a Newton step from there is more
// than a millionth of m).
// `bySums` tells whether the sums were the cause (scaled sums would mend it).
std::string invalidFitCause(const FitResult& r, const ShapeProblem& problem, const SolveWatch& watch, bool& bySums) {
    if (!(r.m > 0) || !std::isfinite(r.m)) {
        return "m = " + numberWords(r.m) + " is not a positive finite shape, so this is no Weibull fit";
    }
    bySums = true;
    if (!sumsInRange(shapeSums(problem, r.m))) {
        return "the sums of x^m left the range of a double at m = " + numberWords(r.m);
    }
    const double step = likelihoodEquation(problem, r.m) / likelihoodDerivative(problem, r.m);
    if (watch.sumsLeftRange && !(std::fabs(step) <= 1e-6 * r.m)) {
        return "the iteration came to rest at m = " + numberWords(r.m) +
               ", short of the root, where larger m make the sums of x^m leave the range of a double";
    }
    bySums = false;
    for (const double value : {r.t0, r.gamma, r.mu, r.xi, r.tm, r.sigma2}) {
        if (std::isnan(value)) return "a result is not a number";
    }
    return "";
}

// The root from the damped iteration's resting point by the bracketed
// Newton solver (a few passes), and the relative gaps of m and t0 to it.
RootGap rootGapFrom(const ShapeProblem& problem, double m, double t0) {
    auto equation = [&problem](double x) { return likelihoodEquation(problem, x); };
    auto derivative = [&problem](double x) { return likelihoodDerivative(problem, x); };
    const SolveOutcome root = bracketedNewton(m, equation, derivative, SolveControl{});
    RootGap gap;
    gap.rootM = root.m;
    gap.rootT0 = scaleFromShape(problem, root.m);
    gap.m = std::fabs(m - gap.rootM) / std::fabs(gap.rootM);
    gap.t0 = std::fabs(t0 - gap.rootT0) / std::fabs(gap.rootT0);
    gap.measured = std::isfinite(gap.m) && std::isfinite(gap.t0);
    return gap;
}

// The location of the profile likelihood's maximum, where it has one inside;
// else (or when stopped) the curvature's gamma stays.
void locateByLikelihood(RunOutcome& outcome, PassPool& pool, RunClock& clock) {
    const LocationProfile profile = maximizeLocationProfile(outcome.sample, pool, clock.control());
    outcome.likelihoodLocation = profile.stopped    ? LikelihoodLocation::stopped
                                 : profile.interior ? LikelihoodLocation::maximum
                                                    : LikelihoodLocation::noMaximum;
    if (!profile.interior) return;
    outcome.result.gamma = profile.gamma;
    outcome.gammaEnding = GammaSearchEnding::interior;
}

// m and t0 of the least-squares line of the Weibull plot at the gamma in
// use; the likelihood's results are kept beside them.
void applyRankRegression(const RunInputs& in, RunOutcome& outcome) {
    FitResult& r = outcome.result;
    outcome.likelihoodResult = r;
    const RegressionAxis axis = in.shapeMethod == ShapeMethod::rry ? RegressionAxis::yOnX : RegressionAxis::xOnY;
    const RegressionFit line = rankRegression(outcome.sample, r.gamma, in.rankMethod, axis);
    r.m = line.m;
    r.t0 = line.t0;
    r = computeStatistics(r);
    if (!(r.m > 0) && outcome.invalidCause.empty()) outcome.invalidCause = "the Weibull plot has no rising line";
}

// The standard error and bounds of a likelihood location at m > 2.
void boundLocation(RunOutcome& outcome, double confidence) {
    const bool regressed = outcome.shapeMethod != ShapeMethod::mle && outcome.ending != SolveEnding::stopped;
    const FitResult& ml = regressed ? outcome.likelihoodResult : outcome.result;
    if (outcome.likelihoodLocation != LikelihoodLocation::maximum || !(ml.m > 2)) return;
    const double eta = portablePow(ml.t0, 1 / ml.m);
    const double se = locationStandardError(outcome.sample, ml.gamma, ml.m, eta);
    const double z = normalQuantile((1 + confidence) / 2);
    outcome.gammaStandardError = se;
    outcome.gammaBounds = {ml.gamma - z * se, ml.gamma + z * se};
}

// The fit-quality figures and the life figures at the results (the solver's
// table and the search's ordinates go on to them); with rank regression the
// bounds are those of the likelihood fit (the Fisher matrix belongs to it).
void formQuality(const RunInputs& in, RunOutcome& outcome, double eta, ShapeTable& table,
                 const std::vector<double>& ordinates) {
    const FitResult& r = outcome.result;
    const bool regressed = in.shapeMethod != ShapeMethod::mle && outcome.ending != SolveEnding::stopped;
    // The table holds ln(t - gamma), whatever m; eta (where t0 left the
    // range) belongs to the likelihood's point only.
    const double scale = regressed ? std::numeric_limits<double>::quiet_NaN() : eta;
    outcome.quality = computeFitQuality({outcome.sample, r.gamma, r.m, r.t0, in.rankMethod, in.confidence, scale,
                                         &table, ordinates.empty() ? nullptr : &ordinates});
    outcome.hasQuality = true;
    const FitQuality& q = outcome.quality;
    outcome.lifeFigures = computeLifeFigures(
        {outcome.sample, r.gamma, r.m, r.t0, q.eta, q.covariance, in.confidence, in.life});
    if (!regressed) return;
    const FitResult& ml = outcome.likelihoodResult;
    const FitQuality likelihood = computeFitQuality(
        {outcome.sample, ml.gamma, ml.m, ml.t0, in.rankMethod, in.confidence});
    outcome.quality.covariance = likelihood.covariance;
    outcome.quality.mBounds = likelihood.mBounds;
    outcome.quality.etaBounds = likelihood.etaBounds;
    outcome.quality.b10Bounds = likelihood.b10Bounds;
}

}  // namespace

void showResults(const FitResult& r, FrontEnd& frontEnd) {
    const double values[7] = {r.m, r.t0, r.gamma, r.mu, r.xi, r.tm, r.sigma2};
    for (int index = 0; index < 7; ++index) {
        char text[numberTextSize];
        formatScreenNumber(values[index], text);
        frontEnd.showResultText(index, text);
    }
}

RunOutcome runCalculation(const RunInputs& in, FrontEnd& frontEnd) {
    RunOutcome outcome;
    outcome.dataFile = in.dataFilePath;
    outcome.censored = in.read.censored;
    outcome.rankMethod = in.rankMethod;
    outcome.confidence = in.confidence;
    outcome.timeoutSeconds = in.timeoutSeconds;
    outcome.solver = in.solver;
    outcome.life = in.life;
    outcome.lifeOptionsNamed = in.lifeOptionsNamed;
    outcome.shapeMethod = in.shapeMethod;
    if (const auto cause = takeSample(in, frontEnd, outcome)) {
        return refused(std::move(outcome), RefusalKind::cannotOpen, *cause);
    }
    outcome.zeroSpread = failuresAllEqual(outcome.sample);
    if (const auto refusal = sampleRefusal(in, outcome.sample, outcome.zeroSpread)) {
        return refused(std::move(outcome), refusal->first, refusal->second);
    }
    Sample& sample = outcome.sample;
    frontEnd.showRunPhase(RunPhase::sorting, sample.times.size());
    sortSample(sample);

    FitResult& r = outcome.result;
    r.gamma = in.gamma;
    // Threads for the passes over the points, for this run only.
    PassPool pool;
    RunClock clock(in);
    const double smallest = sample.times[0];
    std::vector<double> ordinates;  // formed by the search, or by the fit quality
    if (in.autoGamma) {
        r.gamma = searchedGamma(sample, in.rankMethod, pool, frontEnd, ordinates);
        outcome.gammaEnding = searchEnding(r.gamma, smallest);
        if (in.gammaMethod == GammaMethod::mle) locateByLikelihood(outcome, pool, clock);
    }
    // Every reduced time t_i - gamma must be positive; written so that a NaN
    // gamma is refused as well.
    if (!(r.gamma < smallest)) {
        if (in.autoGamma) {
            return refused(std::move(outcome), RefusalKind::searchedNotBelow,
                           "the smallest time is " + numberWords(smallest) +
                               ": the location must lie below it; type a negative gamma with -g");
        }
        return refused(
            std::move(outcome), RefusalKind::gammaNotBelow,
            "the typed gamma " + numberWords(r.gamma) + " is not below the smallest time " + numberWords(smallest));
    }

    // Newton's method sums in blocks over x / x_max (the same root in any
    // unit); the damped iteration keeps the desktop program's sums.
    const ShapeSumOrder order = in.solver == ShapeSolver::newton ? ShapeSumOrder::scaledBlocks
                                                                 : ShapeSumOrder::storageOrder;
    ShapeProblem problem = makeShapeProblem(sample, r.gamma, pool, order);
    SolveWatch watch;
    const SolveOutcome solved = solveShape(in, problem, frontEnd, clock, watch);
    outcome.ending = solved.ending;
    r.m = solved.m;
    r.t0 = scaleFromShape(problem, r.m);
    // A resting point that is not a finite positive m (a start far beyond the
    // root can end on NaN) has no root to compare with.
    if (in.measureRootGap && in.solver == ShapeSolver::damped && solved.ending == SolveEnding::fixedPoint && r.m > 0 &&
        std::isfinite(r.m) && std::isfinite(r.t0)) {
        outcome.rootGap = rootGapFrom(problem, r.m, r.t0);
    }
    double eta = std::numeric_limits<double>::quiet_NaN();  // NaN: from t0
    if (order == ShapeSumOrder::scaledBlocks && !scaleInRange(r.t0)) {
        // t0 = eta^m has left the range of a double; eta has not.
        eta = scaleParameter(problem, r.m);
        r.t0 = portablePow(eta, r.m);
        r = computeStatistics(r, eta);
    } else {
        r = computeStatistics(r);
    }
    if (solved.ending != SolveEnding::stopped) {
        outcome.invalidCause = invalidFitCause(r, problem, watch, outcome.invalidBySums);
        if (in.shapeMethod != ShapeMethod::mle) applyRankRegression(in, outcome);
    }
    showResults(r, frontEnd);
    if (in.fitQuality) formQuality(in, outcome, eta, problem.table, ordinates);
    boundLocation(outcome, in.confidence);
    if (in.compare) {
        DistributionComparison comparison = compareDistributions(sample, r.gamma, pool, clock.control());
        outcome.comparison = std::move(comparison.fits);
        outcome.comparisonStopped = comparison.stopped;
    }
    outcome.timedOut = runStopped(outcome) && clock.timedOut();
    return outcome;
}
