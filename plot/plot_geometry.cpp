#include "plot/plot_geometry.h"

#include <charconv>
#include <cmath>

namespace {

// The margin on each side of a visible range, as a fraction of its width.
constexpr double marginFraction = 0.05;

}  // namespace

void include(PlotRange& range, double value) {
    if (!std::isfinite(value)) return;
    if (!range.any) {
        range = {value, value, true};
        return;
    }
    if (value < range.lo) range.lo = value;
    if (value > range.hi) range.hi = value;
}

std::string significantText(double value, int digits) {
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
    return std::string(text, r.ptr);
}

PlotRange visibleRange(PlotRange range, double minimumSpan) {
    if (!range.any) range = {0.0, 0.0, true};
    if (range.hi - range.lo < minimumSpan) {
        const double centre = range.lo / 2 + range.hi / 2;
        range.lo = centre - minimumSpan / 2;
        range.hi = centre + minimumSpan / 2;
    }
    const double margin = (range.hi - range.lo) * marginFraction;
    return {range.lo - margin, range.hi + margin, true};
}

bool clipToBox(PlotPoint& a, PlotPoint& b, double xMin, double xMax, double yMin, double yMax) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - xMin, xMax - a.x, a.y - yMin, yMax - a.y};
    double enter = 0;
    double leave = 1;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0 && t > enter) enter = t;
        if (p[i] > 0 && t < leave) leave = t;
    }
    if (enter > leave) return false;
    const PlotPoint start = a;
    if (enter > 0) a = {start.x + enter * dx, start.y + enter * dy};
    if (leave < 1) b = {start.x + leave * dx, start.y + leave * dy};
    return true;
}
