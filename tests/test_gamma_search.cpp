// The location search on samples whose Weibull plot is straight at a known
// location, and its early returns.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "engine/analysis_state.h"
#include "engine/gamma_search.h"
#include "engine/sample.h"
#include "tests/recording_front_end.h"

namespace {

class GammaSearch : public ::testing::Test {
protected:
    void SetUp() override { resetAnalysisState(); }
    void TearDown() override { resetAnalysisState(); }

    void hold(const std::vector<double>& t, RankMethod method) {
        holdSample(t);
        analysisState.rankMethod = method;
        analysisState.rankFunction = rankFunctionOf(method);
    }

    // A sample whose plot is an exact straight line of slope m at location g:
    // t_i = g + exp((Y_i - c) / m) with Y_i the plotting-position ordinate.
    void holdStraightPlot(std::uint32_t n, double g, double m, RankMethod method, double c = 4) {
        analysisState.sample.n = n;
        const RankFunction F = rankFunctionOf(method);
        std::vector<double> t(n);
        for (std::uint32_t i = 1; i <= n; ++i) {
            t[i - 1] = g + std::exp((weibullPlotY(F(i)) + c) / m);
        }
        hold(t, method);
    }
};

TEST_F(GammaSearch, FindsTheLocationOfAStraightPlot) {
    const struct {
        double g, m;
        RankMethod method;
    } rows[] = {{50, 2, 1}, {5, 1.5, 3}, {30, 3, 4}, {0.02, 0.9, 1}};
    for (const auto& row : rows) {
        holdStraightPlot(25, row.g, row.m, row.method);
        double r2 = 0;
        EXPECT_EQ(curvatureSign(&r2, 0), -1) << row.g;  // too small a location bends the plot down
        EXPECT_LT(r2, 1);
        const double found = searchGamma();
        const double t1 = analysisState.sample.t[0];
        EXPECT_NEAR(found, row.g, 0.02 * (t1 - row.g) + 1e-9 * row.g) << row.g;
        EXPECT_LE(found, 0.99 * t1);
    }
}

TEST_F(GammaSearch, BendingUpAtZeroGivesZero) {
    // Failure times that pile up towards a ceiling: the plot bends up already.
    hold({0.5, 3, 9, 16, 22, 27, 31, 34, 36.5, 38.5, 40, 41.2, 42.2}, 1);
    double r2 = 0;
    EXPECT_EQ(curvatureSign(&r2, 0), 1);
    EXPECT_EQ(searchGamma(), 0);
}

TEST_F(GammaSearch, StillBendingDownAtTheUpperEndGivesIt) {
    // Straight at 100, but t_1 is so close to 100 that 0.99 t_1 lies below it.
    holdStraightPlot(10, 100, 2, 1, 0);
    const double t1 = analysisState.sample.t[0];
    double r2 = 0;
    ASSERT_EQ(curvatureSign(&r2, 0.99 * t1), -1);
    EXPECT_EQ(searchGamma(), 0.99 * t1);
}

TEST_F(GammaSearch, InfiniteOrdinatesOrAZeroTimeGiveZero) {
    // Method 2 puts the end ordinates at -inf and +inf: sums and the leading
    // coefficient are not numbers, the sign reads 0, the search returns 0.
    holdStraightPlot(10, 20, 2, 1);
    analysisState.rankFunction = rankFunctionOf(2);
    double r2 = 0;
    EXPECT_EQ(curvatureSign(&r2, 0), 0);
    EXPECT_EQ(searchGamma(), 0);

    hold({0, 3, 9, 16}, 1);
    EXPECT_EQ(curvatureSign(&r2, 0), 0);
    EXPECT_EQ(searchGamma(), 0);
}

TEST_F(GammaSearch, SquaredCorrelationOfAStraightLine) {
    holdStraightPlot(12, 7, 2.5, 4);
    double r2 = 0;
    curvatureSign(&r2, 7);
    EXPECT_NEAR(r2, 1, 1e-12);
}

}  // namespace
