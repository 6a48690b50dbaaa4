// Ranges and clipping in plot coordinates, shared by the plots' models.
#pragma once

#include <string>

#include "plot/plot_model.h"

// The span of the finite values included so far.
struct PlotRange {
    double lo;
    double hi;
    bool any;  // a finite value has been included
};

// Widens `range` to hold `value`; a value that is not finite is passed over.
void include(PlotRange& range, double value);

// The visible range around `range`: widened about its centre to at least
// `minimumSpan`, then a margin of 5% of its width on both sides. An empty
// range is centred on 0.
PlotRange visibleRange(PlotRange range, double minimumSpan);

// Sets box.xMin, xMax, yMin and yMax (a model's or a panel's) to the visible
// ranges around x and y.
template <typename Box>
void setVisibleBox(Box& box, PlotRange x, PlotRange y, double minimumXSpan, double minimumYSpan) {
    const PlotRange visibleX = visibleRange(x, minimumXSpan);
    const PlotRange visibleY = visibleRange(y, minimumYSpan);
    box.xMin = visibleX.lo;
    box.xMax = visibleX.hi;
    box.yMin = visibleY.lo;
    box.yMax = visibleY.hi;
}

// `digits` significant digits, as printf's "%.Ng", exactly rounded.
std::string significantText(double value, int digits);

// Cuts the segment a-b to the rectangle [xMin, xMax] x [yMin, yMax] (Liang
// and Barsky's parametric clipping); false when no part of it is inside. An
// end that is inside keeps its exact coordinates.
bool clipToBox(PlotPoint& a, PlotPoint& b, double xMin, double xMax, double yMin, double yMax);
