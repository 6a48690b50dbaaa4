// Plotting positions, the sort of the sample and the plot coordinates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/sample.h"
#include "tests/test_support.h"

namespace {

TEST(RankFunctions, ThreePointsAndUnknownMethods) {
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
            EXPECT_DOUBLE_EQ(F(i, 3), row.F[i - 1]) << "method " << row.method << " i " << i;
        }
    }
    for (RankMethod bad : {0, 5, -1}) EXPECT_EQ(rankFunctionOf(bad), nullptr);
}

TEST(RankFunctions, StrictlyIncreasingInsideTheUnitInterval) {
    for (std::uint32_t n : {3u, 10u, 1000u, 3000000000u}) {
        for (RankMethod method = 1; method <= 4; ++method) {
            const RankFunction F = rankFunctionOf(method);
            // The first, second, last but one and last points.
            for (std::uint32_t i : {1u, 2u, n - 1, n}) {
                const double f = F(i, n);
                const bool end = method == 2 && (i == 1 || i == n);  // the closed ends of method 2
                EXPECT_TRUE(end ? f == (i == 1 ? 0.0 : 1.0) : f > 0 && f < 1) << method << " " << n << " " << i;
                EXPECT_TRUE(i == 1 || f > F(i - 1, n)) << "method " << method << " n " << n << " i " << i;
            }
        }
    }
}

TEST(SortTimes, AscendingWithRepeatsAndInfinities) {
    // Small samples take the comparison sort, large ones the radix sort, the
    // largest two radix-sorted halves merged.
    Xorshift random{88172645463325252ull};
    for (std::size_t n : {9u, 4095u, 4096u, 30000u, 262144u, 262147u}) {
        std::vector<double> t(n);
        for (std::size_t i = 0; i < n; ++i) {
            const double u = random.unit();
            t[i] = u < 0.01 ? inf : u < 0.02 ? -inf : u < 0.05 ? 15 : u < 0.06 ? -0.0 : random.between(-1e6, 1e300);
        }
        std::vector<double> expected = t;
        std::stable_sort(expected.begin(), expected.end());
        sortTimes(t);
        for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(t[i], expected[i]) << "n " << n << " at " << i;
    }
}

// Values are pinned by the reference reports, which list every point's
// coordinates (test_report.cpp); here the ends.
TEST(WeibullPlot, Coordinates) {
    EXPECT_EQ(weibullPlotX(5, 5), -inf);
    EXPECT_TRUE(std::isnan(weibullPlotX(4, 5)));
    EXPECT_EQ(weibullPlotY(0), -inf);
    EXPECT_EQ(weibullPlotY(1), inf);
}

TEST(AdjustedRanks, JohnsonsRanksOfTheFailures) {
    const struct {
        std::vector<std::uint8_t> suspended;
        std::vector<double> ranks;
    } rows[] = {
        {{}, {1, 2, 3}},
        {{0, 0, 0}, {1, 2, 3}},
        // n = 5, F S F F S: j = 1, 1 + 5/4, 2.25 + 3.75/3.
        {{0, 1, 0, 0, 1}, {1, 2.25, 3.5}},
        // A suspension first moves every later failure up: 5/4 each.
        {{1, 0, 0, 0}, {1.25, 2.5, 3.75}},
        // Suspensions at the end change nothing before them.
        {{0, 0, 1, 1}, {1, 2}},
    };
    for (const auto& row : rows) {
        const auto n = static_cast<std::uint32_t>(row.suspended.empty() ? 3 : row.suspended.size());
        const std::vector<double> j = adjustedRanks(row.suspended, n);
        ASSERT_EQ(j.size(), row.ranks.size());
        for (std::size_t i = 0; i < j.size(); ++i) EXPECT_DOUBLE_EQ(j[i], row.ranks[i]) << "rank " << i;
    }
}

TEST(SortCensored, FailuresBeforeSuspensionsAtEqualTimes) {
    std::vector<double> t = {5, 3, 5, 1, 3};
    std::vector<std::uint8_t> s = {1, 0, 0, 1, 1};
    sortCensored(t, s);
    EXPECT_EQ(t, (std::vector<double>{1, 3, 3, 5, 5}));
    EXPECT_EQ(s, (std::vector<std::uint8_t>{1, 0, 1, 0, 1}));
}

}  // namespace
