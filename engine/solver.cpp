// Shape and scale by maximum likelihood for a fixed location gamma.
//
// With x_i = t_i - gamma > 0 the likelihood is largest, for a given m, at
// t0 = (1/n) sum x_i^m; putting that back leaves one equation in m:
//     g(m) = n/m + L - n S1/S0,
//     L = sum ln x_i, S0 = sum x_i^m, S1 = sum x_i^m ln x_i, S2 = sum x_i^m (ln x_i)^2.
// Every sum runs over the points in storage order, starting at 0 (Newton's
// method instead sums u = x / x_max in fixed blocks: ShapeSumOrder); x^m and
// ln x come from the engine's own kernels and every square goes through
// integerPower (plain products), so the same data give the same bits on
// every platform. L does not depend on m and is summed once.
#include "engine/solver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/double_double.h"
#include "engine/portable_math.h"

namespace {

// The iteration ends when an accepted full step moves m by less than this
// multiple of |m|: about seven units in the last place of a double.
constexpr double convergenceFactor = 1.6e-15;

// Beyond this |m| the powers x^m have long left the range of a double.
constexpr double shapeBound = 1e154;

// Step halvings tried before the iteration moves on regardless.
constexpr int maxTrials = 64;

// Shortest interval between two monitor refreshes, in milliseconds.
constexpr std::uint32_t monitorInterval = 500;

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Offers the current trial point to the monitor at most every 500 ms.
struct Monitor {
    const SolveControl& control;
    std::uint32_t lastRefresh;

    explicit Monitor(const SolveControl& c) : control(c), lastRefresh(c.readTick ? c.readTick() : 0u) {}

    void offer(std::uint64_t outerStep, double m, double g) {
        if (!control.readTick) return;
        const std::uint32_t now = control.readTick();
        if (now >= static_cast<std::uint32_t>(lastRefresh + monitorInterval)) {
            lastRefresh = now;
            if (control.showPoint) control.showPoint(outerStep, m, g);
        }
    }
};

}  // namespace

bool stopRequested(const SolveControl& control) {
    if (control.stopFlag != nullptr && control.stopFlag->load(std::memory_order_relaxed) == 1) return true;
    return control.timeUp && control.timeUp();
}

double integerPower(double x, std::int32_t k) {
    // |k| as unsigned: well defined for INT32_MIN as well.
    std::uint32_t N = k < 0 ? 0u - static_cast<std::uint32_t>(k) : static_cast<std::uint32_t>(k);
    double Z = 1;
    for (;;) {
        if (N & 1u) Z = Z * x;
        N >>= 1;
        if (N == 0) return k < 0 ? 1 / Z : Z;
        x = x * x;
    }
}

ShapeProblem makeShapeProblem(const Sample& sample, double gamma, PassPool& pool, ShapeSumOrder order) {
    ShapeProblem problem;
    problem.pool = &pool;
    const std::uint8_t* suspended = sample.suspended.empty() ? nullptr : sample.suspended.data();
    problem.table = prepareShapeTable(sample.times.data(), sample.times.size(), gamma, suspended, pool);
    problem.count = static_cast<double>(sample.failures);
    problem.order = order;
    problem.scaledL = problem.table.L;
    if (order == ShapeSumOrder::scaledBlocks && !sample.times.empty()) {
        // The largest time: the last of a sorted sample, found by a scan otherwise.
        const auto largest = std::max_element(sample.times.begin(), sample.times.end()) - sample.times.begin();
        const double x = sample.times[static_cast<std::size_t>(largest)] - gamma;
        const DD logX = {problem.table.logHi[static_cast<std::size_t>(largest)],
                         problem.table.logLo[static_cast<std::size_t>(largest)]};
        if (std::isfinite(x) && std::isfinite(logX.hi)) {
            problem.maxX = x;
            problem.logMaxX = {logX.hi, logX.lo};
            problem.scaledL = dd::add(DD{problem.table.L, 0.0}, dd::negate(dd::multiply(logX, problem.count))).hi;
        }
    }
    return problem;
}

ShapeSums shapeSums(const ShapeProblem& problem, double m) {
    if (problem.hasLast && sameBits(problem.lastM, m)) return problem.lastSums;
    problem.lastSums = problem.order == ShapeSumOrder::scaledBlocks
                           ? blockedShapeSums(problem.table, m, problem.logMaxX, *problem.pool)
                           : shapeSums(problem.table, m, *problem.pool);
    problem.lastM = m;
    problem.hasLast = true;
    return problem.lastSums;
}

bool sumsInRange(const ShapeSums& sums) {
    return std::isfinite(sums.S0) && std::isfinite(sums.S1) && std::isfinite(sums.S2) &&
           sums.S0 >= std::numeric_limits<double>::min();
}

bool heldByOverflow(const ShapeProblem& problem, double m) {
    if (!sumsInRange(shapeSums(problem, m))) return true;
    const double g = likelihoodEquation(problem, m);
    const double slope = likelihoodSlope(problem, m);  // -inf once n S2 overflows: every step is 0
    if (!std::isfinite(g) || !std::isfinite(slope)) return true;
    return !sumsInRange(shapeSums(problem, m - g / slope));
}

double likelihoodEquation(const ShapeProblem& problem, double m) {
    const double n = problem.count;
    const double A = n / m;
    const ShapeSums s = shapeSums(problem, m);
    return (A + problem.scaledL) - (n * s.S1) / s.S0;
}

double likelihoodSlope(const ShapeProblem& problem, double m) {
    // Not g'(m): the last term lacks the factor n, which makes the divisor
    // steeper and each step at most a full Newton step. Only step lengths
    // depend on it, never the root.
    const double n = problem.count;
    const ShapeSums s = shapeSums(problem, m);
    const double a = -n / (m * m);
    const double b = (-n * s.S2) / s.S0;
    const double c = integerPower(s.S1 / s.S0, 2);
    return (a + b) + c;
}

double likelihoodDerivative(const ShapeProblem& problem, double m) {
    const double n = problem.count;
    const ShapeSums s = shapeSums(problem, m);
    const double variance = s.S2 / s.S0 - integerPower(s.S1 / s.S0, 2);
    return -n / (m * m) - n * variance;
}

double scaleFromShape(const ShapeProblem& problem, double m) {
    const double t0 = shapeSums(problem, m).S0 / problem.count;
    if (problem.order == ShapeSumOrder::storageOrder) return t0;
    return t0 * portablePow(problem.maxX, m);
}

double scaleParameter(const ShapeProblem& problem, double m) {
    return problem.maxX * portablePow(shapeSums(problem, m).S0 / problem.count, 1 / m);
}

bool scaleInRange(double t0) {
    return t0 >= std::numeric_limits<double>::min() && t0 <= std::numeric_limits<double>::max();
}

// Damped Newton iteration for equation(m) = 0.
//
// Each outer step tries m - step, halving the step until |g| falls (at most
// 64 trials). It returns the current m when g is exactly 0, when the stop
// flag is set (both tested only at the start of an outer step), when a first
// trial is accepted with |m - mOld| < |mOld| 1.6e-15, or when |m| > 1e154.
// There is no step limit: at the limit of double precision the iteration can
// settle on a point that it never leaves, and without stopAtFixedPoint only
// Stop ends it. With it, such a point (an outer step that leaves m and g bit
// for bit unchanged, so every later step would too) ends it as well; a
// not-a-number point whose bits repeat is such a point.
// A not-a-number g never compares, so it neither ends nor is accepted.
SolveOutcome dampedNewton(double m0, const ShapeFunction& equation, const ShapeFunction& slope,
                          const SolveControl& control) {
    Monitor monitor(control);
    double m = m0;
    double g = equation(m);
    for (std::uint64_t outerStep = 1;; ++outerStep) {
        if (g == 0) return {m, SolveEnding::rootFound};
        if (stopRequested(control)) return {m, SolveEnding::stopped};
        double d = slope(m);
        if (d == 0) d = 1;
        double step = g / d;
        const double mOld = m;
        const double gOld = g;
        int k = 0;
        for (; k < maxTrials; ++k) {
            m = mOld - step;
            g = equation(m);
            monitor.offer(outerStep, m, g);
            if (std::fabs(g) < std::fabs(gOld)) break;
            step = step / 2;
        }
        if (k == 0 && std::fabs(m - mOld) < std::fabs(mOld * convergenceFactor)) {
            return {m, SolveEnding::converged};
        }
        if (std::fabs(m) > shapeBound) return {m, SolveEnding::bound};
        if (control.stopAtFixedPoint && sameBits(m, mOld) && sameBits(g, gOld)) {
            return {m, SolveEnding::fixedPoint};
        }
    }
}

// Newton's method inside a bracket, for a strictly decreasing equation.
//
// The bracket [lo, hi] holds g(lo) > 0 > g(hi): from m0 the other end is
// found by doubling m (g falls) or halving it (g rises; n/m grows without
// bound as m -> 0). A value of g that is not a number (x^m overflowing at a
// large m) counts as the high side. Each step takes the Newton point
// m - g/g'(m) when it falls strictly inside the bracket, and the bracket's
// midpoint otherwise, then narrows the bracket with the sign of g there.
// Ends: g exactly 0 (rootFound); a step no longer than one unit in the last
// place of m to a point with a finite g, or a bracket of two adjacent
// doubles with finite values of g, returning the end with the smaller |g|
// (converged); the stop flag at the start of a step (stopped); no high side
// below 1e154, no low side above 0 for an equation that breaks the
// contract, or a bracket of two adjacent doubles whose high end's g is not
// a number, so that no root lies between them (bound, returning the end
// found, or the low end).
SolveOutcome bracketedNewton(double m0, const ShapeFunction& equation, const ShapeFunction& derivative,
                             const SolveControl& control) {
    Monitor monitor(control);
    double m = m0;
    double g = equation(m);
    double lo = 0, gLo = std::numeric_limits<double>::infinity();
    double hi = std::numeric_limits<double>::infinity(), gHi = std::numeric_limits<double>::quiet_NaN();
    auto narrow = [&](double at, double gAt) {
        if (gAt > 0) {
            lo = at;
            gLo = gAt;
        } else {
            hi = at;
            gHi = gAt;
        }
    };
    narrow(m, g);
    std::uint64_t outerStep = 1;
    // Find the other end of the bracket.
    while (g != 0 && (lo == 0 || hi == std::numeric_limits<double>::infinity())) {
        if (stopRequested(control)) return {m, SolveEnding::stopped};
        m = lo == 0 ? hi / 2 : lo * 2;
        if (m > shapeBound) return {lo, SolveEnding::bound};
        if (m == 0) return {hi, SolveEnding::bound};
        g = equation(m);
        monitor.offer(outerStep++, m, g);
        narrow(m, g);
    }
    for (;; ++outerStep) {
        if (g == 0) return {m, SolveEnding::rootFound};
        if (std::nextafter(lo, hi) == hi) {
            if (std::isnan(gHi)) return {lo, SolveEnding::bound};
            const bool takeLo = !(std::fabs(gHi) < std::fabs(gLo));
            return {takeLo ? lo : hi, SolveEnding::converged};
        }
        if (stopRequested(control)) return {m, SolveEnding::stopped};
        const double d = derivative(m);
        double next = m - g / d;
        if (!(next > lo && next < hi)) next = lo + (hi - lo) / 2;
        const bool tiny = std::fabs(next - m) <= std::fabs(std::nextafter(m, hi) - m);
        m = next;
        g = equation(m);
        monitor.offer(outerStep, m, g);
        narrow(m, g);
        if (tiny && g != 0 && std::isfinite(g)) return {m, SolveEnding::converged};
    }
}
