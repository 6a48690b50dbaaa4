// Plotting positions, the sort comparison and the plot coordinates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "engine/sample.h"
#include "tests/recording_front_end.h"

namespace {

const double inf = std::numeric_limits<double>::infinity();

void setCount(std::uint32_t n) { analysisState.sample.n = n; }

TEST(RankFunctions, ThreePoints) {
    setCount(3);
    const struct {
        RankMethod method;
        double F[3];
    } rows[] = {
        {1, {0.25, 0.5, 0.75}},
        {2, {0, 0.5, 1}},
        {3, {0.7 / 3.4, 1.7 / 3.4, 2.7 / 3.4}},
        {4, {0.5 / 3, 1.5 / 3, 2.5 / 3}},
    };
    for (const auto& row : rows) {
        const RankFunction F = rankFunctionOf(row.method);
        ASSERT_NE(F, nullptr);
        for (std::uint32_t i = 1; i <= 3; ++i) {
            EXPECT_DOUBLE_EQ(F(i), row.F[i - 1]) << "method " << row.method << " i " << i;
        }
    }
}

TEST(RankFunctions, StrictlyIncreasingAndInsideTheUnitInterval) {
    for (std::uint32_t n : {3u, 10u, 1000u}) {
        setCount(n);
        for (RankMethod method = 1; method <= 4; ++method) {
            const RankFunction F = rankFunctionOf(method);
            for (std::uint32_t i = 1; i <= n; ++i) {
                const double f = F(i);
                if (method == 2 && (i == 1 || i == n)) {
                    EXPECT_EQ(f, i == 1 ? 0.0 : 1.0);  // the open ends of method 2
                } else {
                    EXPECT_GT(f, 0.0);
                    EXPECT_LT(f, 1.0);
                }
                if (i > 1) {
                    EXPECT_GT(f, F(i - 1)) << "method " << method << " n " << n << " i " << i;
                }
            }
        }
    }
}

TEST(RankFunctions, CountsAbove2To31StayPositive) {
    const std::uint32_t n = 3000000000u;
    setCount(n);
    EXPECT_NEAR(rankMeanI(n), 1.0, 1e-9);
    EXPECT_LT(rankMeanI(n), 1.0);
    EXPECT_GT(rankHazen(n), 0.99);
}

TEST(RankFunctions, LabelsAndUnknownMethods) {
    EXPECT_STREQ(rankLabelOf(1), "i/(n+1)");
    EXPECT_STREQ(rankLabelOf(2), "(i-1)/(n-1)");
    EXPECT_STREQ(rankLabelOf(3), "(i-0.3)/(n+0.4)");
    EXPECT_STREQ(rankLabelOf(4), "(i-0.5)/n");
    for (RankMethod bad : {0, 5, -1}) {
        EXPECT_EQ(rankFunctionOf(bad), nullptr);
        EXPECT_STREQ(rankLabelOf(bad), "");
    }
}

TEST(CompareTimes, SignOfTheDifference) {
    const struct {
        double a, b;
        int expected;
    } rows[] = {
        {1, 2, -1}, {2, 1, 1}, {2, 2, 0}, {-0.0, 0.0, 0}, {inf, 1, 1}, {1, inf, -1},
        {inf, inf, 1},  // inf - inf is not a number: counts as greater
    };
    for (const auto& row : rows) {
        EXPECT_EQ(compareTimes(&row.a, &row.b), row.expected) << row.a << " vs " << row.b;
    }
}

TEST(CompareTimes, SortsAscendingWithRepeatsKept) {
    std::vector<double> t = {24, 12, 40, 15, 15, 52, 0.5, 15, 1e300};
    std::qsort(t.data(), t.size(), sizeof(double), compareTimes);
    EXPECT_EQ(t, (std::vector<double>{0.5, 12, 15, 15, 15, 24, 40, 52, 1e300}));
}

TEST(WeibullPlot, Coordinates) {
    EXPECT_DOUBLE_EQ(weibullPlotX(std::exp(2.0) + 3, 3), 2.0);
    EXPECT_EQ(weibullPlotX(5, 5), -inf);
    EXPECT_TRUE(std::isnan(weibullPlotX(4, 5)));
    EXPECT_EQ(weibullPlotY(0), -inf);
    EXPECT_EQ(weibullPlotY(1), inf);
    // F = 1 - 1/e makes ln(1/(1-F)) = 1, so Y = 0 up to rounding.
    EXPECT_NEAR(weibullPlotY(1 - std::exp(-1.0)), 0.0, 1e-15);
    // Y is ln(-ln(1 - F)): the inverse of F = 1 - exp(-exp(Y)).
    for (double y : {-3.0, -0.5, 0.7, 1.9}) {
        EXPECT_NEAR(weibullPlotY(1 - std::exp(-std::exp(y))), y, 1e-12) << y;
    }
}

}  // namespace
