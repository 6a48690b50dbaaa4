// The Weibull plot's model: points, fitted line, ticks and legend in plot
// coordinates, computed once with the engine's portable kernels so that
// every renderer on every platform starts from the same numbers.
#include "plot/plot_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "datafiles/report.h"
#include "engine/portable_math.h"
#include "engine/sample.h"
#include "plot/plot_geometry.h"
#include "plot/plot_ticks.h"

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// The visible ranges are at least this wide (one point, or equal times,
// still gives a readable plot).
constexpr double minimumXSpan = 0.2;
constexpr double minimumYSpan = 0.5;

// The fitted line's ends take part in the y range only this far beyond the
// points (a diverged fit would otherwise squash the points into a line).
constexpr double fitOvershoot = 1.0;  // in widths of the points' y range

// With no point to compare it with, the line's ends take part in the y range
// only up to this |y|: the y of every F strictly between 0 and 1 that a
// double holds lies inside (from ln(4.9e-324) = -744.4 to ln(-ln(2^-53)) = 3.6).
constexpr double yOfAnyF = 750.0;

// Squared correlation of the points: two passes (means, then centred sums),
// NaN with fewer than two points or when either coordinate is constant.
double squaredCorrelation(const std::vector<PlotPoint>& points) {
    if (points.size() < 2) return notANumber;
    double sumX = 0;
    double sumY = 0;
    for (const PlotPoint& p : points) {
        sumX += p.x;
        sumY += p.y;
    }
    const double count = static_cast<double>(points.size());
    const double meanX = sumX / count;
    const double meanY = sumY / count;
    double sxx = 0;
    double syy = 0;
    double sxy = 0;
    for (const PlotPoint& p : points) {
        const double dx = p.x - meanX;
        const double dy = p.y - meanY;
        sxx += dx * dx;
        syy += dy * dy;
        sxy += dx * dy;
    }
    if (sxx == 0 || syy == 0) return notANumber;
    return sxy / sxx * (sxy / syy);
}

bool isSuspended(const PlotInput& input, std::size_t i) {
    return i < input.suspended.size() && input.suspended[i] == 1;
}

// Points, suspensions and the counts of units left out. The failures'
// ordinates are the given ones, or those of the plotting position at
// Johnson's adjusted ranks (the plain ranks i when nothing is suspended).
void placeUnits(const PlotInput& input, PlotModel& model) {
    const std::size_t n = input.sortedTimes.size();
    std::vector<std::uint8_t> flags;
    std::size_t failures = n;
    if (!input.suspended.empty()) {
        for (std::size_t i = 0; i < n; ++i) flags.push_back(isSuspended(input, i) ? 1 : 0);
        for (std::uint8_t flag : flags) failures -= flag;
    }
    std::vector<double> ordinates(input.failureOrdinates.begin(), input.failureOrdinates.end());
    if (ordinates.size() != failures) {
        ordinates.assign(failures, notANumber);
        if (rankFunctionOf(input.rankMethod) != nullptr) {
            ordinates = plotOrdinates(flags, static_cast<std::uint32_t>(n), input.rankMethod);
        }
    }
    std::size_t failure = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = weibullPlotX(input.sortedTimes[i], input.fit.gamma);
        const bool suspended = isSuspended(input, i);
        const double y = suspended ? notANumber : ordinates[failure++];
        if (!std::isfinite(x)) {
            ++model.belowGamma;
        } else if (suspended) {
            model.suspensions.push_back(x);
        } else if (!std::isfinite(y)) {
            ++model.infiniteOrdinates;
        } else {
            model.points.push_back({x, y});
        }
    }
}

// The fitted line from the smallest to the largest failure with a finite x
// (a unit at t = gamma has x = -inf and is passed over); false when no
// failure has one, m or t0 is not finite, or an end's y overflows.
bool lineAcrossFailures(const PlotInput& input, PlotPoint& start, PlotPoint& end) {
    PlotRange x{0, 0, false};
    for (std::size_t i = 0; i < input.sortedTimes.size(); ++i) {
        if (!isSuspended(input, i)) include(x, weibullPlotX(input.sortedTimes[i], input.fit.gamma));
    }
    const double m = input.fit.m;
    const double lnT0 = portableLog(input.fit.t0);
    if (!x.any || !std::isfinite(m) || !std::isfinite(lnT0)) return false;
    start = {x.lo, m * x.lo - lnT0};
    end = {x.hi, m * x.hi - lnT0};
    return std::isfinite(start.y) && std::isfinite(end.y);
}

// The band's curves: the finite points of each side.
void placeBand(const PlotInput& input, PlotModel& model) {
    for (const BandPoint& b : input.band) {
        if (!std::isfinite(b.y)) continue;
        if (std::isfinite(b.loX)) model.bandLower.push_back({b.loX, b.y});
        if (std::isfinite(b.hiX)) model.bandUpper.push_back({b.hiX, b.y});
    }
    // A curve needs two points.
    if (model.bandLower.size() < 2) model.bandLower.clear();
    if (model.bandUpper.size() < 2) model.bandUpper.clear();
}

void setRanges(PlotModel& model, bool hasLine, PlotPoint lineStart, PlotPoint lineEnd) {
    PlotRange x{0, 0, false};
    for (const PlotPoint& p : model.points) include(x, p.x);
    for (double s : model.suspensions) include(x, s);
    if (hasLine) {
        include(x, lineStart.x);
        include(x, lineEnd.x);
    }
    PlotRange y{0, 0, false};
    for (const PlotPoint& p : model.points) include(y, p.y);
    for (const std::vector<PlotPoint>* curve : {&model.bandLower, &model.bandUpper}) {
        for (const PlotPoint& p : *curve) {
            include(x, p.x);
            include(y, p.y);
        }
    }
    if (hasLine) {
        const double span = y.any && y.hi - y.lo > minimumYSpan ? y.hi - y.lo : minimumYSpan;
        const double lo = y.any ? y.lo - fitOvershoot * span : -yOfAnyF;
        const double hi = y.any ? y.hi + fitOvershoot * span : yOfAnyF;
        include(y, std::fmin(std::fmax(lineStart.y, lo), hi));
        include(y, std::fmin(std::fmax(lineEnd.y, lo), hi));
    }
    setVisibleBox(model, x, y, minimumXSpan, minimumYSpan);
}

std::string pointCount(std::size_t count) { return std::to_string(count) + (count == 1 ? " point" : " points"); }

// The places of the legend's own lines among the figures.
constexpr int countPosition = 4;
constexpr int r2Position = 5;
constexpr int rankPosition = 6;

void writeLegend(const PlotInput& input, PlotModel& model) {
    auto add = [&model](LegendKey key, std::string text) { model.legend.push_back({key, std::move(text)}); };
    add(LegendKey::point, "failures");
    if (model.hasFit) {
        add(LegendKey::fit, "fitted line");
    } else {
        add(LegendKey::none, "fitted line not shown");
    }
    if (!model.suspensions.empty()) add(LegendKey::suspension, "suspensions");
    if (!model.bandLower.empty() || !model.bandUpper.empty()) add(LegendKey::band, input.bandLabel);
    std::string count = "n = " + std::to_string(input.sortedTimes.size());
    std::size_t suspended = 0;
    for (std::size_t i = 0; i < input.sortedTimes.size(); ++i) suspended += isSuspended(input, i) ? 1 : 0;
    if (suspended > 0) count += " (" + std::to_string(suspended) + " suspended)";
    std::vector<LegendFigure> lines = input.figures;
    for (LegendFigure& figure : lines) figure.label += " = " + significantText(figure.value, 5);
    lines.push_back({countPosition, count, 0});
    lines.push_back({r2Position, "r^2 = " + significantText(model.r2, 5), 0});
    lines.push_back({rankPosition, std::string("F = ") + rankLabelOf(input.rankMethod), 0});
    std::stable_sort(lines.begin(), lines.end(),
                     [](const LegendFigure& a, const LegendFigure& b) { return a.position < b.position; });
    for (const LegendFigure& line : lines) add(LegendKey::none, line.label);
    if (model.infiniteOrdinates > 0) {
        add(LegendKey::none, pointCount(model.infiniteOrdinates) + " at F = 0 or 1 not shown");
    }
    if (model.belowGamma > 0) add(LegendKey::none, pointCount(model.belowGamma) + " at t <= gamma not shown");
}

}  // namespace

PlotModel buildPlotModel(const PlotInput& input) {
    PlotModel model{};
    model.title = input.title != nullptr ? input.title : "";
    model.xLabel = "t - gamma";
    model.yLabel = "F (%)";
    placeUnits(input, model);

    placeBand(input, model);

    PlotPoint lineStart{};
    PlotPoint lineEnd{};
    const bool hasLine = lineAcrossFailures(input, lineStart, lineEnd);
    setRanges(model, hasLine, lineStart, lineEnd);
    model.fitStart = lineStart;
    model.fitEnd = lineEnd;
    model.hasFit = hasLine && clipToBox(model.fitStart, model.fitEnd, model.xMin, model.xMax, model.yMin, model.yMax);

    model.xTicks = logAxisTicks(model.xMin, model.xMax);
    model.yTicks = percentAxisTicks(model.yMin, model.yMax);
    model.r2 = std::isnan(input.r2) ? squaredCorrelation(model.points) : input.r2;
    writeLegend(input, model);
    return model;
}
