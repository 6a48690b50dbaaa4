// integerPower, the damped Newton iteration on synthetic equations (every way
// it ends), and the likelihood fit on samples drawn from known parameters.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "datafiles/number_format.h"
#include "engine/analysis_state.h"
#include "engine/solver.h"
#include "tests/recording_front_end.h"

namespace {

const double inf = std::numeric_limits<double>::infinity();

TEST(IntegerPower, Table) {
    const double x = 1.1;
    const struct {
        double base;
        std::int32_t k;
        double expected;
    } rows[] = {
        {2, 0, 1},        {0, 0, 1},        {inf, 0, 1},           {2, 1, 2},
        {2, 10, 1024},    {-3, 3, -27},     {2, -2, 0.25},         {0, -2, inf},
        {x, 2, x * x},    {x, 3, x * (x * x)}, {x, 4, (x * x) * (x * x)}, {x, -2, 1 / (x * x)},
        {2, INT32_MIN, 0}, {-1, INT32_MAX, -1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(integerPower(row.base, row.k), row.expected) << row.base << "^" << row.k;
    }
    EXPECT_EQ(integerPower(std::nan(""), 0), 1);
}

// Synthetic equations for dampedNewton: call counts and an optional Stop.
struct Probe {
    int equationCalls = 0;
    int slopeCalls = 0;
    int stopAtCall = -1;  // set the stop flag during this equation call
};
Probe probe;

void countCall() {
    if (++probe.equationCalls == probe.stopAtCall) analysisState.stopFlag.store(1);
}

double threeMinusM(double m) { countCall(); return 3 - m; }
double mMinusFive(double m) { countCall(); return m - 5; }
double onePlusSquare(double m) { countCall(); return 1 + m * m; }
double reciprocal(double m) { countCall(); return 1 / m; }
double alwaysNan(double) { countCall(); return std::nan(""); }
double rootAtBound(double m) { countCall(); return 1e154 - m; }

double slopeMinusOne(double) { ++probe.slopeCalls; return -1; }
double slopeNegativeZero(double) { ++probe.slopeCalls; return -0.0; }
double slopeOne(double) { ++probe.slopeCalls; return 1; }
double slopeHuge(double) { ++probe.slopeCalls; return 1e300; }
double slopeOfReciprocal(double m) { ++probe.slopeCalls; return -1 / (m * m); }

class DampedNewton : public ::testing::Test {
protected:
    void SetUp() override {
        resetAnalysisState();
        resetRecording();
        probe = Probe();
    }
};

TEST_F(DampedNewton, RootAtTheStartReturnsAtOnce) {
    EXPECT_EQ(dampedNewton(3, threeMinusM, slopeMinusOne), 3);
    EXPECT_EQ(probe.equationCalls, 1);
    EXPECT_EQ(probe.slopeCalls, 0);
    EXPECT_EQ(analysisState.solveEnding, SolveEnding::rootFound);
}

TEST_F(DampedNewton, FullStepOntoTheRoot) {
    EXPECT_EQ(dampedNewton(1, threeMinusM, slopeMinusOne), 3);
    EXPECT_EQ(probe.slopeCalls, 1);
}

TEST_F(DampedNewton, ZeroSlopeStepsByG) {
    // A slope of 0 (or -0) is replaced by 1, so the step is g itself.
    EXPECT_EQ(dampedNewton(2, mMinusFive, slopeNegativeZero), 5);
    EXPECT_EQ(probe.equationCalls, 2);
}

TEST_F(DampedNewton, StopEndsAtTheNextOuterStep) {
    // 1 + m^2 has no root; from m = 0 every trial is refused. Stop during the
    // tenth evaluation: the remaining trials of the step still run, and the
    // last trial point, 0 - 1/2^63, is returned.
    probe.stopAtCall = 10;
    const double m = dampedNewton(0, onePlusSquare, slopeOne);
    EXPECT_EQ(m, -std::ldexp(1.0, -63));
    EXPECT_EQ(probe.equationCalls, 1 + 64);
    EXPECT_EQ(probe.slopeCalls, 1);
    EXPECT_EQ(analysisState.solveEnding, SolveEnding::stopped);
}

TEST_F(DampedNewton, StopBeforeTheFirstStepReturnsTheStart) {
    analysisState.stopFlag.store(1);
    EXPECT_EQ(dampedNewton(0.7, onePlusSquare, slopeOne), 0.7);
    EXPECT_EQ(probe.slopeCalls, 0);
}

TEST_F(DampedNewton, FixedPointEndsOnlyWhenAsked) {
    // A huge slope makes every trial step vanish against m = 1: the point
    // never moves. Without the fixed-point test only Stop ends it.
    probe.stopAtCall = 1000;
    EXPECT_EQ(dampedNewton(1, onePlusSquare, slopeHuge), 1);
    EXPECT_GE(probe.equationCalls, 1000);
    EXPECT_EQ(analysisState.solveEnding, SolveEnding::stopped);

    probe = Probe();
    analysisState.stopFlag.store(0);
    analysisState.stopAtFixedPoint = 1;
    EXPECT_EQ(dampedNewton(1, onePlusSquare, slopeHuge), 1);
    EXPECT_EQ(probe.equationCalls, 1 + 64);
    EXPECT_EQ(analysisState.solveEnding, SolveEnding::fixedPoint);
}

TEST_F(DampedNewton, BoundOnTheShape) {
    // g = 1/m with its true slope doubles m at each step: the first power of
    // two above 1e154 is 2^512.
    EXPECT_EQ(dampedNewton(1, reciprocal, slopeOfReciprocal), std::ldexp(1.0, 512));
    EXPECT_EQ(analysisState.solveEnding, SolveEnding::bound);
    // Exactly 1e154 does not end it: a root there is found on the next step.
    EXPECT_EQ(dampedNewton(0, rootAtBound, slopeMinusOne), 1e154);
    EXPECT_EQ(analysisState.solveEnding, SolveEnding::rootFound);
}

TEST_F(DampedNewton, NotANumberRunsUntilStop) {
    probe.stopAtCall = 300;
    EXPECT_TRUE(std::isnan(dampedNewton(1, alwaysNan, slopeOne)));
    EXPECT_GE(probe.equationCalls, 300);
}

TEST_F(DampedNewton, MonitorShowsTrialPointsAtMostEvery500Ms) {
    // A tick that advances 100 ms per read: the monitor is written on every
    // fifth trial, m first and then g(m), in the result fields' format.
    recording.tickStep = 100;
    probe.stopAtCall = 40;
    dampedNewton(0, onePlusSquare, slopeOne);
    ASSERT_EQ(recording.monitorM.size(), recording.monitorG.size());
    EXPECT_EQ(recording.monitorM.size(), 64u / 5u);
    char expected[numberTextSize];
    formatScreenNumber(-1.0 / 16, expected);  // trial k = 4 of the first step: 0 - 1/2^4
    EXPECT_EQ(recording.monitorM.front(), expected);
    formatScreenNumber(1 + (1.0 / 16) * (1.0 / 16), expected);
    EXPECT_EQ(recording.monitorG.front(), expected);
}

TEST_F(DampedNewton, QuickSolveWritesNoMonitorText) {
    recording.tickStep = 0;
    dampedNewton(1, threeMinusM, slopeMinusOne);
    EXPECT_TRUE(recording.monitorM.empty());
    EXPECT_TRUE(recording.monitorG.empty());
}

// Weibull quantiles at (i - 0.5)/n: a sample "drawn" from known parameters
// without randomness, so the test is the same everywhere.
std::vector<double> weibullQuantiles(std::size_t n, double m, double t0, double gamma) {
    std::vector<double> t(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double F = (static_cast<double>(i) + 0.5) / static_cast<double>(n);
        t[i] = gamma + std::pow(-t0 * std::log(1 - F), 1 / m);
    }
    return t;
}

class LikelihoodFit : public ::testing::Test {
protected:
    void SetUp() override {
        resetAnalysisState();
        resetRecording();
    }
    void TearDown() override { resetAnalysisState(); }

    void hold(const std::vector<double>& t, double gamma) {
        holdSample(t);
        analysisState.result.gamma = gamma;
    }
};

TEST_F(LikelihoodFit, RecoversKnownParameters) {
    const struct {
        double m, scale, gamma, initialM;
    } rows[] = {
        {2.5, 1000, 100, 1}, {0.8, 50, 0, 1}, {1.0, 7, 3, 2}, {6.0, 200, 40, 1}, {3.3, 1e-3, 0, 10},
    };
    for (const auto& row : rows) {
        const double t0 = std::pow(row.scale, row.m);
        hold(weibullQuantiles(600, row.m, t0, row.gamma), row.gamma);
        analysisState.stopAtFixedPoint = 1;
        const double m = dampedNewton(row.initialM, likelihoodEquation, likelihoodSlope);
        EXPECT_NEAR(m / row.m, 1.0, 0.01) << "m " << row.m;
        EXPECT_NEAR(std::pow(scaleFromShape(m), 1 / m) / row.scale, 1.0, 0.01) << "m " << row.m;
        // Near the root rounding noise in g often refuses every trial: the
        // iteration then rests on a fixed point instead of converging.
        const SolveEnding ending = analysisState.solveEnding;
        EXPECT_TRUE(ending == SolveEnding::converged || ending == SolveEnding::fixedPoint) << "m " << row.m;
        // At the returned m the likelihood equation is zero to rounding.
        EXPECT_LT(std::fabs(likelihoodEquation(m)), 1e-9 * 600) << "m " << row.m;
    }
}

TEST_F(LikelihoodFit, SlopeIsSteeperThanTheDerivative) {
    hold(weibullQuantiles(50, 2, 400, 5), 5);
    for (double m : {0.5, 1.0, 2.0, 4.0}) {
        const double h = 1e-6 * m;
        const double derivative = (likelihoodEquation(m + h) - likelihoodEquation(m - h)) / (2 * h);
        const double slope = likelihoodSlope(m);
        EXPECT_LT(slope, 0) << m;
        EXPECT_LT(derivative, 0) << m;
        EXPECT_LE(slope, derivative * (1 - 1e-6)) << m;
    }
}

TEST_F(LikelihoodFit, ScaleIsTheMeanPower) {
    hold({1, 2, 3}, 0);
    EXPECT_DOUBLE_EQ(scaleFromShape(1), 2);
    EXPECT_DOUBLE_EQ(scaleFromShape(2), 14.0 / 3);
}

}  // namespace
