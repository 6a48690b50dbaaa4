// The Weibull plot as one portable model, built once from a fit, and its
// SVG writer. The desktop window draws the same model (see plot_layout.h).
//
// Plot coordinates are those of the report's table: x = ln(t - gamma) and
// y = ln ln(1/(1 - F)). On these axes the fitted distribution is the line
// y = m x - ln t0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/fit_types.h"

// A figure of the fit shown in the legend as "label = value", at its place
// among the legend's lines after the keys (the plot's own lines are the
// count "n = ..." at place 4, "r^2 = ..." at 5 and "F = ..." at 6).
struct LegendFigure {
    int position;
    std::string label;
    double value;
};

// The bounds on the B-life at one F of the plot: y = ln ln(1/(1 - F)) and
// x = ln(B - gamma) of the lower and the upper bound (NaN: that side absent).
struct BandPoint {
    double y;
    double loX;
    double hiX;
};

// What a plot is built from.
struct PlotInput {
    const char* title;  // the data file name
    std::span<const double> sortedTimes;
    RankMethod rankMethod;                    // 1..4
    FitResult fit;                            // m, t0, gamma, ...
    double r2;                                // squared correlation of the plot points (NaN if unknown)
    std::span<const std::uint8_t> suspended;  // optional: 1 = suspension (censored data); empty = all failures
    std::span<const double>
        failureOrdinates;  // optional: the failures' Y values when censored (adjusted ranks); empty = from rankMethod
    std::vector<LegendFigure> figures;  // the fit's figures in the legend
    std::vector<BandPoint> band;        // optional: the bounds on the B-life, ascending y
    std::string bandLabel;              // the band's legend line (method and confidence)
};

// A place in plot coordinates.
struct PlotPoint {
    double x;  // ln(t - gamma)
    double y;  // ln ln(1/(1 - F))
};

// A labelled tick of an axis.
struct PlotTick {
    double position;    // x = ln(value) on the x axis; y at F = value % on the y axis
    std::string label;  // the value in data units (x) or in percent (y)
};

// What the small symbol in front of a legend line shows.
enum class LegendKey : int { none, point, fit, suspension, band };

struct LegendLine {
    LegendKey key;     // symbol drawn in front of the text
    std::string text;  // ASCII text
};

struct PlotModel {
    std::string title;                 // the data file name, as given
    double xMin, xMax;                 // visible x range, xMin < xMax
    double yMin, yMax;                 // visible y range, yMin < yMax
    std::vector<PlotPoint> points;     // failures with finite coordinates, ascending x
    std::vector<double> suspensions;   // x of each suspended unit with finite x
    bool hasFit;                       // the fitted line is drawn
    PlotPoint fitStart, fitEnd;        // the line across the failures, cut to the visible range
    std::vector<PlotTick> xTicks;      // ascending, all inside [xMin, xMax]
    std::vector<PlotTick> yTicks;      // ascending, all inside [yMin, yMax]
    std::string xLabel;                // caption of the x axis
    std::string yLabel;                // caption of the y axis
    std::vector<LegendLine> legend;    // key lines, then m, eta, gamma, n, r^2, notes
    std::vector<PlotPoint> bandLower;  // the lower bound's curve (finite points, ascending y); may be empty
    std::vector<PlotPoint> bandUpper;  // the upper bound's curve
    double r2;                         // r^2 in the legend (given or computed)
    std::size_t infiniteOrdinates;     // failures left out because F is 0 or 1
    std::size_t belowGamma;            // units left out because t <= gamma
};

// Builds the model: every finite point, the line y = m x - ln t0 from the
// smallest to the largest failure above gamma (cut to the visible range;
// hasFit is false when no failure lies above gamma, m or t0 is not finite or
// the line misses the range, and the legend then says "fitted line not
// shown"), the ticks and the legend. r^2 is computed from the drawn points
// when input.r2 is NaN (NaN with fewer than two points or a constant
// coordinate). Without failureOrdinates (or with another count of them than
// of failures) the failures take the plotting position at Johnson's adjusted
// ranks among all n units (engine/sample.h plotOrdinates), which are the
// plain ranks when nothing is suspended: the report's ordinates.
PlotModel buildPlotModel(const PlotInput& input);

// The model as a self-contained SVG document of width x height pixels: no
// scripts, fonts or references; every data point is one element with
// class="point", the fitted line one with class="fit", each curve of the
// bounds band one with class="band". Text is escaped for
// XML; bytes that are not UTF-8 become '?'. The same bytes on every platform.
std::string plotSvg(const PlotModel& model, int width, int height);

// Builds the model and writes its SVG (720 x 540) to `path`. Returns false
// when the file could not be opened, written or closed.
bool writeWeibullPlotSvg(const char* path, const PlotInput& input);
