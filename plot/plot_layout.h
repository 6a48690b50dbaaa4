// The plot model laid out on a canvas of a given size in pixels: one list
// of simple shapes (lines, circles, rectangles, text) that every renderer
// draws in order, the SVG writer as elements and the desktop window with
// GDI, so both show the same picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plot/plot_model.h"

struct PlotColour {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

// The colours of the data, so that tests can look for them in a picture.
constexpr PlotColour pointColour = {0x1f, 0x5f, 0xbf};
constexpr PlotColour fitColour = {0xc0, 0x39, 0x2b};
constexpr PlotColour plotBlack = {0, 0, 0};
constexpr PlotColour plotWhite = {0xff, 0xff, 0xff};

enum class ShapeKind : int { line, circle, rectangle, text, polyline };
enum class TextAnchor : int { start, middle, end };

// One shape in pixels, the origin at the top left, y downwards.
struct PlotShape {
    ShapeKind kind;
    const char* role;             // what it shows ("point", "fit", "grid", ...); the SVG class
    double x1, y1;                // line: first end; rectangle: top left; circle: centre; text: anchor on the baseline
    double x2, y2;                // line: second end; rectangle: bottom right; circle: x2 = radius
    PlotColour stroke;            // line and outline colour
    double strokeWidth;           // 0: no outline (circles, rectangles)
    PlotColour fill;              // fill of circles and rectangles, colour of text
    bool filled;                  // circles and rectangles: filled with `fill`
    double fontSize;              // text: height of the em box in pixels
    TextAnchor anchor;            // text: which end (or the middle) sits at x1
    std::string text;             // text: ASCII, or the title's bytes as given
    std::vector<PlotPoint> path;  // polyline: its points in pixels (stroke as a line's)
};

// The simple shapes: a line of a colour and width; a filled circle; a
// rectangle with an outline (none at width 0) and an optional fill; black
// text of a size at an anchor.
PlotShape lineShape(const char* role, double x1, double y1, double x2, double y2, PlotColour colour, double width);
PlotShape circleShape(const char* role, double x, double y, double radius, PlotColour colour);
PlotShape rectangleShape(const char* role, double x1, double y1, double x2, double y2, PlotColour outline,
                         double outlineWidth, bool filled, PlotColour fill);
PlotShape textShape(const char* role, double x, double y, double size, TextAnchor anchor, std::string content);

// The shapes of `model` on a width x height canvas (each at least 1), back
// to front: background, grid, frame, ticks and labels, suspensions, the
// bounds band, fitted line, points, legend, title.
std::vector<PlotShape> layoutPlot(const PlotModel& model, int width, int height);
