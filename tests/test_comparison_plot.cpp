// The comparison's small multiples: each family's paper makes the family's
// own quantiles a straight line (the fitted line itself), gaps are counted,
// the gamma quantile inverts P, and a stopped comparison is no ranking.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/distributions.h"
#include "engine/incomplete_gamma.h"
#include "engine/pass_pool.h"
#include "engine/probability_kernels.h"
#include "engine/sample.h"
#include "plot/comparison_plot.h"
#include "tests/test_support.h"

namespace {

DistributionFit fitOf(Distribution d, double p0, double p1, double p2 = 0) {
    DistributionFit fit;
    fit.distribution = d;
    fit.parameters[0] = p0;
    fit.parameters[1] = p1;
    fit.parameters[2] = p2;
    return fit;
}

// The family's quantile at F, from its parameters (closed forms; the gamma
// law only at shape 1, where it is the exponential law).
double quantile(const DistributionFit& fit, double F) {
    const double* p = fit.parameters;
    const double h = -std::log1p(-F);  // the hazard integral
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

// Times at the family's quantiles of i/(n+1): on its paper every point lies
// on the drawn fitted line (within rounding), none is off the paper.
TEST(ComparisonPlot, QuantilesLieOnTheFittedLine) {
    const DistributionFit rows[] = {
        fitOf(Distribution::weibull2, 1.7, 2500), fitOf(Distribution::weibull3, 2.5, 4e4, 150),
        fitOf(Distribution::exponential, 40, 0),  fitOf(Distribution::lognormal, 3, 0.8),
        fitOf(Distribution::loglogistic, 3, 0.4), fitOf(Distribution::normal, 100, 15),
        fitOf(Distribution::sev, 500, 10),        fitOf(Distribution::gamma, 1, 20),
    };
    const std::uint32_t n = 30;
    for (const DistributionFit& fit : rows) {
        SCOPED_TRACE(distributionName(fit.distribution));
        std::vector<double> times;
        for (std::uint32_t i = 1; i <= n; ++i) times.push_back(quantile(fit, rankMeanI(i, n)));
        const ComparisonPlotModel model = buildComparisonPlotModel({"q.dat", times, {}, 1, {&fit, 1}, true});
        ASSERT_EQ(model.panels.size(), 1u);
        const ComparisonPanel& panel = model.panels[0];
        ASSERT_TRUE(panel.hasFit);
        EXPECT_EQ(panel.points.size(), n);
        EXPECT_EQ(panel.skipped, 0u);
        const PlotPoint a = panel.fitStart, b = panel.fitEnd;
        const double span = panel.yMax - panel.yMin;
        for (const PlotPoint& p : panel.points) {
            const double onLine = a.y + (b.y - a.y) * (p.x - a.x) / (b.x - a.x);
            EXPECT_NEAR(p.y, onLine, 1e-9 * span) << "x = " << p.x;
        }
    }
}

// Units whose transform has no value are counted, not drawn: t <= 0 on a
// log paper, t <= gamma on the weibull3 paper, F = 0 or 1 of position 2;
// suspensions are no points; a failed fit has points and no line.
TEST(ComparisonPlot, GapsAreCountedAndSuspensionsLeftOut) {
    const struct {
        DistributionFit fit;
        std::vector<double> times;
        std::vector<std::uint8_t> suspended;
        RankMethod rank;
        std::size_t points, skipped;
        bool line;
    } rows[] = {
        {fitOf(Distribution::lognormal, 1, 1), {-1, 0, 2, 3, 5}, {}, 1, 3, 2, true},
        {fitOf(Distribution::normal, 1, 1), {-1, 0, 2, 3, 5}, {}, 1, 5, 0, true},
        {fitOf(Distribution::weibull3, 2, 10, -2), {-3, -2, 3, 4, 5}, {}, 1, 3, 2, true},
        {fitOf(Distribution::weibull2, 2, 10), {1, 2, 3, 4, 5}, {}, 2, 3, 2, true},
        {fitOf(Distribution::sev, 3, 1), {1, 2, 3, 4, 5}, {0, 1, 0, 1, 0}, 1, 3, 0, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << distributionName(row.fit.distribution) << " rank " << row.rank);
        for (const bool failed : {false, true}) {
            DistributionFit fit = row.fit;
            if (failed) fit.error = "no spread";
            const ComparisonPlotModel model = buildComparisonPlotModel(
                {"g.dat", row.times, row.suspended, row.rank, {&fit, 1}, true});
            const ComparisonPanel& panel = model.panels[0];
            EXPECT_EQ(panel.points.size(), row.points);
            EXPECT_EQ(panel.skipped, row.skipped);
            EXPECT_EQ(panel.hasFit, row.line && !failed);
            for (const PlotPoint& p : panel.points) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
            EXPECT_NE(panel.caption.find(failed ? "no fit: no spread" : "AICc"), std::string::npos) << panel.caption;
        }
    }
}

// P(a, P^-1(a, p)) = p to a few units of the tolerance of P itself.
TEST(ComparisonPlot, GammaQuantileInvertsP) {
    const struct { double a, p; } rows[] = {{0.5, 0.01}, {1, 0.5}, {3, 0.9}, {12, 0.001}, {0.2, 0.999}, {40, 0.5}};
    for (const auto& row : rows) {
        const double x = regularizedGammaPInverse(row.a, row.p);
        EXPECT_NEAR(regularizedGammaP(row.a, x), row.p, 1e-12) << "a = " << row.a << ", p = " << row.p;
    }
    EXPECT_EQ(regularizedGammaPInverse(2, 0), 0);
    EXPECT_TRUE(std::isinf(regularizedGammaPInverse(2, 1)));
    EXPECT_TRUE(std::isnan(regularizedGammaPInverse(0, 0.5)));
}

// A stop after `polls` polls of the control: the comparison that polls
// before each fit and inside the iterative ones. weibull2 is fitted without
// polling inside, weibull3's profile search polls at each point.
TEST(ComparisonStop, AStoppedComparisonIsNoRanking) {
    PassPool pool(1);
    const Sample s = makeSample(weibullQuantiles(40, 2.2, 80, 30));
    const DistributionComparison whole = compareDistributions(s, 0, pool);
    const struct {
        int polls;
        bool stopped;
        int fitted;  // in family order
    } rows[] = {{0, true, 0}, {1, true, 1}, {2, true, 1}, {1000000, false, distributionCount}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "stop after " << row.polls << " polls");
        int polls = 0;
        SolveControl control;
        control.timeUp = [&polls, &row] { return polls++ >= row.polls; };
        const DistributionComparison c = compareDistributions(s, 0, pool, control);
        EXPECT_EQ(c.stopped, row.stopped);
        ASSERT_EQ(c.fits.size(), static_cast<std::size_t>(distributionCount));
        int fitted = 0;
        for (std::size_t k = 0; k < c.fits.size(); ++k) {
            fitted += c.fits[k].stopped ? 0 : 1;
            EXPECT_EQ(c.fits[k].stopped, !c.fits[k].error.empty());
            if (row.stopped) {
                EXPECT_EQ(c.fits[k].distribution, static_cast<Distribution>(k));
            }
            for (const DistributionFit& unstopped : whole.fits) {
                if (!c.fits[k].stopped && unstopped.distribution == c.fits[k].distribution) {
                    EXPECT_EQ(c.fits[k].aicc, unstopped.aicc);
                }
            }
        }
        EXPECT_EQ(fitted, row.fitted);
    }
    std::atomic<int> flag{1};
    SolveControl stop;
    stop.stopFlag = &flag;
    EXPECT_TRUE(maximizeLocationProfile(s, pool, stop).stopped);
    EXPECT_FALSE(maximizeLocationProfile(s, pool).stopped);
}

}  // namespace
