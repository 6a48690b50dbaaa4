// Layout of the Weibull plot in pixels. Plain arithmetic on the model's
// coordinates (no library calls), so the same canvas size gives the same
// numbers on every platform.
#include "plot/plot_layout.h"

#include <algorithm>

namespace {

constexpr PlotColour gridGrey = {0xdd, 0xdd, 0xdd};
constexpr PlotColour legendGrey = {0x99, 0x99, 0x99};
constexpr PlotColour suspensionColour = {0x2e, 0x8b, 0x57};
constexpr PlotColour bandColour = {0x8e, 0x44, 0xad};

// Margins around the plot area and the text sizes, in pixels.
constexpr double leftMargin = 64;
constexpr double rightMargin = 24;
constexpr double topMargin = 40;
constexpr double bottomMargin = 52;
constexpr double titleSize = 16;
constexpr double labelSize = 11;
constexpr double legendSize = 12;
constexpr double pointRadius = 3.5;
constexpr double tickLength = 5;
constexpr double suspensionLength = 10;
constexpr double legendLineHeight = 16;
constexpr double legendKeyWidth = 22;
// A sans-serif character is at most about this many ems wide on average;
// the legend box is sized by it, as text widths are not known here.
constexpr double averageCharacterWidth = 0.6;

// Maps plot coordinates into the plot area.
struct Frame {
    double left, top, right, bottom;
    double xMin, xScale;  // pixels per unit of x
    double yMin, yScale;  // pixels per unit of y
    double px(double x) const { return left + (x - xMin) * xScale; }
    double py(double y) const { return bottom - (y - yMin) * yScale; }
};

Frame frameOf(const PlotModel& model, int width, int height) {
    Frame f{};
    f.left = leftMargin;
    f.top = topMargin;
    f.right = std::max(f.left + 1, width - rightMargin);
    f.bottom = std::max(f.top + 1, height - bottomMargin);
    f.xMin = model.xMin;
    f.yMin = model.yMin;
    f.xScale = (f.right - f.left) / (model.xMax - model.xMin);
    f.yScale = (f.bottom - f.top) / (model.yMax - model.yMin);
    return f;
}

void addAxes(std::vector<PlotShape>& shapes, const PlotModel& model, const Frame& f) {
    for (const PlotTick& tick : model.xTicks) {
        const double x = f.px(tick.position);
        shapes.push_back(lineShape("grid", x, f.top, x, f.bottom, gridGrey, 1));
    }
    for (const PlotTick& tick : model.yTicks) {
        const double y = f.py(tick.position);
        shapes.push_back(lineShape("grid", f.left, y, f.right, y, gridGrey, 1));
    }
    shapes.push_back(rectangleShape("frame", f.left, f.top, f.right, f.bottom, plotBlack, 1, false, plotWhite));
    for (const PlotTick& tick : model.xTicks) {
        const double x = f.px(tick.position);
        shapes.push_back(lineShape("tick", x, f.bottom, x, f.bottom + tickLength, plotBlack, 1));
        shapes.push_back(textShape("tick-label", x, f.bottom + tickLength + labelSize + 2, labelSize,
                                   TextAnchor::middle, tick.label));
    }
    for (const PlotTick& tick : model.yTicks) {
        const double y = f.py(tick.position);
        shapes.push_back(lineShape("tick", f.left - tickLength, y, f.left, y, plotBlack, 1));
        shapes.push_back(textShape("tick-label", f.left - tickLength - 3, y + labelSize * 0.35, labelSize,
                                   TextAnchor::end, tick.label));
    }
    shapes.push_back(
        textShape("axis-label", (f.left + f.right) / 2, f.bottom + 44, legendSize, TextAnchor::middle, model.xLabel));
    shapes.push_back(
        textShape("axis-label", f.left - tickLength - 3, f.top - 8, legendSize, TextAnchor::end, model.yLabel));
}

// Each curve of the band as one thin polyline.
void addBand(std::vector<PlotShape>& shapes, const PlotModel& model, const Frame& f) {
    for (const std::vector<PlotPoint>* curve : {&model.bandLower, &model.bandUpper}) {
        if (curve->empty()) continue;
        PlotShape band = lineShape("band", 0, 0, 0, 0, bandColour, 1);
        band.kind = ShapeKind::polyline;
        for (const PlotPoint& p : *curve) band.path.push_back({f.px(p.x), f.py(p.y)});
        shapes.push_back(std::move(band));
    }
}

// The symbol of a legend line, centred at (x, y) in a key column of
// legendKeyWidth pixels.
void addLegendKey(std::vector<PlotShape>& shapes, LegendKey key, double x, double y) {
    const double half = legendKeyWidth / 2 - 3;
    switch (key) {
        case LegendKey::point: shapes.push_back(circleShape("legend-key", x, y, pointRadius, pointColour)); break;
        case LegendKey::fit: shapes.push_back(lineShape("legend-key", x - half, y, x + half, y, fitColour, 2)); break;
        case LegendKey::suspension:
            shapes.push_back(lineShape("legend-key", x, y - 5, x, y + 5, suspensionColour, 2));
            break;
        case LegendKey::band: shapes.push_back(lineShape("legend-key", x - half, y, x + half, y, bandColour, 1)); break;
        case LegendKey::none: break;
    }
}

void addLegend(std::vector<PlotShape>& shapes, const PlotModel& model, const Frame& f) {
    std::size_t longest = 0;
    for (const LegendLine& entry : model.legend) longest = std::max(longest, entry.text.size());
    const double left = f.left + 10;
    const double top = f.top + 10;
    const double width = legendKeyWidth + 12 + static_cast<double>(longest) * legendSize * averageCharacterWidth;
    const double height = static_cast<double>(model.legend.size()) * legendLineHeight + 8;
    shapes.push_back(rectangleShape("legend", left, top, left + width, top + height, legendGrey, 1, true, plotWhite));
    double baseline = top + 4 + legendSize;
    for (const LegendLine& entry : model.legend) {
        addLegendKey(shapes, entry.key, left + 4 + legendKeyWidth / 2, baseline - legendSize * 0.35);
        shapes.push_back(
            textShape("legend-text", left + 8 + legendKeyWidth, baseline, legendSize, TextAnchor::start, entry.text));
        baseline += legendLineHeight;
    }
}

}  // namespace

PlotShape lineShape(const char* role, double x1, double y1, double x2, double y2, PlotColour colour, double width) {
    return {ShapeKind::line, role, x1, y1, x2, y2, colour, width, colour, false, 0, TextAnchor::start, {}, {}};
}

PlotShape circleShape(const char* role, double x, double y, double radius, PlotColour colour) {
    return {ShapeKind::circle, role, x, y, radius, 0, colour, 0, colour, true, 0, TextAnchor::start, {}, {}};
}

PlotShape rectangleShape(const char* role, double x1, double y1, double x2, double y2, PlotColour outline,
                         double outlineWidth, bool filled, PlotColour fill) {
    return {ShapeKind::rectangle, role, x1, y1, x2, y2, outline, outlineWidth, fill, filled, 0,
            TextAnchor::start,    {},   {}};
}

PlotShape textShape(const char* role, double x, double y, double size, TextAnchor anchor, std::string content) {
    return {ShapeKind::text, role, x, y, 0, 0, plotBlack, 0, plotBlack, true, size, anchor, std::move(content), {}};
}

std::vector<PlotShape> layoutPlot(const PlotModel& model, int width, int height) {
    const double w = std::max(width, 1);
    const double h = std::max(height, 1);
    const Frame f = frameOf(model, std::max(width, 1), std::max(height, 1));
    std::vector<PlotShape> shapes;
    shapes.push_back(rectangleShape("background", 0, 0, w, h, plotWhite, 0, true, plotWhite));
    addAxes(shapes, model, f);
    for (double s : model.suspensions) {
        const double x = f.px(s);
        shapes.push_back(lineShape("suspension", x, f.bottom, x, f.bottom - suspensionLength, suspensionColour, 2));
    }
    addBand(shapes, model, f);
    if (model.hasFit) {
        shapes.push_back(lineShape("fit", f.px(model.fitStart.x), f.py(model.fitStart.y), f.px(model.fitEnd.x),
                                   f.py(model.fitEnd.y), fitColour, 2));
    }
    for (const PlotPoint& p : model.points)
        shapes.push_back(circleShape("point", f.px(p.x), f.py(p.y), pointRadius, pointColour));
    addLegend(shapes, model, f);
    shapes.push_back(textShape("title", w / 2, 24, titleSize, TextAnchor::middle, model.title));
    return shapes;
}
