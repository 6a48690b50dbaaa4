// The Weibull plot model: tick choice, which units become points, the fitted
// line, r^2, and the SVG bytes (a golden file, so the same on every platform).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/portable_math.h"
#include "engine/sample.h"
#include "plot/plot_model.h"
#include "plot/plot_ticks.h"
#include "tests/test_support.h"

namespace {

constexpr double eps = std::numeric_limits<double>::epsilon();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

// Ball bearing fatigue lives, millions of revolutions (examples/bearings.dat).
const std::vector<double> bearings = {17.88, 28.92, 33.00,  41.52,  42.12,  45.60,  48.48, 51.84,
                                      51.96, 54.12, 55.56,  67.80,  68.64,  68.64,  68.88, 84.12,
                                      93.12, 98.64, 105.12, 105.84, 127.92, 128.04, 173.40};
const std::vector<double> five = {10, 20, 30, 40, 50};

PlotInput inputFor(const std::vector<double>& times, RankMethod rank, double m, double eta, double gamma) {
    return {"test.dat", times, rank, {m, portablePow(eta, m), gamma, 0, 0, 0, 0},
            notANumber, {},    {},   {{1, "m", m}, {2, "eta", eta}, {3, "gamma", gamma}},
            {},         ""};
}

// Labels expected ascending; ranges in data units (log axis) or as F (percent axis).
TEST(PlotTicks, LogAndPercentAxes) {
    const struct {
        bool percent;
        double lo, hi;
        const char* labels;
    } rows[] = {
        {false, 8.7, 196, "10 20 50 100"},                                  // 1, 2, 5 in each decade
        {false, 16, 194, "20 30 50 70 100"},                                // three of those are too few
        {false, 0.53, 5.6e5, "1 10 100 1000 10000 100000"},                 // 18 of those are too many: decades
        {false, 0.9e-30, 1.1e30, "1e-30 1e-20 1e-10 1 1e+10 1e+20 1e+30"},  // every tenth decade
        {false, 1.5, 9.5, "2 3 5 7"},
        {false, 0.0031, 0.0079, "0.004 0.005 0.006 0.007"},  // every digit
        {false, 0.0013, 0.048, "0.002 0.005 0.01 0.02"},
        {false, 94, 117, "95 100 105 110 115"},  // even steps inside a decade
        {false, 1000.25, 1000.9, "1000.4 1000.6 1000.8"},
        {true, 0.02, 0.98, "5 10 20 30 50 63.2 90"},
        {true, 0.005, 0.9995, "1 5 10 20 30 50 63.2 90 99 99.9"},
        {true, 0.8e-5, 0.5001, "0.001 0.01 0.1 1 5 10 20 30 50"},
        {true, 0.02, 0.99995, "5 10 20 30 50 63.2 90 99 99.9 99.99"},
        {true, 0.641, 0.889, "65 70 75 80 85"},              // none of the list: every 5 %
        {true, 0.455, 0.545, "46 47 48 49 50 51 52 53 54"},  // one of the list: every 1 %
        {true, 1e-13, 0.02, "1e-10 1e-09 1e-08 1e-07 1e-06 1e-05 0.0001 0.001 0.01 0.1 1"},  // down to 1e-10 %
        {true, 0.98, 1 - 1e-9, "99 99.9 99.99 99.999 99.9999 99.99999 99.999999"},           // up to eight nines
    };
    for (const auto& row : rows) {
        const double hi = portableLog(row.hi);
        const std::vector<PlotTick> ticks = row.percent ? percentAxisTicks(weibullPlotY(row.lo), weibullPlotY(row.hi))
                                                        : logAxisTicks(portableLog(row.lo), hi);
        std::string labels;
        for (const PlotTick& tick : ticks) {
            labels += (labels.empty() ? "" : " ") + tick.label;
            // A log tick sits at the logarithm of its own label.
            const double error = std::fabs(tick.position - portableLog(std::stod(tick.label)));
            EXPECT_TRUE(row.percent || error <= 4 * eps * std::fabs(hi))
                << row.lo << " to " << row.hi << ": " << tick.label;
        }
        EXPECT_EQ(labels, row.labels) << row.lo << " to " << row.hi;
    }
}

TEST(PlotModel, WhichUnitsBecomePoints) {
    const char* const oneAtAnEnd = "1 point at F = 0 or 1 not shown";
    const struct {
        const char* label;
        RankMethod rank;  // plotting position
        std::vector<std::uint8_t> suspended;
        std::vector<double> ordinates;
        double gamma;
        std::size_t points, infinite, suspensions, belowGamma;
        bool fit;          // the fitted line is drawn
        const char* note;  // a legend line that must be present, or "" for no "not shown" line
    } rows[] = {
        {"rank 1", 1, {}, {}, 0, 5, 0, 0, 0, true, ""},
        {"rank 2: F = 0 and F = 1", 2, {}, {}, 0, 3, 2, 0, 0, true, "2 points at F = 0 or 1 not shown"},
        {"rank 2, both ends suspended", 2, {1, 0, 0, 0, 1}, {}, 0, 3, 0, 2, 0, true, ""},
        {"the first unit suspended", 1, {1, 0, 0, 0, 0}, {}, 0, 4, 0, 1, 0, true, "n = 5 (1 suspended)"},
        {"given ordinates, one infinite", 1, {0, 1, 0, 1, 0}, {-1, infinity, 0.5}, 0, 2, 1, 2, 0, true, oneAtAnEnd},
        // Adjusted ranks 1, 2.25, 4.125: only the first failure is at F = 0.
        {"ordinates of another length are not used", 2, {0, 1, 0, 1, 0}, {-1, 0.5}, 0, 2, 1, 2, 0, true, oneAtAnEnd},
        {"gamma at the smallest time", 1, {}, {}, 10, 4, 0, 0, 1, true, "1 point at t <= gamma not shown"},
        {"every time at or below gamma", 1, {}, {}, 50, 0, 0, 0, 5, false, "fitted line not shown"},
    };
    for (const auto& row : rows) {
        PlotInput input = inputFor(five, row.rank, 2, 30, row.gamma);
        input.suspended = row.suspended;
        input.failureOrdinates = row.ordinates;
        const PlotModel model = buildPlotModel(input);
        EXPECT_EQ(model.points.size(), row.points) << row.label;
        EXPECT_EQ(model.infiniteOrdinates, row.infinite) << row.label;
        EXPECT_EQ(model.suspensions.size(), row.suspensions) << row.label;
        EXPECT_EQ(model.belowGamma, row.belowGamma) << row.label;
        EXPECT_EQ(model.hasFit, row.fit) << row.label;
        const bool noted = *row.note != '\0';
        bool found = false;  // the note, or when none is expected any "not shown" line
        for (const LegendLine& line : model.legend) {
            found = found || (noted ? line.text == row.note : line.text.find("not shown") != std::string::npos);
        }
        EXPECT_EQ(found, noted) << row.label;
        EXPECT_TRUE(model.xMin < model.xMax && model.yMin < model.yMax) << row.label;
        for (const PlotPoint& p : model.points) {
            EXPECT_TRUE(p.x >= model.xMin && p.x <= model.xMax && p.y >= model.yMin && p.y <= model.yMax) << row.label;
        }
    }
}

TEST(PlotModel, FittedLine) {
    const struct {
        const char* label;
        double m, eta, gamma;
        std::vector<double> ordinates;  // the failures' y; empty: from the plotting position
        bool drawn, cut;                // cut: the line leaves the visible range and is cut to it
        double from;                    // uncut: the time the line starts at
        double yLimit;                  // the visible y range is [-yLimit, yLimit] (0: not checked)
    } rows[] = {
        {"m 0.5 with gamma", 0.5, 25, 3, {}, true, false, 10, 0},
        {"m 40: cut at both ends", 40, 30, 0, {}, true, true, 0, 0},
        // The unit at t = gamma has x = -inf: the line starts at the next one.
        {"a unit at t = gamma", 2, 30, 10, {}, true, false, 20, 0},
        {"every unit at or below gamma", 2, 30, 50, {}, false, false, 0, 0},
        // No finite point: the line's ends (y from -2303 to 3691) count up to
        // |y| = 750, beyond the y of any F a double holds; 5 % margins.
        {"no finite point", 1000, 1, 9.9, {-infinity, infinity, infinity, infinity, infinity}, true, true, 0, 825},
        {"m not a number", notANumber, 30, 0, {}, false, false, 0, 0},
        {"t0 infinite", 1e154, 30, 0, {}, false, false, 0, 0},
    };
    for (const auto& row : rows) {
        PlotInput input = inputFor(five, 1, row.m, row.eta, row.gamma);
        input.failureOrdinates = row.ordinates;
        const PlotModel model = buildPlotModel(input);
        EXPECT_EQ(model.hasFit, row.drawn) << row.label;
        // The legend keys the line when it is drawn and says so when it is not.
        const LegendLine expected = row.drawn ? LegendLine{LegendKey::fit, "fitted line"}
                                              : LegendLine{LegendKey::none, "fitted line not shown"};
        EXPECT_TRUE(model.legend.size() > 1 && model.legend[1].key == expected.key &&
                    model.legend[1].text == expected.text)
            << row.label;
        if (row.yLimit != 0) {
            EXPECT_NEAR(model.yMin, -row.yLimit, 4 * eps * row.yLimit) << row.label;
            EXPECT_NEAR(model.yMax, row.yLimit, 4 * eps * row.yLimit) << row.label;
        }
        if (!model.hasFit) continue;
        const PlotPoint a = model.fitStart, b = model.fitEnd;
        const double scale = std::fabs(a.y) + std::fabs(b.y) + row.m * (std::fabs(a.x) + std::fabs(b.x));
        // Slope m, and y = 0 (F = 63.2 %) at t - gamma = eta.
        EXPECT_NEAR((b.y - a.y) / (b.x - a.x), row.m, 64 * eps * scale / (b.x - a.x)) << row.label;
        EXPECT_NEAR(a.y + row.m * (portableLog(row.eta) - a.x), 0.0, 16 * eps * scale) << row.label;
        if (row.cut) {
            EXPECT_NEAR(a.y, model.yMin, 16 * eps * scale) << row.label;
            EXPECT_NEAR(b.y, model.yMax, 16 * eps * scale) << row.label;
        } else {  // across the data: from the smallest to the largest time
            EXPECT_EQ(a.x, weibullPlotX(row.from, row.gamma)) << row.label;
            EXPECT_EQ(b.x, weibullPlotX(five.back(), row.gamma)) << row.label;
        }
    }
}

TEST(PlotModel, SquaredCorrelation) {
    // Expected values for the bearings: Python's statistics.correlation of
    // (math.log(t), math.log(math.log(1/(1 - F)))), squared.
    const struct {
        const char* label;
        std::vector<double> times;
        RankMethod rank;
        double given, expected;  // PlotInput.r2; NaN: expected not a number
    } rows[] = {
        {"bearings, i/(n+1)", bearings, 1, notANumber, 0.9711548575081251},
        {"bearings, (i-0.3)/(n+0.4)", bearings, 3, notANumber, 0.9703439208959624},
        {"given value kept", bearings, 1, 0.5, 0.5},
        {"one point", {10, 20, 35}, 2, notANumber, notANumber},
    };
    for (const auto& row : rows) {
        PlotInput input = inputFor(row.times, row.rank, 2, 30, 0);
        input.r2 = row.given;
        const double r2 = buildPlotModel(input).r2;
        EXPECT_TRUE(std::isnan(row.expected) ? std::isnan(r2) : std::fabs(r2 - row.expected) <= 64 * eps)
            << row.label << ": " << r2;
    }
}

// The bearings as the desktop program fits them (rank i/(n+1), gamma
// searched; the README's numbers), shown with plotting position 2, two
// units marked as suspensions and a band of bounds, under a title that needs
// escaping. Every number of the SVG comes from the portable code.
TEST(PlotSvg, SameBytesOnEveryPlatform) {
    const std::uint8_t suspended[23] = {0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1};
    // The title is not UTF-8: an overlong form, a lead byte before ASCII; then UTF-8 for e acute.
    const PlotInput input{
        "bearings <A&B> \xe0\x80\x80 \xc3( caf\xc3\xa9.dat",
        bearings,
        2,
        {1.85130410, 2779.86378, 8.05776741, 0, 0, 0, 0},
        notANumber,
        suspended,
        {},
        {{1, "m", 1.85130410}, {2, "eta", portablePow(2779.86378, 1 / 1.85130410)}, {3, "gamma", 8.05776741}},
        {{-2.25, 2.6, 3.2}, {0, 3.7, 4.3}, {1.0, 4.2, 4.6}},
        "B-life bounds, Fisher matrix, 90% two-sided"};
    expectMatchesGolden(plotSvg(buildPlotModel(input), 720, 540), "plot_bearings.svg", 86);
}

}  // namespace
