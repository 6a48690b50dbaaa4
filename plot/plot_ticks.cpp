// Tick choice for the Weibull plot's axes. Tick values are decimals formed
// with a single rounding, so that their texts are the decimals themselves,
// and placed with the engine's portable logarithm.
#include "plot/plot_ticks.h"

#include <charconv>
#include <cmath>
#include <span>
#include <string>

#include "engine/portable_math.h"
#include "engine/sample.h"

namespace {

// ln 10, to find which decades a range of natural logarithms touches (only
// a search bound: tick positions are formed with portableLog).
constexpr double ln10 = 2.30258509299404568402;

// An axis is labelled with about this many ticks.
constexpr std::size_t minimumTicks = 3;
constexpr std::size_t maximumTicks = 10;

// printf's "%.6g", exactly rounded: "0.002", "5000", "100000", "1e+06".
std::string tickText(double value) {
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, r.ptr);
}

// 10^k: exact for 0 <= k <= 22 (products of exact integers), else the
// portable power.
double tenPower(int k) {
    if (k < 0 || k > 22) return portablePow(10.0, k);
    double power = 1.0;
    for (int i = 0; i < k; ++i) power *= 10.0;
    return power;
}

// c x 10^k with a single rounding (for |k| <= 22 and integer c below 2^53):
// the double nearest the decimal c e k.
double decimal(double c, int k) { return k >= 0 ? c * tenPower(k) : c / tenPower(-k); }

bool inside(double position, double lo, double hi) { return position >= lo && position <= hi; }

// Ticks at c x 10^k for each c in `mantissas` and each k that is a multiple
// of `decadeStep`, whose logarithm lies in [lo, hi].
std::vector<PlotTick> logTicks(double lo, double hi, std::span<const int> mantissas, int decadeStep) {
    std::vector<PlotTick> ticks;
    const int firstDecade = static_cast<int>(std::floor(lo / ln10)) - 1;
    const int lastDecade = static_cast<int>(std::ceil(hi / ln10)) + 1;
    for (int k = firstDecade; k <= lastDecade; ++k) {
        if (k % decadeStep != 0) continue;
        for (int c : mantissas) {
            const double value = decimal(c, k);
            const double position = portableLog(value);
            if (inside(position, lo, hi)) ticks.push_back({position, tickText(value)});
        }
    }
    return ticks;
}

// Evenly spaced ticks in data units: the step is the largest 1, 2 or 5 x
// 10^k that is at most a third of the range, which gives three to eight.
std::vector<PlotTick> linearTicks(double lo, double hi) {
    const double a = portableExp(lo);
    const double b = portableExp(hi);
    const double third = (b - a) / 3;
    std::vector<PlotTick> ticks;
    if (!(third > 0) || !std::isfinite(third)) return ticks;
    // From 1 x 10^k a decade above the third downwards: 1, 5, 2, 1, ...
    int decade = static_cast<int>(std::floor(portableLog(third) / ln10)) + 1;
    double c = 1;
    while (decimal(c, decade) > third) {
        if (c == 1) {
            c = 5;
            --decade;
        } else {
            c = c == 5 ? 2 : 1;
        }
    }
    const double step = decimal(c, decade);
    for (double j = std::floor(a / step); j * step <= b; ++j) {
        const double value = decimal(j * c, decade);
        const double position = portableLog(value);
        if (inside(position, lo, hi)) ticks.push_back({position, tickText(value)});
    }
    return ticks;
}

void addPercentTick(std::vector<PlotTick>& ticks, double lo, double hi, double F, std::string label) {
    const double position = weibullPlotY(F);
    if (inside(position, lo, hi)) ticks.push_back({position, std::move(label)});
}

}  // namespace

std::vector<PlotTick> logAxisTicks(double lo, double hi) {
    static constexpr int oneTwoFive[] = {1, 2, 5};
    static constexpr int one[] = {1};
    static constexpr int oneToSeven[] = {1, 2, 3, 5, 7};
    static constexpr int digits[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::vector<PlotTick> ticks = logTicks(lo, hi, oneTwoFive, 1);
    if (ticks.size() > maximumTicks) {
        for (int step : {1, 2, 5, 10, 20, 50, 100, 200}) {
            ticks = logTicks(lo, hi, one, step);
            if (ticks.size() <= maximumTicks) break;
        }
        return ticks;
    }
    if (ticks.size() > minimumTicks) return ticks;
    ticks = logTicks(lo, hi, oneToSeven, 1);
    if (ticks.size() >= minimumTicks) return ticks;
    ticks = logTicks(lo, hi, digits, 1);
    if (ticks.size() >= minimumTicks) return ticks;
    return linearTicks(lo, hi);
}

std::vector<PlotTick> percentAxisTicks(double lo, double hi) {
    static constexpr double percents[] = {1, 5, 10, 20, 30, 50, 63.2, 90, 99, 99.9};
    std::vector<PlotTick> ticks;
    for (int k = 12; k >= 3; --k) addPercentTick(ticks, lo, hi, decimal(1, -k), tickText(decimal(1, 2 - k)));
    for (double p : percents) addPercentTick(ticks, lo, hi, p / 100, tickText(p));
    std::string nines = "99.9";
    for (int k = 4; k <= 8; ++k) {
        nines += '9';
        addPercentTick(ticks, lo, hi, 1 - decimal(1, -k), nines);
    }
    if (ticks.size() >= 2) return ticks;
    for (int step : {1, 2, 5, 10}) {
        ticks.clear();
        for (int p = step; p < 100; p += step) addPercentTick(ticks, lo, hi, p / 100.0, std::to_string(p));
        if (ticks.size() <= maximumTicks) break;
    }
    return ticks;
}
