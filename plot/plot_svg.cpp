// The SVG renderer: each shape of the layout as one element, numbers written
// by std::to_chars (exactly rounded, the same text on every platform).
#include <charconv>
#include <cstdio>
#include <initializer_list>

#include "plot/comparison_plot.h"
#include "plot/plot_layout.h"
#include "plot/plot_model.h"

namespace {

constexpr int svgWidth = 720;
constexpr int svgHeight = 540;
constexpr int comparisonWidth = 1200;
constexpr int comparisonHeight = 660;

// A pixel coordinate with at most two decimals, trailing zeros dropped.
void appendNumber(std::string& out, double value) {
    char text[40];
    // Adding 0 turns -0 into +0, so that no "-0" is written.
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value + 0.0, std::chars_format::fixed, 2);
    char* end = r.ptr;
    while (end[-1] == '0') --end;
    if (end[-1] == '.') --end;
    out.append(text, static_cast<std::size_t>(end - text));
}

void appendAttribute(std::string& out, const char* name, double value) {
    out += ' ';
    out += name;
    out += "=\"";
    appendNumber(out, value);
    out += '"';
}

void appendColour(std::string& out, const char* name, PlotColour colour) {
    static const char hex[] = "0123456789abcdef";
    const std::uint8_t parts[3] = {colour.red, colour.green, colour.blue};
    out += ' ';
    out += name;
    out += "=\"#";
    for (std::uint8_t part : parts) {
        out += hex[part >> 4];
        out += hex[part & 15];
    }
    out += '"';
}

// Length of the UTF-8 sequence at `p` (1 to 4 bytes), or 0 when the bytes
// there are not a well-formed sequence (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF).
std::size_t utf8Length(const unsigned char* p, std::size_t available) {
    const unsigned char lead = p[0];
    std::size_t length = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf)
        length = 2;
    else if (lead >= 0xe0 && lead <= 0xef)
        length = 3;
    else if (lead >= 0xf0 && lead <= 0xf4)
        length = 4;
    if (length == 0 || length > available) return 0;
    if (lead == 0xe0) lo = 0xa0;
    if (lead == 0xed) hi = 0x9f;
    if (lead == 0xf0) lo = 0x90;
    if (lead == 0xf4) hi = 0x8f;
    if (p[1] < lo || p[1] > hi) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (p[i] < 0x80 || p[i] > 0xbf) return 0;
    }
    return length;
}

// Text content escaped for XML: the five markup characters as entities;
// control characters and bytes that are not UTF-8 as '?'.
void appendEscaped(std::string& out, const std::string& text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = bytes[i];
        if (c >= 0x80) {
            const std::size_t length = utf8Length(bytes + i, text.size() - i);
            if (length == 0) {
                out += '?';
                ++i;
            } else {
                out.append(text, i, length);
                i += length;
            }
            continue;
        }
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c); break;
        }
        ++i;
    }
}

const char* anchorName(TextAnchor anchor) {
    switch (anchor) {
        case TextAnchor::middle: return "middle";
        case TextAnchor::end: return "end";
        case TextAnchor::start: break;
    }
    return "start";
}

// A number attribute of an element.
struct NumberAttribute {
    const char* name;
    double value;
};

// "<name class="role" a="1" b="2"": the start of an element and its number
// attributes, in order; the rest of its attributes to follow.
void openElement(std::string& out, const char* name, const char* role,
                 std::initializer_list<NumberAttribute> numbers = {}) {
    out += '<';
    out += name;
    out += " class=\"";
    out += role;
    out += '"';
    for (const NumberAttribute& number : numbers) appendAttribute(out, number.name, number.value);
}

// The stroke of a line or an outline: its colour and width.
void appendStroke(std::string& out, const PlotShape& s) {
    appendColour(out, "stroke", s.stroke);
    appendAttribute(out, "stroke-width", s.strokeWidth);
}

void appendShape(std::string& out, const PlotShape& s) {
    switch (s.kind) {
        case ShapeKind::line:
            openElement(out, "line", s.role, {{"x1", s.x1}, {"y1", s.y1}, {"x2", s.x2}, {"y2", s.y2}});
            break;
        case ShapeKind::polyline:
            openElement(out, "polyline", s.role);
            out += " points=\"";
            for (std::size_t i = 0; i < s.path.size(); ++i) {
                if (i > 0) out += ' ';
                appendNumber(out, s.path[i].x);
                out += ',';
                appendNumber(out, s.path[i].y);
            }
            out += "\" fill=\"none\"";
            break;
        case ShapeKind::circle:
            openElement(out, "circle", s.role, {{"cx", s.x1}, {"cy", s.y1}, {"r", s.x2}});
            appendColour(out, "fill", s.fill);
            out += "/>\n";
            return;
        case ShapeKind::rectangle:
            openElement(out, "rect", s.role,
                        {{"x", s.x1}, {"y", s.y1}, {"width", s.x2 - s.x1}, {"height", s.y2 - s.y1}});
            if (s.filled)
                appendColour(out, "fill", s.fill);
            else
                out += " fill=\"none\"";
            if (s.strokeWidth > 0) appendStroke(out, s);
            out += "/>\n";
            return;
        case ShapeKind::text:
            openElement(out, "text", s.role, {{"x", s.x1}, {"y", s.y1}, {"font-size", s.fontSize}});
            out += " text-anchor=\"";
            out += anchorName(s.anchor);
            out += '"';
            appendColour(out, "fill", s.fill);
            out += '>';
            appendEscaped(out, s.text);
            out += "</text>\n";
            return;
    }
    // A line and a curve (the band) end alike: their stroke, then the end of the element.
    appendStroke(out, s);
    out += "/>\n";
}

// The document's head up to its <title> text: "<?xml ...><svg ...><title>" and `caption`.
std::string svgHead(int width, int height, const char* caption) {
    const std::string w = std::to_string(width < 1 ? 1 : width);
    const std::string h = std::to_string(height < 1 ? 1 : height);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w +
           " " + h + "\" font-family=\"sans-serif\">\n<title>";
    out += caption;
    return out;
}

bool writeFile(const char* path, const std::string& svg) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(svg.data(), 1, svg.size(), file) == svg.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

}  // namespace

std::string plotSvg(const PlotModel& model, int width, int height) {
    const std::vector<PlotShape> shapes = layoutPlot(model, width, height);
    std::string out = svgHead(width, height, "Weibull plot: ");
    appendEscaped(out, model.title);
    out += "</title>\n";
    for (const PlotShape& shape : shapes) appendShape(out, shape);
    out += "</svg>\n";
    return out;
}

bool writeWeibullPlotSvg(const char* path, const PlotInput& input) {
    return writeFile(path, plotSvg(buildPlotModel(input), svgWidth, svgHeight));
}

std::string comparisonPlotSvg(const ComparisonPlotModel& model, int width, int height) {
    const ComparisonLayout layout = layoutComparisonPlot(model, width, height);
    std::string out = svgHead(width, height, "Distribution comparison: ");
    appendEscaped(out, model.title);
    out += "</title>\n";
    for (const PlotShape& shape : layout.page) appendShape(out, shape);
    for (std::size_t k = 0; k < layout.panels.size(); ++k) {
        out += "<g class=\"panel\" id=\"panel-";
        out += distributionName(model.panels[k].distribution);
        out += "\">\n";
        for (const PlotShape& shape : layout.panels[k]) appendShape(out, shape);
        out += "</g>\n";
    }
    out += "</svg>\n";
    return out;
}

bool writeComparisonPlotSvg(const char* path, const ComparisonPlotInput& input) {
    return writeFile(path, comparisonPlotSvg(buildComparisonPlotModel(input), comparisonWidth, comparisonHeight));
}
