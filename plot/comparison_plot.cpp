// The comparison's small multiples: each family's probability paper, its
// points and fitted line in plot coordinates (the engine's portable kernels,
// the same numbers on every platform), then the panels laid out in pixels.
#include "plot/comparison_plot.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/incomplete_gamma.h"
#include "engine/portable_math.h"
#include "engine/probability_kernels.h"
#include "engine/sample.h"
#include "plot/plot_geometry.h"

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// Each visible range is at least this wide in its paper's units.
constexpr double minimumSpan = 1e-6;

// Page and panels in pixels: the grid has this many columns; a panel's
// frame sits inside its cell after these margins.
constexpr int panelColumns = 4;
constexpr double pageTop = 58;
constexpr double pageMargin = 16;
constexpr double cellTop = 34;     // caption above the frame
constexpr double cellBottom = 30;  // x label below it
constexpr double cellLeft = 34;    // y label left of it
constexpr double cellRight = 12;
constexpr double titleSize = 16;
constexpr double noteSize = 12;
constexpr double captionSize = 12;
constexpr double labelSize = 11;
constexpr double pointRadius = 2.5;

bool fitted(const DistributionFit& fit) { return fit.error.empty(); }

// The location of the weibull3 paper, the scale and shape of the gamma
// paper: the fit's, or the neutral ones without a fit.
double paperGamma(const DistributionFit& fit) { return fitted(fit) ? fit.parameters[2] : 0; }
double gammaShape(const DistributionFit& fit) { return fitted(fit) ? fit.parameters[0] : 1; }
double gammaScale(const DistributionFit& fit) { return fitted(fit) ? fit.parameters[1] : 1; }

// The line y = slope x + intercept of a fit on its paper.
struct PaperLine {
    double slope, intercept;
};

PaperLine paperLine(const DistributionFit& fit) {
    const double* p = fit.parameters;
    switch (fit.distribution) {
        case Distribution::weibull2:
        case Distribution::weibull3: return {p[0], -portableLog(p[1])};
        case Distribution::exponential: return {1 / p[0], 0};
        case Distribution::lognormal:
        case Distribution::loglogistic:
        case Distribution::normal:
        case Distribution::sev: return {1 / p[1], -p[0] / p[1]};
        case Distribution::gamma: return {1, 0};
    }
    return {notANumber, notANumber};
}

std::string axisLabel(Distribution distribution, bool xAxis) {
    switch (distribution) {
        case Distribution::weibull2: return xAxis ? "ln t" : "ln(-ln(1 - F))";
        case Distribution::weibull3: return xAxis ? "ln(t - gamma)" : "ln(-ln(1 - F))";
        case Distribution::exponential: return xAxis ? "t" : "-ln(1 - F)";
        case Distribution::lognormal: return xAxis ? "ln t" : "probit F";
        case Distribution::loglogistic: return xAxis ? "ln t" : "logit F";
        case Distribution::normal: return xAxis ? "t" : "probit F";
        case Distribution::sev: return xAxis ? "t" : "ln(-ln(1 - F))";
        case Distribution::gamma: return xAxis ? "t / scale" : "gamma quantile of F";
    }
    return "";
}

std::string captionOf(const DistributionFit& fit, std::size_t place, bool ranked) {
    std::string caption = ranked ? std::to_string(place + 1) + ". " : std::string();
    caption += distributionName(fit.distribution);
    if (!fitted(fit)) return caption + "  no fit: " + fit.error;
    return caption + "  AICc = " + significantText(fit.aicc, 7);
}

// The F of each failure at Johnson's adjusted ranks (NaN for suspensions).
std::vector<double> failureProbabilities(const ComparisonPlotInput& input) {
    const auto n = static_cast<std::uint32_t>(input.sortedTimes.size());
    const RankFunction rank = rankFunctionOf(input.rankMethod);
    const std::vector<double> ranks = adjustedRanks(input.suspended, n);
    std::vector<double> probabilities(n, notANumber);
    std::size_t failure = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const bool suspended = i < input.suspended.size() && input.suspended[i] != 0;
        if (!suspended && rank != nullptr) probabilities[i] = rank(ranks[failure], n);
        failure += suspended ? 0 : 1;
    }
    return probabilities;
}

ComparisonPanel panelOf(const ComparisonPlotInput& input, const std::vector<double>& probabilities,
                        const DistributionFit& fit, std::size_t place) {
    ComparisonPanel panel{};
    panel.distribution = fit.distribution;
    panel.caption = captionOf(fit, place, input.ranked);
    panel.xLabel = axisLabel(fit.distribution, true);
    panel.yLabel = axisLabel(fit.distribution, false);
    PlotRange x{0, 0, false};
    PlotRange y{0, 0, false};
    for (std::size_t i = 0; i < input.sortedTimes.size(); ++i) {
        if (std::isnan(probabilities[i])) continue;  // a suspension
        const PlotPoint p{paperX(fit, input.sortedTimes[i]), paperY(fit, probabilities[i])};
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            ++panel.skipped;
            continue;
        }
        panel.points.push_back(p);
        include(x, p.x);
        include(y, p.y);
    }
    const PaperLine line = paperLine(fit);
    const bool hasLine = fitted(fit) && x.any && std::isfinite(line.slope) && std::isfinite(line.intercept);
    if (hasLine) {
        panel.fitStart = {x.lo, line.slope * x.lo + line.intercept};
        panel.fitEnd = {x.hi, line.slope * x.hi + line.intercept};
        // The line's ends take part in the y range up to one width of the
        // points' range beyond it, so that a poor fit still shows its slope.
        const double span = std::fmax(y.hi - y.lo, minimumSpan);
        for (const double end : {panel.fitStart.y, panel.fitEnd.y}) {
            include(y, std::fmin(std::fmax(end, y.lo - span), y.hi + span));
        }
    }
    setVisibleBox(panel, x, y, minimumSpan, minimumSpan);
    panel.hasFit = hasLine && clipToBox(panel.fitStart, panel.fitEnd, panel.xMin, panel.xMax, panel.yMin, panel.yMax);
    return panel;
}

// Maps a panel's plot coordinates into its frame.
struct PanelFrame {
    double left, top, right, bottom;
    double px(const ComparisonPanel& p, double x) const {
        return left + (x - p.xMin) * (right - left) / (p.xMax - p.xMin);
    }
    double py(const ComparisonPanel& p, double y) const {
        return bottom - (y - p.yMin) * (bottom - top) / (p.yMax - p.yMin);
    }
};

std::vector<PlotShape> panelShapes(const ComparisonPanel& panel, const PanelFrame& f) {
    std::vector<PlotShape> shapes;
    shapes.push_back(rectangleShape("frame", f.left, f.top, f.right, f.bottom, plotBlack, 1, false, plotWhite));
    shapes.push_back(textShape("caption", f.left, f.top - 8, captionSize, TextAnchor::start, panel.caption));
    shapes.push_back(
        textShape("axis-label", (f.left + f.right) / 2, f.bottom + 16, labelSize, TextAnchor::middle, panel.xLabel));
    shapes.push_back(
        textShape("axis-label", f.left + 4, f.top + labelSize + 2, labelSize, TextAnchor::start, panel.yLabel));
    if (panel.skipped > 0) {
        shapes.push_back(textShape("gap-note", f.right - 4, f.bottom - 6, labelSize, TextAnchor::end,
                                   std::to_string(panel.skipped) + " off the paper"));
    }
    if (panel.hasFit) {
        shapes.push_back(lineShape("fit", f.px(panel, panel.fitStart.x), f.py(panel, panel.fitStart.y),
                                   f.px(panel, panel.fitEnd.x), f.py(panel, panel.fitEnd.y), fitColour, 1.5));
    }
    for (const PlotPoint& p : panel.points) {
        shapes.push_back(circleShape("point", f.px(panel, p.x), f.py(panel, p.y), pointRadius, pointColour));
    }
    return shapes;
}

}  // namespace

double paperX(const DistributionFit& fit, double t) {
    switch (fit.distribution) {
        case Distribution::weibull2:
        case Distribution::lognormal:
        case Distribution::loglogistic: return t > 0 ? portableLog(t) : notANumber;
        case Distribution::weibull3: return weibullPlotX(t, paperGamma(fit));
        case Distribution::exponential:
        case Distribution::normal:
        case Distribution::sev: return t;
        case Distribution::gamma: return t / gammaScale(fit);
    }
    return notANumber;
}

double paperY(const DistributionFit& fit, double F) {
    if (!(F > 0 && F < 1)) return notANumber;
    switch (fit.distribution) {
        case Distribution::weibull2:
        case Distribution::weibull3:
        case Distribution::sev: return weibullPlotY(F);
        case Distribution::exponential: return -portableLog1p(-F);
        case Distribution::lognormal:
        case Distribution::normal: return normalQuantile(F);
        case Distribution::loglogistic: return portableLog(F) - portableLog1p(-F);
        case Distribution::gamma: return regularizedGammaPInverse(gammaShape(fit), F);
    }
    return notANumber;
}

ComparisonPlotModel buildComparisonPlotModel(const ComparisonPlotInput& input) {
    ComparisonPlotModel model;
    model.title = input.title != nullptr ? input.title : "";
    model.note = input.ranked ? "ranked by AICc, best first; each family on its own probability paper"
                              : "the comparison was stopped: not ranked, in family order";
    const std::vector<double> probabilities = failureProbabilities(input);
    for (std::size_t place = 0; place < input.fits.size(); ++place) {
        model.panels.push_back(panelOf(input, probabilities, input.fits[place], place));
    }
    return model;
}

ComparisonLayout layoutComparisonPlot(const ComparisonPlotModel& model, int width, int height) {
    const double w = std::max(width, 1);
    const double h = std::max(height, 1);
    ComparisonLayout layout;
    layout.page.push_back(rectangleShape("background", 0, 0, w, h, plotWhite, 0, true, plotWhite));
    layout.page.push_back(textShape("title", w / 2, 24, titleSize, TextAnchor::middle, model.title));
    layout.page.push_back(textShape("note", w / 2, 44, noteSize, TextAnchor::middle, model.note));
    const std::size_t count = model.panels.size();
    const std::size_t columns = std::min<std::size_t>(count, panelColumns);
    const std::size_t rows = columns == 0 ? 0 : (count + columns - 1) / columns;
    if (rows == 0) return layout;
    const double cellWidth = (w - 2 * pageMargin) / static_cast<double>(columns);
    const double cellHeight = (h - pageTop - pageMargin) / static_cast<double>(rows);
    for (std::size_t k = 0; k < count; ++k) {
        const double left = pageMargin + cellWidth * static_cast<double>(k % columns);
        const double top = pageTop + cellHeight * static_cast<double>(k / columns);
        PanelFrame frame{left + cellLeft, top + cellTop, left + cellWidth - cellRight, top + cellHeight - cellBottom};
        frame.right = std::max(frame.right, frame.left + 1);
        frame.bottom = std::max(frame.bottom, frame.top + 1);
        layout.panels.push_back(panelShapes(model.panels[k], frame));
    }
    return layout;
}
