// The Gamma function and the distribution statistics.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/statistics.h"

namespace {

const double sqrtPi = 1.7724538509055160273;

double relativeError(double value, double expected) { return std::fabs(value - expected) / std::fabs(expected); }

// |value - expected| in units of the last place of expected.
double ulpError(double value, double expected) {
    const double e = std::fabs(expected);
    return std::fabs(value - expected) / (std::nextafter(e, std::numeric_limits<double>::infinity()) - e);
}

TEST(GammaFunction, KnownValues) {
    // Measured: at most 13 units in the last place on these rows.
    const struct {
        double x, expected;
    } rows[] = {
        {1, 1}, {2, 1}, {3, 2}, {0.5, sqrtPi}, {5, 24}, {8, 5040} /* no shift from 8 on */, {10, 362880},
        {-0.5, -2 * sqrtPi}, {-1.5, 4 * sqrtPi / 3}, {1.5, sqrtPi / 2}, {2.5, 3 * sqrtPi / 4},
    };
    for (const auto& row : rows) EXPECT_LE(ulpError(gammaFunction(row.x), row.expected), 16) << "x " << row.x;
}

TEST(GammaFunction, Edges) {
    EXPECT_EQ(gammaFunction(0), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(gammaFunction(std::nan(""))));
    // At negative integers sin(pi x) is not exactly 0: large, finite.
    for (double x : {-1.0, -2.0, -3.0}) {
        const double g = gammaFunction(x);
        EXPECT_TRUE(std::isfinite(g)) << x;
        EXPECT_GT(std::fabs(g), 1e13) << x;
    }
}

TEST(GammaFunction, AccuracyOverTheRangeOfUse) {
    // In units of the last place, against the C library and against the
    // recurrence Gamma(x + 1) = x Gamma(x): measured at most 52 on [1, 3]
    // (the arguments 1 + 1/m, 1 + 2/m for m >= 1), 362 up to 60, 696 for the
    // recurrence; the bounds leave a little room and catch a loss of a few
    // bits.
    double worstNarrow = 0;
    double worstWide = 0;
    for (double x = 0.05; x <= 60; x += 0.0137) {
        const double error = ulpError(gammaFunction(x), std::tgamma(x));
        if (x >= 1 && x <= 3) worstNarrow = std::max(worstNarrow, error);
        worstWide = std::max(worstWide, error);
        EXPECT_LE(ulpError(gammaFunction(x + 1), x * gammaFunction(x)), 1024) << x;
    }
    EXPECT_LE(worstNarrow, 64);
    EXPECT_LE(worstWide, 512);
}

class Statistics : public ::testing::Test {
protected:
    FitResult result;
    const FitResult& fit(double m, double t0, double gamma) {
        FitResult in{};
        in.m = m;
        in.t0 = t0;
        in.gamma = gamma;
        result = computeStatistics(in);
        return result;
    }
};

TEST_F(Statistics, ExponentialCase) {
    for (double t0 : {0.5, 3.0, 1e4}) {
        const FitResult& r = fit(1, t0, 5);
        EXPECT_LT(relativeError(r.mu, t0 + 5), 1e-14) << t0;
        EXPECT_LT(relativeError(r.sigma2, t0 * t0), 1e-13) << t0;
        EXPECT_LT(relativeError(r.xi, t0 * std::log(2.0) + 5), 1e-14) << t0;
        EXPECT_EQ(r.tm, 0) << t0;  // zero, not gamma
    }
}

TEST_F(Statistics, RayleighCase) {
    const double pi = 3.141592653589793;
    for (double t0 : {0.5, 3.0, 1e4}) {
        const FitResult& r = fit(2, t0, 1.5);
        EXPECT_LT(relativeError(r.mu, std::sqrt(t0) * std::sqrt(pi) / 2 + 1.5), 1e-14) << t0;
        EXPECT_LT(relativeError(r.sigma2, t0 * (1 - pi / 4)), 1e-13) << t0;
        EXPECT_LT(relativeError(r.xi, std::sqrt(t0 * std::log(2.0)) + 1.5), 1e-14) << t0;
        EXPECT_LT(relativeError(r.tm, std::sqrt(t0 / 2) + 1.5), 1e-14) << t0;
    }
}

TEST_F(Statistics, ModeAtAndBelowOne) {
    EXPECT_EQ(fit(1, 10, 7).tm, 0);
    EXPECT_EQ(fit(0.5, 10, 7).tm, 0);
    const double justAbove = fit(1.0001, 10, 7).tm;
    EXPECT_GT(justAbove, 7);
    EXPECT_LT(justAbove, 7.01);
}

TEST_F(Statistics, MedianSplitsTheDistribution) {
    // F(xi) = 1/2 for any shape: (xi - gamma)^m / t0 = ln 2.
    for (double m : {0.7, 1.3, 3.0, 9.0}) {
        const FitResult& r = fit(m, 250, 12);
        EXPECT_NEAR(std::pow(r.xi - 12, m) / 250, std::log(2.0), 1e-12) << m;
        EXPECT_GT(r.sigma2, 0) << m;
    }
}

}  // namespace
