// The location search on samples whose Weibull plot is straight at a known
// location, and its early returns.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/gamma_search.h"
#include "engine/pass_pool.h"
#include "engine/sample.h"

namespace {

// A sample whose plot is an exact straight line of slope m at location g:
// t_i = g + exp((Y_i + c) / m) with Y_i the plotting-position ordinate.
std::vector<double> straightPlot(std::uint32_t n, double g, double m, RankMethod method, double c = 4) {
    const std::vector<double> y = plotOrdinates({}, n, method);
    std::vector<double> t(n);
    for (std::uint32_t i = 0; i < n; ++i) t[i] = g + std::exp((y[i] + c) / m);
    return t;
}

PassPool pool;
ScratchVector<double> scratch;

TEST(GammaSearch, FindsTheLocationOfAStraightPlot) {
    const struct {
        double g, m;
        RankMethod method;
    } rows[] = {{50, 2, 1}, {5, 1.5, 3}, {30, 3, 4}, {0.02, 0.9, 1}};
    for (const auto& row : rows) {
        const std::vector<double> t = straightPlot(25, row.g, row.m, row.method);
        const std::vector<double> y = plotOrdinates({}, 25, row.method);
        double r2 = 0;
        EXPECT_EQ(curvatureSign(t, y, 0, pool, scratch, &r2), -1) << row.g;  // too small a location bends the plot down
        EXPECT_LT(r2, 1);
        curvatureSign(t, y, row.g, pool, scratch, &r2);
        EXPECT_NEAR(r2, 1, 1e-12) << row.g;  // straight at the true location
        const double found = searchGamma(t, y, t[0], pool);
        EXPECT_NEAR(found, row.g, 0.02 * (t[0] - row.g) + 1e-9 * row.g) << row.g;
    }
}

TEST(GammaSearch, EarlyReturns) {
    const struct {
        const char* name;
        std::vector<double> t;
        RankMethod method;
        int signAtZero;
        double expected;             // negative: 0.99 t_1
        std::vector<double> y = {};  // empty: the method's ordinates
    } rows[] = {
        // Failure times that pile up towards a ceiling: the plot bends up already.
        {"bending up at 0", {0.5, 3, 9, 16, 22, 27, 31, 34, 36.5, 38.5, 40, 41.2, 42.2}, 1, 1, 0},
        // t_1 so close to 100 that 0.99 t_1 lies below the true location.
        {"still bending down at 0.99 t_1", straightPlot(10, 100, 2, 1, 0), 1, -1, -1},
        // Method 2's end ordinates are -inf and +inf: the sums are not
        // numbers, the sign reads 0.
        {"infinite ordinates", straightPlot(10, 20, 2, 1), 2, 0, 0},
        {"a zero time", {0, 3, 9, 16}, 1, 0, 0},
        // 0.99 t_1 rounds to t_1 itself: ln 0 makes the sign there 0, which
        // counts as not bending up.
        {"not a number at 0.99 t_1", {5e-324, 1, 2, 3}, 1, -1, -1, {-1e4, 0, 0.5, 1}},
    };
    for (const auto& row : rows) {
        const std::vector<double> y = row.y.empty()
                                          ? plotOrdinates({}, static_cast<std::uint32_t>(row.t.size()), row.method)
                                          : row.y;
        double r2 = 0;
        EXPECT_EQ(curvatureSign(row.t, y, 0, pool, scratch, &r2), row.signAtZero) << row.name;
        EXPECT_EQ(searchGamma(row.t, y, row.t[0], pool), row.expected < 0 ? 0.99 * row.t[0] : row.expected) << row.name;
    }
}

}  // namespace
