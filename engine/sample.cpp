// Plotting positions F(i) and the Weibull-plot coordinates.
//
// Each rank formula forms its numerator and its denominator first and then
// divides once; i and n convert from 32-bit unsigned counts to doubles
// exactly. Nothing is clamped: method 2 gives F(1) = 0 and F(n) = 1, whose
// ordinates are -inf and +inf, and those infinities are meant to reach the
// report and the location search unchanged.
#include "engine/sample.h"

#include "engine/portable_math.h"

namespace {

double sampleCount() { return static_cast<double>(analysisState.sample.n); }

}  // namespace

int compareTimes(const void* a, const void* b) {
    const double d = *static_cast<const double*>(a) - *static_cast<const double*>(b);
    if (d == 0) return 0;
    if (d < 0) return -1;
    return 1;  // d > 0, or d not a number (inf - inf)
}

double rankMeanI(std::uint32_t i) {
    return static_cast<double>(i) / (sampleCount() + 1.0);
}

double rankEndpoints(std::uint32_t i) {
    return (static_cast<double>(i) - 1.0) / (sampleCount() - 1.0);
}

double rankMedian(std::uint32_t i) {
    return (static_cast<double>(i) - 0.3) / (sampleCount() + 0.4);
}

double rankHazen(std::uint32_t i) {
    return (static_cast<double>(i) - 0.5) / sampleCount();
}

RankFunction rankFunctionOf(RankMethod method) {
    switch (method) {
        case 1: return rankMeanI;
        case 2: return rankEndpoints;
        case 3: return rankMedian;
        case 4: return rankHazen;
        default: return nullptr;
    }
}

const char* rankLabelOf(RankMethod method) {
    static const char* const labels[4] = {"i/(n+1)", "(i-1)/(n-1)", "(i-0.3)/(n+0.4)", "(i-0.5)/n"};
    if (method < 1 || method > 4) return "";
    return labels[method - 1];
}

double weibullPlotX(double t, double g) { return portableLog(t - g); }

double weibullPlotY(double F) {
    const double survival = 1.0 - F;
    const double inverse = 1.0 / survival;
    return portableLog(portableLog(inverse));
}
