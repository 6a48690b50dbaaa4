// Shape and scale by maximum likelihood for a fixed location gamma.
//
// With x_i = t_i - gamma > 0 the likelihood is largest, for a given m, at
// t0 = (1/n) sum x_i^m; putting that back leaves one equation in m:
//     g(m) = n/m + L - n S1/S0,
//     L = sum ln x_i, S0 = sum x_i^m, S1 = sum x_i^m ln x_i, S2 = sum x_i^m (ln x_i)^2.
// Every sum runs over the points in storage order, starting at 0; x^m and
// ln x come from the engine's own kernels and every square goes through
// integerPower (plain products), so the same data give the same bits on
// every platform.
#include "engine/solver.h"

#include <cmath>
#include <cstring>

#include "datafiles/number_format.h"
#include "engine/analysis_state.h"
#include "engine/front_end.h"
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

struct PowerSums {
    double L = 0;   // sum ln x_i
    double S0 = 0;  // sum x_i^m
    double S1 = 0;  // sum x_i^m ln x_i
    double S2 = 0;  // sum x_i^m (ln x_i)^2
};

PowerSums accumulate(double m) {
    PowerSums s;
    const Sample& sample = analysisState.sample;
    const double gamma = analysisState.result.gamma;
    for (std::uint32_t i = 0; i < sample.n; ++i) {
        const double x = sample.t[i] - gamma;
        double lnX = 0;
        const double xm = portablePowAndLog(x, m, lnX);  // x^m and ln x from one logarithm
        s.L += lnX;
        s.S0 += xm;
        s.S1 += xm * lnX;
        s.S2 += xm * integerPower(lnX, 2);
    }
    return s;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void refreshMonitor(double m, double g) {
    char text[numberTextSize];
    formatScreenNumber(m, text);
    showMonitorText(monitorM, text);
    formatScreenNumber(g, text);
    showMonitorText(monitorG, text);
}

}  // namespace

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

double likelihoodEquation(double m) {
    const double n = static_cast<double>(analysisState.sample.n);
    const double A = n / m;
    const PowerSums s = accumulate(m);
    return (A + s.L) - (n * s.S1) / s.S0;
}

double likelihoodSlope(double m) {
    // Not g'(m): the last term lacks the factor n, which makes the divisor
    // steeper and each step at most a full Newton step. Only step lengths
    // depend on it, never the root.
    const double n = static_cast<double>(analysisState.sample.n);
    const PowerSums s = accumulate(m);
    const double a = -n / (m * m);
    const double b = (-n * s.S2) / s.S0;
    const double c = integerPower(s.S1 / s.S0, 2);
    return (a + b) + c;
}

double scaleFromShape(double m) {
    const double n = static_cast<double>(analysisState.sample.n);
    return accumulate(m).S0 / n;
}

// Damped Newton iteration for equation(m) = 0.
//
// Each outer step tries m - step, halving the step until |g| falls (at most
// 64 trials). It returns the current m when g is exactly 0, when the stop
// flag is set (both tested only at the start of an outer step), when a first
// trial is accepted with |m - mOld| < |mOld| 1.6e-15, or when |m| > 1e154.
// There is no step limit: at the limit of double precision the iteration can
// settle on a point that it never leaves, and then only Stop ends it. With
// analysisState.stopAtFixedPoint set, such a point (an outer step that leaves
// m and g bit for bit unchanged, so every later step would too) ends it as well.
// A not-a-number g never compares, so it neither ends nor is accepted.
// The trial point is offered to the monitor at most every 500 ms.
double dampedNewton(double m0, double (*equation)(double), double (*slope)(double)) {
    std::uint32_t lastRefresh = readTickCount();
    double m = m0;
    double g = equation(m);
    for (;;) {
        if (g == 0) {
            analysisState.solveEnding = SolveEnding::rootFound;
            return m;
        }
        if (analysisState.stopFlag.load(std::memory_order_relaxed) == 1) {
            analysisState.solveEnding = SolveEnding::stopped;
            return m;
        }
        double d = slope(m);
        if (d == 0) d = 1;
        double step = g / d;
        const double mOld = m;
        const double gOld = g;
        int k = 0;
        for (; k < maxTrials; ++k) {
            m = mOld - step;
            g = equation(m);
            const std::uint32_t now = readTickCount();
            if (now >= static_cast<std::uint32_t>(lastRefresh + monitorInterval)) {
                lastRefresh = now;
                refreshMonitor(m, g);
            }
            if (std::fabs(g) < std::fabs(gOld)) break;
            step = step / 2;
        }
        if (k == 0 && std::fabs(m - mOld) < std::fabs(mOld * convergenceFactor)) {
            analysisState.solveEnding = SolveEnding::converged;
            return m;
        }
        if (std::fabs(m) > shapeBound) {
            analysisState.solveEnding = SolveEnding::bound;
            return m;
        }
        if (analysisState.stopAtFixedPoint == 1 && sameBits(m, mOld) && sameBits(g, gOld)) {
            analysisState.solveEnding = SolveEnding::fixedPoint;
            return m;
        }
    }
}
