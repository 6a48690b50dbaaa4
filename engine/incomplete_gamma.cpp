// ln Gamma and the regularized incomplete gamma functions; see the header for
// method, domain and accuracy.
#include "engine/incomplete_gamma.h"

#include <cmath>
#include <limits>

#include "engine/portable_math.h"
#include "engine/probability_kernels.h"

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double epsilon = std::numeric_limits<double>::epsilon();

// 0.5 ln(2 pi).
constexpr double halfLogTwoPi = 0.91893853320467274178032973640562;

// Stirling's series is used from this argument on: its first omitted term,
// 3617 / (122400 x^15), is then below 1e-16.
constexpr double stirlingFrom = 10;

// The coefficients B_2k / (2k (2k - 1)) of Stirling's series, k = 1..7.
constexpr double stirlingCoefficients[] = {
    1.0 / 12, -1.0 / 360, 1.0 / 1260, -1.0 / 1680, 1.0 / 1188, -691.0 / 360360, 1.0 / 156,
};

// The continued fraction's stand-in for a zero denominator (Lentz).
constexpr double lentzTiny = 1e-300;

// No sum or fraction needs more terms for a, x in the double range that the
// likelihoods meet; the bound only keeps a NaN from looping.
constexpr int maximumTerms = 100000;

// ln(x^a e^-x / Gamma(a)), the common factor of P and Q.
double logPrefactor(double a, double x) { return a * portableLog(x) - x - logGamma(a); }

// ln P by the series (x < a + 1).
double logSeriesP(double a, double x) {
    double term = 1 / a;
    double sum = term;
    for (int k = 1; k < maximumTerms; ++k) {
        term = term * x / (a + k);
        sum += term;
        if (term < sum * epsilon) break;
    }
    return logPrefactor(a, x) + portableLog(sum);
}

// ln Q by the continued fraction (x >= a + 1).
double logFractionQ(double a, double x) {
    double b = x + 1 - a;
    double c = 1 / lentzTiny;
    double d = 1 / b;
    double h = d;
    for (int i = 1; i < maximumTerms; ++i) {
        const double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        if (std::fabs(d) < lentzTiny) d = lentzTiny;
        c = b + an / c;
        if (std::fabs(c) < lentzTiny) c = lentzTiny;
        d = 1 / d;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1) < epsilon) break;
    }
    return logPrefactor(a, x) + portableLog(h);
}

// ln(1 - e^v) for v <= 0.
double logOneMinusExp(double v) { return portableLog1p(-portableExp(v)); }

}  // namespace

double logGamma(double x) {
    if (!(x > 0)) return notANumber;
    if (x == inf) return inf;
    if (x == 1 || x == 2) return 0;
    double product = 1;
    while (x < stirlingFrom) {
        product *= x;
        x += 1;
    }
    const double inverse = 1 / x;
    const double inverseSquare = inverse * inverse;
    double series = 0;
    for (int k = 6; k >= 0; --k) series = series * inverseSquare + stirlingCoefficients[k];
    const double stirling = (x - 0.5) * portableLog(x) - x + halfLogTwoPi + series * inverse;
    return stirling - portableLog(product);
}

double logRegularizedGammaP(double a, double x) {
    if (!(a > 0) || !(x >= 0) || a == inf) return notANumber;
    if (x == 0) return -inf;
    if (x == inf) return 0;
    if (x < a + 1) return logSeriesP(a, x);
    return logOneMinusExp(logFractionQ(a, x));
}

double logRegularizedGammaQ(double a, double x) {
    if (!(a > 0) || !(x >= 0) || a == inf) return notANumber;
    if (x == 0) return 0;
    if (x == inf) return -inf;
    if (x < a + 1) return logOneMinusExp(logSeriesP(a, x));
    return logFractionQ(a, x);
}

double regularizedGammaP(double a, double x) { return portableExp(logRegularizedGammaP(a, x)); }

double regularizedGammaQ(double a, double x) { return portableExp(logRegularizedGammaQ(a, x)); }

double regularizedGammaPInverse(double a, double p) {
    if (!(a > 0) || std::isnan(p)) return notANumber;
    if (p <= 0) return 0;
    if (p >= 1) return inf;
    double lo = 0;
    double hi = a > 1 ? a : 1;
    while (regularizedGammaP(a, hi) < p) {
        lo = hi;
        hi *= 2;
        if (!std::isfinite(hi)) return inf;
    }
    const double logGammaA = logGamma(a);
    double x = lo / 2 + hi / 2;
    for (int step = 0; step < 200; ++step) {
        const double f = regularizedGammaP(a, x) - p;
        if (f == 0) return x;
        if (f < 0) {
            lo = x;
        } else {
            hi = x;
        }
        const double density = portableExp((a - 1) * portableLog(x) - x - logGammaA);
        double next = x - f / density;
        if (!(next > lo && next < hi)) next = lo / 2 + hi / 2;
        const bool settled = std::fabs(next - x) <= 4 * epsilon * x;
        x = next;
        if (settled || !(lo < hi)) break;
    }
    return x;
}
