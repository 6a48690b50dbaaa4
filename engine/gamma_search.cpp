// Location parameter by the curvature of the Weibull plot.
//
// For a trial location g the points (ln(t_i - g), ln ln(1/(1 - F(i)))) lie on
// a straight line exactly when the three-parameter model fits with gamma = g.
// A least-squares parabola through them bends down (leading coefficient
// a < 0) when g is too small and up when it is too large; the search brackets
// that change of sign in [0, 0.99 t_1] and halves the bracket. The squared
// correlation r2 of the points only decides when halving no longer matters.
// The ordinates do not depend on g: they and their own sums are formed once
// per search.
#include "engine/gamma_search.h"

#include <cmath>

#include "engine/passes.h"

namespace {

// Halvings of the bracket at the most.
constexpr int maxHalvings = 64;

}  // namespace

// Leading coefficient by Cramer's rule on the normal equations
//     | S4 S3 S2 | |a|   |T2|
//     | S3 S2 S1 | |b| = |T1|
//     | S2 S1 n  | |c|   |T0|
// with S_k = sum x^k, T_k = sum x^k y. A singular matrix is not guarded:
// D = 0 gives an infinite a (its sign counts) or NaN (sign 0).
int curvatureSign(std::span<const double> times, std::span<const double> ordinates, double g, PassPool& pool,
                  ScratchVector<double>& scratch, double* r2, const OrdinateSums* ys) {
    const double n = static_cast<double>(times.size());
    const CurvatureSums s = curvatureSums(times.data(), ordinates.data(), times.size(), g, pool, scratch, ys);
    const double D = s.S4 * (s.S2 * n - s.S1 * s.S1) + s.S3 * (s.S1 * s.S2 - s.S3 * n) +
                     s.S2 * (s.S3 * s.S1 - s.S2 * s.S2);
    const double N = s.T2 * (s.S2 * n - s.S1 * s.S1) + s.T1 * (s.S1 * s.S2 - s.S3 * n) +
                     s.T0 * (s.S1 * s.S3 - s.S2 * s.S2);
    const double a = N / D;
    *r2 = (s.Cxy * s.Cxy) / (s.Cxx * s.Cyy);
    if (a < 0) return -1;
    if (a > 0) return 1;
    return 0;  // zero or not a number
}

// Returns 0 when the plot does not bend down at g = 0, 0.99 t_1 when it still
// does not bend up there, and otherwise the midpoint at which the summed
// change of r2 against both bracket ends falls below gammaSearchTolerance
// (or the 64th midpoint). The result never exceeds 0.99 t_1.
double searchGamma(std::span<const double> times, std::span<const double> ordinates, double smallestTime,
                   PassPool& pool, SearchProgress progress) {
    ScratchVector<double> scratch;                                             // ln(t_i - g) of the current candidate
    const OrdinateSums ys = ordinateSums(ordinates.data(), ordinates.size());  // the same for every candidate
    auto signAt = [&](double g, double* r2) { return curvatureSign(times, ordinates, g, pool, scratch, r2, &ys); };
    double lo = 0;
    double hi = gammaBracketFraction * smallestTime;
    double rLo = 0, rHi = 0;
    int sLo = signAt(lo, &rLo);
    const int sHi = signAt(hi, &rHi);
    if (sLo >= 0) return 0;
    if (sHi <= 0) return hi;

    double mid = lo;
    for (int halving = 0; halving < maxHalvings; ++halving) {
        mid = (lo + hi) / 2;
        double rMid = 0;
        const int sMid = signAt(mid, &rMid);
        if (progress) progress(halving + 1);
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
