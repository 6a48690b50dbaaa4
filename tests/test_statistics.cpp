// The Gamma function and the distribution statistics.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/statistics.h"

namespace {

const double sqrtPi = 1.7724538509055160273, pi = 3.141592653589793, ln2 = 0.6931471805599453;

// |value - expected| in units of the last place of expected.
double ulpError(double value, double expected) {
    const double e = std::fabs(expected);
    return std::fabs(value - expected) / (std::nextafter(e, std::numeric_limits<double>::infinity()) - e);
}

TEST(GammaFunction, ReflectionAndEdges) {
    // Measured: at most 13 units in the last place.
    EXPECT_LE(ulpError(gammaFunction(-0.5), -2 * sqrtPi), 16);
    EXPECT_LE(ulpError(gammaFunction(-1.5), 4 * sqrtPi / 3), 16);
    EXPECT_EQ(gammaFunction(0), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(gammaFunction(std::nan(""))));
    // At negative integers sin(pi x) is not exactly 0: large, finite.
    for (double x : {-1.0, -2.0, -3.0}) {
        const double g = gammaFunction(x);
        EXPECT_TRUE(std::isfinite(g) && std::fabs(g) > 1e13) << x << ": " << g;
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

// Shapes with closed forms: exponential (m = 1, no mode: tm is 0, not
// gamma), Rayleigh (m = 2), and m = 1/2 (Gamma(3) = 2, Gamma(5) = 24).
TEST(Statistics, ClosedForms) {
    const struct {
        double m, t0, gamma, mu, sigma2, xi, tm;
    } rows[] = {
        {1, 3, 5, 8, 9, 3 * ln2 + 5, 0},
        {1, 1e4, 5, 1e4 + 5, 1e8, 1e4 * ln2 + 5, 0},
        {2, 3, 1.5, std::sqrt(3 * pi) / 2 + 1.5, 3 * (1 - pi / 4), std::sqrt(3 * ln2) + 1.5, std::sqrt(1.5) + 1.5},
        {2, 0.5, 1.5, std::sqrt(0.5 * pi) / 2 + 1.5, 0.5 * (1 - pi / 4), std::sqrt(0.5 * ln2) + 1.5, 2},
        {0.5, 10, 7, 207, 200000, 7 + 100 * ln2 * ln2, 0},
    };
    for (const auto& row : rows) {
        const FitResult r = computeStatistics({row.m, row.t0, row.gamma, 0, 0, 0, 0});
        const double got[] = {r.mu, r.sigma2, r.xi, r.tm}, expected[] = {row.mu, row.sigma2, row.xi, row.tm};
        for (int k = 0; k < 4; ++k) {
            EXPECT_LE(std::fabs(got[k] - expected[k]), 1e-13 * std::fabs(expected[k]))
                << "m " << row.m << " t0 " << row.t0 << " figure " << k << ": " << got[k] << " vs " << expected[k];
        }
    }
}

}  // namespace
