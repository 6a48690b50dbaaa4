// The comparison's small multiples (every family's points and line: the
// golden SVG; points on the line of each family's own data:
// tests/plot_svg_test.py), the gamma quantile, a stopped comparison.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "engine/incomplete_gamma.h"
#include "engine/pass_pool.h"
#include "plot/comparison_plot.h"
#include "tests/test_support.h"

namespace {

DistributionFit fitOf(Distribution d, double p0, double p1 = 0, double p2 = 0) {
    DistributionFit fit;
    fit.distribution = d;
    fit.parameters[0] = p0, fit.parameters[1] = p1, fit.parameters[2] = p2;
    return fit;
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
