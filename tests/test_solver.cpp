// integerPower, both shape iterations on synthetic equations (every way they
// end), and the likelihood fit on samples drawn from known parameters.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/pass_pool.h"
#include "engine/solver.h"
#include "tests/test_support.h"

namespace {

// Threads for the likelihood passes, shared by the tests of this file.
PassPool pool;
const double nan = std::numeric_limits<double>::quiet_NaN();

TEST(IntegerPower, Table) {
    const double x = 1.1;
    const struct {
        double base;
        std::int32_t k;
        double expected;
    } rows[] = {
        {2, 0, 1},
        {nan, 0, 1},
        {inf, 0, 1},
        {2, 1, 2},
        {2, 10, 1024},
        {-3, 3, -27},
        {2, -2, 0.25},
        {0, -2, inf},
        {x, 2, x * x},
        {x, 3, x * (x * x)},
        {x, 4, (x * x) * (x * x)},
        {x, -2, 1 / (x * x)},
        {2, INT32_MIN, 0},
        {-1, INT32_MAX, -1},
    };
    for (const auto& row : rows) EXPECT_EQ(integerPower(row.base, row.k), row.expected) << row.base << "^" << row.k;
}

// What one solve did: calls, the stop flag, the monitor.
struct Trace {
    int equationCalls = 0, slopeCalls = 0, stopAtCall = -1;  // stopAtCall: set the stop flag during that call
    std::uint32_t tick = 0, tickStep = 0;
    std::vector<double> shownM;
    std::atomic<int> stopFlag{0};
};
Trace* trace = nullptr;

std::uint32_t readTick() { return (trace->tick += trace->tickStep) - trace->tickStep; }

void showPoint(std::uint64_t, double m, double) { trace->shownM.push_back(m); }

using Fn = double (*)(double);

struct SolveRow {
    const char* name;
    double m0;
    Fn equation, slope;
    bool stopAtFixedPoint;
    int stopAtCall;
    double expectedM;  // NaN: a value that is not a number
    SolveEnding ending;
    int equationCalls, slopeCalls;  // -1: not checked
};

SolveOutcome solve(const SolveRow& row, Trace& t, bool newton) {
    trace = &t;
    t.stopAtCall = row.stopAtCall;
    const SolveControl control{&t.stopFlag, row.stopAtFixedPoint, readTick, showPoint, nullptr};
    Fn eq = row.equation, sl = row.slope;
    auto equation = [eq](double m) {
        if (++trace->equationCalls == trace->stopAtCall) trace->stopFlag.store(1);
        return eq(m);
    };
    auto slope = [sl](double m) { return ++trace->slopeCalls, sl(m); };
    return newton ? bracketedNewton(row.m0, equation, slope, control) : dampedNewton(row.m0, equation, slope, control);
}

void expectRow(const SolveRow& row, const SolveOutcome& out, const Trace& t) {
    EXPECT_TRUE(out.m == row.expectedM || (std::isnan(out.m) && std::isnan(row.expectedM))) << row.name;
    EXPECT_EQ(out.ending, row.ending) << row.name;
    EXPECT_TRUE(row.equationCalls < 0 || t.equationCalls == row.equationCalls) << row.name << ": " << t.equationCalls;
    EXPECT_TRUE(row.slopeCalls < 0 || t.slopeCalls == row.slopeCalls) << row.name << ": " << t.slopeCalls;
}

double threeMinusM(double m) { return 3 - m; }
double mMinusFive(double m) { return m - 5; }
double onePlusSquare(double m) { return 1 + m * m; }
double reciprocal(double m) { return 1 / m; }
double alwaysNan(double) { return nan; }
double rootAtBound(double m) { return 1e154 - m; }
double minusOne(double) { return -1; }
double negativeZero(double) { return -0.0; }
double one(double) { return 1; }
double huge(double) { return 1e300; }
double slopeOfReciprocal(double m) { return -1 / (m * m); }

TEST(DampedNewton, EveryEnding) {
    const SolveRow rows[] = {
        {"root at the start: no slope", 3, threeMinusM, minusOne, false, -1, 3, SolveEnding::rootFound, 1, 0},
        {"full step onto the root", 1, threeMinusM, minusOne, false, -1, 3, SolveEnding::rootFound, 2, 1},
        {"slope -0 steps by g", 2, mMinusFive, negativeZero, false, -1, 5, SolveEnding::rootFound, 2, 1},
        // 1 + m^2 has no root; from 0 every trial is refused. Stop during
        // the tenth call: the step's 64 trials still run, and the last
        // trial point 0 - 1/2^63 is returned.
        {"stop ends at the next step", 0, onePlusSquare, one, false, 10, -std::ldexp(1.0, -63), SolveEnding::stopped,
         65, 1},
        {"stop before the first step", 0.7, onePlusSquare, one, false, 1, 0.7, SolveEnding::stopped, 1, 0},
        // A huge slope makes every step vanish against m = 1.
        {"fixed point without the test", 1, onePlusSquare, huge, false, 1000, 1, SolveEnding::stopped, -1, -1},
        {"fixed point with the test", 1, onePlusSquare, huge, true, -1, 1, SolveEnding::fixedPoint, 65, 1},
        // g = 1/m with its true slope doubles m: 2^512 is the first power of
        // two above 1e154.
        {"bound", 1, reciprocal, slopeOfReciprocal, false, -1, std::ldexp(1.0, 512), SolveEnding::bound, -1, -1},
        {"exactly 1e154 goes on", 0, rootAtBound, minusOne, false, -1, 1e154, SolveEnding::rootFound, 2, 1},
        {"not a number until Stop", 1, alwaysNan, one, false, 300, nan, SolveEnding::stopped, -1, -1},
        // The first step moves m from 1 to a NaN, the second leaves it there.
        {"not a number is a fixed point", 1, alwaysNan, one, true, -1, nan, SolveEnding::fixedPoint, 129, 2},
    };
    for (const SolveRow& row : rows) {
        Trace t;
        t.tickStep = 100;
        expectRow(row, solve(row, t, false), t);
        // A tick that advances 100 ms per read: the monitor (every 500 ms)
        // shows every fifth of the 64 trials of the first step, the first
        // one trial k = 4: 0 - 1/2^4.
        if (row.stopAtCall != 10) continue;
        ASSERT_EQ(t.shownM.size(), 64u / 5u);
        EXPECT_EQ(t.shownM.front(), -1.0 / 16);
    }
}

double cubeRoot(double m) { return 2 - m * m * m; }  // root 2^(1/3)
double cubeRootSlope(double m) { return -3 * m * m; }
double flatBeyondOne(double m) { return m < 1 ? 1 - m : 1e-300 * (1 - m); }
double flatSlope(double) { return 1e-300; }  // a wrong sign: Newton points leave the bracket
double overflowAbove10(double m) { return m > 10 ? nan : 4 - m; }
double positiveUpTo10(double m) { return m > 10 ? nan : 1; }  // no root: overflow beyond 10

TEST(BracketedNewton, EveryEnding) {
    const double root = std::cbrt(2.0);
    const SolveRow rows[] = {
        {"root at the start", 3, threeMinusM, minusOne, false, -1, 3, SolveEnding::rootFound, 1, 0},
        {"rising: no low side above 0", 4, mMinusFive, one, false, -1, std::numeric_limits<double>::denorm_min(),
         SolveEnding::bound, -1, -1},
        {"cube root from below", 0.1, cubeRoot, cubeRootSlope, false, -1, root, SolveEnding::converged, -1, -1},
        {"cube root from above", 50, cubeRoot, cubeRootSlope, false, -1, root, SolveEnding::converged, -1, -1},
        {"bad derivative: bisection", 0.25, flatBeyondOne, flatSlope, false, -1, 1, SolveEnding::rootFound, -1, -1},
        {"not a number is the high side", 30, overflowAbove10, minusOne, false, -1, 4, SolveEnding::rootFound, -1, -1},
        {"a not-a-number edge is no root", 1, positiveUpTo10, minusOne, false, -1, 10, SolveEnding::bound, -1, -1},
        {"no root below the bound", 1, reciprocal, slopeOfReciprocal, false, -1, std::ldexp(1.0, 511),
         SolveEnding::bound, -1, -1},
        {"stop", 1, cubeRoot, cubeRootSlope, false, 1, 1, SolveEnding::stopped, 1, 0},
    };
    for (const SolveRow& row : rows) {
        Trace t;
        const SolveOutcome out = solve(row, t, true);
        if (row.ending == SolveEnding::converged) {
            // The root to within a unit in the last place.
            EXPECT_LE(std::fabs(out.m - row.expectedM), std::fabs(std::nextafter(root, 2.0) - root)) << row.name;
            EXPECT_TRUE((out.ending == SolveEnding::converged || out.ending == SolveEnding::rootFound) &&
                        t.equationCalls < 60)
                << row.name << ": " << t.equationCalls;
            continue;
        }
        expectRow(row, out, t);
    }
}

// Also g' against central differences of g, and the damped slope strictly
// steeper than g' (so that a step never exceeds Newton's).
TEST(LikelihoodFit, BothSolversRecoverKnownParameters) {
    const struct {
        double m, scale, gamma, initialM;
    } rows[] = {
        {2.5, 1000, 100, 1}, {0.8, 50, 0, 1}, {1.0, 7, 3, 2}, {6.0, 200, 40, 1}, {3.3, 1e-3, 0, 10},
    };
    for (const auto& row : rows) {
        const std::vector<double> t = weibullQuantiles(600, row.m, row.scale, row.gamma);
        const ShapeProblem p = makeShapeProblem(makeSample(t), row.gamma, pool);
        auto eq = [&p](double m) { return likelihoodEquation(p, m); };
        const SolveOutcome damped = fitFrom(p, row.initialM, false), newton = fitFrom(p, row.initialM);
        EXPECT_NEAR(damped.m / row.m, 1.0, 0.01) << "m " << row.m;
        EXPECT_NEAR(std::pow(scaleFromShape(p, damped.m), 1 / damped.m) / row.scale, 1.0, 0.01) << "m " << row.m;
        // Near the root rounding noise in g often refuses every trial: the
        // damped iteration then rests on a fixed point instead of converging.
        EXPECT_TRUE(damped.ending == SolveEnding::converged || damped.ending == SolveEnding::fixedPoint);
        // The same root to the printed nine digits; Newton's lies at least as
        // close (the damped iteration may rest on a fixed point a little off it).
        EXPECT_NEAR(newton.m, damped.m, 1e-9 * damped.m) << "m " << row.m;
        EXPECT_LE(std::fabs(eq(newton.m)), std::max(std::fabs(eq(damped.m)), 1e-11)) << "m " << row.m;
        const double m = 0.7 * row.m, h = 1e-6 * m, derivative = likelihoodDerivative(p, m);
        EXPECT_NEAR(derivative / ((eq(m + h) - eq(m - h)) / (2 * h)), 1.0, 1e-6) << "m " << row.m;
        EXPECT_LT(likelihoodSlope(p, m), derivative * (1 - 1e-6)) << "m " << row.m;
    }
}

TEST(LikelihoodFit, CensoredAgainstADirectMaximisation) {
    // Remission times in weeks, 6-MP group (Freireich et al. 1963, as
    // tabulated by Gehan 1965): 9 relapses, 12 censored. And the same with
    // ties between a failure and a suspension at the end.
    const std::vector<double> t = {6, 6, 6, 6, 7, 9, 10, 10, 11, 13, 16, 17, 19, 20, 22, 23, 25, 32, 32, 34, 35};
    const std::vector<std::uint8_t> s = {0, 0, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1};
    for (const double gamma : {0.0, 3.5}) {
        const ShapeProblem p = makeShapeProblem(makeSample(t, s), gamma, pool);
        const double m = fitFrom(p, 1).m, damped = fitFrom(p, 1, false).m;
        const double t0 = scaleFromShape(p, m);
        // The independent maximum: the two-parameter likelihood of t - gamma.
        std::vector<double> shifted = t;
        for (double& x : shifted) x -= gamma;
        double direct[2] = {};  // m, t0
        directMaximum(Distribution::weibull2, makeSample(shifted, s), direct);
        EXPECT_NEAR(m / direct[0], 1, 1e-6) << gamma;  // relative, limited by the golden sections
        EXPECT_NEAR(std::log(t0) / std::log(direct[1]), 1, 1e-6) << gamma;
        EXPECT_NEAR(damped / m, 1, 1e-9) << gamma;
    }
    // Without suspensions the censored sums are the plain ones, to the bit.
    const double plain = likelihoodEquation(makeShapeProblem(makeSample(t), 1, pool), 1.7);
    EXPECT_EQ(likelihoodEquation(makeShapeProblem(makeSample(t, std::vector<std::uint8_t>(t.size(), 0)), 1, pool), 1.7),
              plain);
}

// Large shapes: x^m overflows once m passes about 51 for times near 10^6,
// 43 for 3e8. Newton's scaled sums give one root in every unit; the damped
// iteration keeps its storage-order sums and is held at the edge of the
// range, which heldByOverflow tells.
TEST(LikelihoodFit, LargeShapesInEveryUnit) {
    const std::vector<double> five = {0.99, 1, 1.01, 1.005, 0.995};
    const std::vector<double> strengths = weibullQuantiles(20, 43.114, 300, 0);  // MPa
    const struct {
        const char* name;
        const std::vector<double>& t;
        double root;
        bool underflowsInMicro;
    } rows[] = {
        {"five near 1", five, 158.182051083, true},  // the root to 12 digits
        {"twenty strengths", strengths, 0, false},   // 0: Newton's root in the unit 1
    };
    for (const auto& row : rows) {
        double reference = row.root, etaReference = 0;
        for (const double unit : {1.0, 1e6, 1e-6}) {
            std::vector<double> t = row.t;
            for (double& x : t) x *= unit;
            const Sample sample = makeSample(t);
            const ShapeProblem scaled = makeShapeProblem(sample, 0, pool, ShapeSumOrder::scaledBlocks);
            const SolveOutcome newton = fitFrom(scaled, 1);
            const ShapeProblem plain = makeShapeProblem(sample, 0, pool);
            const double damped = fitFrom(plain, 1, false).m;
            if (reference == 0) reference = newton.m;
            // eta = t0^(1/m) from the scaled sums, in the unit of the times.
            const double eta = scaleParameter(scaled, newton.m) / unit;
            if (unit == 1) etaReference = std::pow(scaleFromShape(plain, newton.m), 1 / newton.m);
            EXPECT_TRUE(newton.ending == SolveEnding::converged || newton.ending == SolveEnding::rootFound)
                << row.name << " unit " << unit;
            EXPECT_NEAR(newton.m / reference, 1, 1e-11) << row.name << " unit " << unit;
            EXPECT_NEAR(eta / etaReference, 1, 1e-12) << row.name << " unit " << unit;
            // In the unit 1 the damped iteration rests near the root (on a fixed point, 4e-9 off for
            // the strengths); elsewhere its sums leave the range.
            const bool outOfRange = unit == 1e6 || (unit == 1e-6 && row.underflowsInMicro);
            EXPECT_EQ(heldByOverflow(plain, damped), outOfRange) << row.name << " unit " << unit << " m " << damped;
            EXPECT_TRUE(unit != 1 || std::fabs(damped / reference - 1) < 1e-8) << row.name;
        }
    }
}

}  // namespace
