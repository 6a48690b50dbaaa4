// The comparison of the life distributions as small multiples: one panel per
// family, in ranked order, each showing the data on that family's
// probability paper with its fitted line, which is straight on that paper.
// Built once as a model in plot coordinates, laid out as shapes in pixels
// (plot_layout.h's PlotShape) and written as SVG; the desktop window can
// draw the same shapes.
//
// The papers, x from the time t and y from the plotting position F, and the
// fitted line y = a x + b on each:
//   weibull2     x = ln t            y = ln(-ln(1 - F))   a = m, b = -ln t0
//   weibull3     x = ln(t - gamma)   y = ln(-ln(1 - F))   a = m, b = -ln t0
//   exponential  x = t               y = -ln(1 - F)       a = 1/theta, b = 0
//   lognormal    x = ln t            y = Phi^-1(F)        a = 1/sigma, b = -mu/sigma
//   loglogistic  x = ln t            y = ln(F / (1 - F))  a = 1/sigma, b = -mu/sigma
//   normal       x = t               y = Phi^-1(F)        a = 1/sigma, b = -mu/sigma
//   sev          x = t               y = ln(-ln(1 - F))   a = 1/sigma, b = -mu/sigma
//   gamma        x = t / scale       y = P^-1(shape, F)   a = 1, b = 0
// (the gamma paper depends on the fitted shape; without a fit it is the
// exponential paper, shape and scale 1; weibull3 without a fit takes gamma 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/distributions.h"
#include "engine/fit_types.h"
#include "plot/plot_layout.h"
#include "plot/plot_model.h"

struct ComparisonPlotInput {
    const char* title;  // the data file name
    std::span<const double> sortedTimes;
    std::span<const std::uint8_t> suspended;  // 1 = suspension; empty = all failures
    RankMethod rankMethod;                    // 1..4
    std::span<const DistributionFit> fits;    // ranked best first, or family order when not ranked
    bool ranked;                              // false: the comparison was stopped
};

struct ComparisonPanel {
    Distribution distribution;
    std::string caption;            // "1. lognormal  AICc = 123.456" or "gamma  no fit: CAUSE"
    std::string xLabel, yLabel;     // the paper's axes
    double xMin, xMax;              // visible x range, xMin < xMax
    double yMin, yMax;              // visible y range, yMin < yMax
    std::vector<PlotPoint> points;  // failures with finite coordinates, ascending t
    bool hasFit;                    // the fitted line is drawn
    PlotPoint fitStart, fitEnd;     // the line across the points, cut to the visible range
    std::size_t skipped;            // failures whose x or y is not finite (t <= 0 on a log paper, F = 0 or 1)
};

struct ComparisonPlotModel {
    std::string title;  // the data file name, as given
    std::string note;   // under the title: how the panels are ordered
    std::vector<ComparisonPanel> panels;
};

// The paper coordinates of a time and of a plotting position for a fit (see
// above); not finite where the transform has no value.
double paperX(const DistributionFit& fit, double t);
double paperY(const DistributionFit& fit, double F);

// Builds the model: one panel per fit, in the order given. The failures
// take the plotting position of the rank method at Johnson's adjusted ranks
// among all units (the plain ranks when nothing is suspended); suspensions
// are not points. A failed fit's panel has its points and no line.
ComparisonPlotModel buildComparisonPlotModel(const ComparisonPlotInput& input);

// The shapes of a comparison on a width x height canvas: those of the page
// (background, title, note), then each panel's own (frame, axis labels,
// caption, fitted line, points), in the model's order.
struct ComparisonLayout {
    std::vector<PlotShape> page;
    std::vector<std::vector<PlotShape>> panels;
};

ComparisonLayout layoutComparisonPlot(const ComparisonPlotModel& model, int width, int height);

// The comparison as a self-contained SVG document (as plotSvg): each panel
// one <g class="panel" id="panel-NAME"> holding its points (class="point"),
// its fitted line (class="fit") and its caption (class="caption").
std::string comparisonPlotSvg(const ComparisonPlotModel& model, int width, int height);

// Builds the model and writes its SVG (1200 x 660) to `path`. Returns false
// when the file could not be opened, written or closed.
bool writeComparisonPlotSvg(const char* path, const ComparisonPlotInput& input);
