// Statistics of F(t) = 1 - exp(-(t - gamma)^m / t0), with t0^(1/m) the scale:
//     mu     = t0^(1/m) G(1 + 1/m) + gamma
//     sigma2 = t0^(2/m) (G(1 + 2/m) - G(1 + 1/m)^2)
//     xi     = t0^(1/m) (ln 2)^(1/m) + gamma
//     tm     = t0^(1/m) (1 - 1/m)^(1/m) + gamma for m > 1, else 0
// Nothing is refused: infinities and NaNs pass through and are stored.
#include "engine/statistics.h"

#include "engine/portable_math.h"
#include "engine/solver.h"

namespace {

// The double nearest pi.
constexpr double pi = 3.141592653589793;

// Bernoulli numbers B_2k, k = 1..8, exactly as held; the series coefficient
// B_2k / (2k) / (2k - 1) is formed from them at every call.
constexpr double bernoulli[8] = {
    0.16666666666666669, -0.03333333333333333, 0.023809523809523808, -0.03333333333333333,
    0.07575757575757576, -0.2531135531135531,  1.1666666666666667,   -7.092156862745098,
};

double stirlingCoefficient(int k) {
    return bernoulli[k - 1] / static_cast<double>(2 * k) / static_cast<double>(2 * k - 1);
}

}  // namespace

// Gamma(x).
//
// Method: for y >= 8, ln Gamma(y) by Stirling's series with eight terms,
//     (y - 1/2) ln y - y + ln(2 pi)/2 + sum_k c_k / y^(2k-1),
// evaluated by Horner's scheme in z = 1/y^2. Smaller arguments are shifted
// up by the recurrence Gamma(y + 1) = y Gamma(y), dividing by the product p
// of the skipped values; x < 0 uses the reflection
//     Gamma(x) = pi / (sin(pi x) Gamma(1 - x)).
// Accuracy: relative error below 1e-13 for 0 < x <= 60 and below 1e-14 on
// [1, 3], the arguments 1 + 1/m and 1 + 2/m for m >= 1 (see the tests).
// Edges: Gamma(0) = +inf (p = 0); at negative integers sin(pi x) is not
// exactly 0, so the result is large but finite; NaN gives NaN.
double gammaFunction(double x) {
    double y = x < 0 ? 1 - x : x;
    double p = 1;
    while (y < 8) {
        p = p * y;
        y = y + 1;
    }
    const double z = integerPower(y, -2);
    double series = stirlingCoefficient(8);
    for (int k = 7; k >= 1; --k) {
        series = stirlingCoefficient(k) + z * series;
    }
    const double S = series / y;
    const double L = (y - 0.5) * portableLog(y) + (((0.5 * portableLog(2 * pi) + S) - portableLog(p)) - y);
    if (x < 0) {
        return pi / (portableSin(pi * x) * portableExp(L));
    }
    return portableExp(L);
}

namespace {

// mu, sigma2, xi and tm from the scale and its square.
FitResult statisticsOfScale(FitResult r, double scale, double scaleSquared) {
    const double m = r.m;
    const double gammaOne = gammaFunction(1 / m + 1);
    r.mu = scale * gammaOne + r.gamma;
    r.sigma2 = scaleSquared * (gammaFunction(2 / m + 1) - integerPower(gammaOne, 2));
    r.xi = scale * portablePow(portableLog(2.0), 1 / m) + r.gamma;
    r.tm = m > 1 ? scale * portablePow(1 - 1 / m, 1 / m) + r.gamma : 0;
    return r;
}

}  // namespace

FitResult computeStatistics(FitResult fit) {
    return statisticsOfScale(fit, portablePow(fit.t0, 1 / fit.m), portablePow(fit.t0, 2 / fit.m));
}

FitResult computeStatistics(FitResult fit, double eta) { return statisticsOfScale(fit, eta, integerPower(eta, 2)); }
