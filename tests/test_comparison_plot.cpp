// The comparison's small multiples, the gamma quantile, a stopped comparison.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <vector>

#include "engine/incomplete_gamma.h"
#include "engine/pass_pool.h"
#include "engine/probability_kernels.h"
#include "plot/comparison_plot.h"
#include "tests/test_support.h"

namespace {

DistributionFit fitOf(Distribution d, double p0, double p1 = 0, double p2 = 0) {
    DistributionFit fit;
    fit.distribution = d;
    fit.parameters[0] = p0, fit.parameters[1] = p1, fit.parameters[2] = p2;
    return fit;
}

// The family's quantile at F in closed form (gamma only at shape 1).
double quantile(const DistributionFit& fit, double F) {
    const double* p = fit.parameters;
    const double h = -std::log1p(-F);
    switch (fit.distribution) {
        case Distribution::weibull2: return std::pow(p[1] * h, 1 / p[0]);
        case Distribution::weibull3: return p[2] + std::pow(p[1] * h, 1 / p[0]);
        case Distribution::exponential: return p[0] * h;
        case Distribution::lognormal: return std::exp(p[0] + p[1] * normalQuantile(F));
        case Distribution::loglogistic: return std::exp(p[0] + p[1] * std::log(F / (1 - F)));
        case Distribution::normal: return p[0] + p[1] * normalQuantile(F);
        case Distribution::sev: return p[0] + p[1] * std::log(h);
        case Distribution::gamma: return p[1] * h;
    }
    return 0;
}

// Times at the quantiles of i/(n+1): every point on the drawn line, none off the paper.
TEST(ComparisonPlot, QuantilesLieOnTheFittedLine) {
    const DistributionFit rows[] = {
        fitOf(Distribution::weibull2, 1.7, 2500), fitOf(Distribution::weibull3, 2.5, 4e4, 150),
        fitOf(Distribution::exponential, 40),     fitOf(Distribution::lognormal, 3, 0.8),
        fitOf(Distribution::loglogistic, 3, 0.4), fitOf(Distribution::normal, 100, 15),
        fitOf(Distribution::sev, 500, 10),        fitOf(Distribution::gamma, 1, 20),
    };
    const std::uint32_t n = 30;
    for (const DistributionFit& fit : rows) {
        std::vector<double> times;
        for (std::uint32_t i = 1; i <= n; ++i) times.push_back(quantile(fit, rankMeanI(i, n)));
        const ComparisonPanel panel = buildComparisonPlotModel({"q", times, {}, 1, {&fit, 1}, true}).panels.at(0);
        ASSERT_TRUE(panel.hasFit) << distributionName(fit.distribution);
        EXPECT_EQ(panel.points.size(), n);
        const PlotPoint a = panel.fitStart, b = panel.fitEnd;
        for (const PlotPoint& p : panel.points) {
            EXPECT_NEAR(p.y, a.y + (b.y - a.y) * (p.x - a.x) / (b.x - a.x), 1e-9 * (panel.yMax - panel.yMin))
                << distributionName(fit.distribution) << " x = " << p.x;
        }
    }
}

// Units off a paper are counted, not drawn; no suspension is a point; a failed fit has no line.
TEST(ComparisonPlot, GapsAreCountedAndSuspensionsLeftOut) {
    const struct {
        DistributionFit fit;
        std::vector<double> times;
        std::vector<std::uint8_t> suspended;
        RankMethod rank;
        std::size_t points, skipped;
    } rows[] = {
        {fitOf(Distribution::lognormal, 1, 1), {-1, 0, 2, 3, 5}, {}, 1, 3, 2},
        {fitOf(Distribution::normal, 1, 1), {-1, 0, 2, 3, 5}, {}, 1, 5, 0},
        {fitOf(Distribution::weibull3, 2, 10, -2), {-3, -2, 3, 4, 5}, {}, 1, 3, 2},
        {fitOf(Distribution::weibull2, 2, 10), {1, 2, 3, 4, 5}, {}, 2, 3, 2},
        {fitOf(Distribution::sev, 3, 1), {1, 2, 3, 4, 5}, {0, 1, 0, 1, 0}, 1, 3, 0},
    };
    for (const auto& row : rows) {
        for (const bool failed : {false, true}) {
            DistributionFit fit = row.fit;
            fit.error = failed ? "no spread" : "";
            const ComparisonPanel panel =
                buildComparisonPlotModel({"g", row.times, row.suspended, row.rank, {&fit, 1}, true}).panels.at(0);
            EXPECT_EQ(panel.points.size(), row.points) << panel.caption;
            EXPECT_EQ(panel.skipped, row.skipped) << panel.caption;
            EXPECT_EQ(panel.hasFit, !failed) << panel.caption;
            EXPECT_NE(panel.caption.find(failed ? "no fit: no spread" : "AICc"), std::string::npos) << panel.caption;
        }
    }
}

TEST(ComparisonPlot, GammaQuantileInvertsP) {
    const double rows[][2] = {{0.5, 0.01}, {1, 0.5}, {3, 0.9}, {12, 0.001}, {0.2, 0.999}, {40, 0.5}};
    for (const auto& row : rows) {
        EXPECT_NEAR(regularizedGammaP(row[0], regularizedGammaPInverse(row[0], row[1])), row[1], 1e-12) << row[0];
    }
}

// A censored comparison's SVG (the fits, papers and layout): the same bytes on every platform.
TEST(ComparisonPlot, SameBytesOnEveryPlatform) {
    PassPool pool(1);
    Sample s = makeSample(weibullQuantiles(23, 1.8, 70, 10),
                          {0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
    sortSample(s);
    const std::vector<DistributionFit> fits = compareDistributions(s, 0, pool).fits;
    const ComparisonPlotInput input{"quantiles <&> caf\xc3\xa9.dat", s.times, s.suspended, 3, fits, true};
    expectMatchesGolden(comparisonPlotSvg(buildComparisonPlotModel(input), 1200, 660), "compare_quantiles.svg", 223);
}

// A stop at poll N: one before each fit, none inside weibull2, one per profile point of weibull3.
TEST(ComparisonStop, AStoppedComparisonIsNoRanking) {
    PassPool pool(1);
    const Sample s = makeSample(weibullQuantiles(40, 2.2, 80, 30));
    const int rows[][3] = {{0, 1, 0}, {1, 1, 1}, {2, 1, 1}, {1000000, 0, distributionCount}};  // polls, stopped, fitted
    for (const auto& row : rows) {
        int polls = 0;
        SolveControl control;
        control.timeUp = [&polls, &row] { return polls++ >= row[0]; };
        const DistributionComparison c = compareDistributions(s, 0, pool, control);
        EXPECT_EQ(c.stopped, row[1] == 1) << row[0];
        int fitted = 0;
        for (std::size_t k = 0; k < c.fits.size(); ++k) {
            fitted += c.fits[k].stopped ? 0 : 1;
            EXPECT_TRUE(!c.stopped || c.fits[k].distribution == static_cast<Distribution>(k)) << row[0];
        }
        EXPECT_EQ(fitted, row[2]) << row[0];
    }
    std::atomic<int> flag{1};
    SolveControl stop;
    stop.stopFlag = &flag;
    EXPECT_TRUE(maximizeLocationProfile(s, pool, stop).stopped);
}

}  // namespace
