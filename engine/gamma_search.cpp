// Location parameter by the curvature of the Weibull plot.
//
// For a trial location g the points (ln(t_i - g), ln ln(1/(1 - F(i)))) lie on
// a straight line exactly when the three-parameter model fits with gamma = g.
// A least-squares parabola through them bends down (leading coefficient
// a < 0) when g is too small and up when it is too large; the search brackets
// that change of sign in [0, 0.99 t_1] and halves the bracket. The squared
// correlation r2 of the points only decides when halving no longer matters.
// The ordinates do not depend on g and are formed once per search.
#include "engine/gamma_search.h"

#include <cmath>

#include "engine/sample.h"
#include "engine/solver.h"

namespace {

// Halvings of the bracket at the most.
constexpr int maxHalvings = 64;

struct PlotPoint {
    double x;
    double y;
};

}  // namespace

std::vector<double> plotOrdinates(std::uint32_t n, RankMethod method) {
    const RankFunction F = rankFunctionOf(method);
    std::vector<double> y(n);
    for (std::uint32_t i = 0; i < n; ++i) y[i] = weibullPlotY(F(i + 1, n));
    return y;
}

// Leading coefficient by Cramer's rule on the normal equations
//     | S4 S3 S2 | |a|   |T2|
//     | S3 S2 S1 | |b| = |T1|
//     | S2 S1 n  | |c|   |T0|
// with S_k = sum x^k, T_k = sum x^k y. A singular matrix is not guarded:
// D = 0 gives an infinite a (its sign counts) or NaN (sign 0).
int curvatureSign(std::span<const double> times, std::span<const double> ordinates, double g, double* r2) {
    const std::size_t count = times.size();
    const double n = static_cast<double>(count);
    auto plotPoint = [&](std::size_t i) { return PlotPoint{weibullPlotX(times[i], g), ordinates[i]}; };
    double S1 = 0, S2 = 0, S3 = 0, S4 = 0, T0 = 0, T1 = 0, T2 = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const PlotPoint p = plotPoint(i);
        const double x2 = integerPower(p.x, 2);
        S4 += integerPower(p.x, 4);
        S3 += integerPower(p.x, 3);
        S2 += x2;
        S1 += p.x;
        T2 += x2 * p.y;
        T1 += p.x * p.y;
        T0 += p.y;
    }
    const double D = S4 * (S2 * n - S1 * S1) + S3 * (S1 * S2 - S3 * n) + S2 * (S3 * S1 - S2 * S2);
    const double N = T2 * (S2 * n - S1 * S1) + T1 * (S1 * S2 - S3 * n) + T0 * (S1 * S3 - S2 * S2);
    const double a = N / D;

    const double xMean = S1 / n;
    const double yMean = T0 / n;
    double Cxy = 0, Cxx = 0, Cyy = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const PlotPoint p = plotPoint(i);
        const double dx = p.x - xMean;
        const double dy = p.y - yMean;
        Cxy += dx * dy;
        Cxx += integerPower(dx, 2);
        Cyy += integerPower(dy, 2);
    }
    *r2 = (Cxy * Cxy) / (Cxx * Cyy);

    if (a < 0) return -1;
    if (a > 0) return 1;
    return 0;  // zero or not a number
}

// Returns 0 when the plot does not bend down at g = 0, 0.99 t_1 when it still
// does not bend up there, and otherwise the midpoint at which the summed
// change of r2 against both bracket ends falls below gammaSearchTolerance
// (or the 64th midpoint). The result never exceeds 0.99 t_1.
double searchGamma(std::span<const double> sortedTimes, RankMethod method, SearchProgress progress) {
    const std::vector<double> ordinates = plotOrdinates(static_cast<std::uint32_t>(sortedTimes.size()), method);
    double lo = 0;
    double hi = gammaBracketFraction * sortedTimes[0];
    double rLo = 0, rHi = 0;
    int sLo = curvatureSign(sortedTimes, ordinates, lo, &rLo);
    const int sHi = curvatureSign(sortedTimes, ordinates, hi, &rHi);
    if (sLo >= 0) return 0;
    if (sHi <= 0) return hi;

    double mid = lo;
    for (int halving = 0; halving < maxHalvings; ++halving) {
        mid = (lo + hi) / 2;
        double rMid = 0;
        const int sMid = curvatureSign(sortedTimes, ordinates, mid, &rMid);
        if (progress != nullptr) progress(halving + 1);
        if (std::fabs(rMid - rLo) + std::fabs(rMid - rHi) < gammaSearchTolerance) return mid;
        if (sMid == sLo) {
            lo = mid;
            sLo = sMid;
            rLo = rMid;
        } else {
            hi = mid;
            rHi = rMid;
        }
    }
    return mid;
}
