// expm1, log1p, erfc and the normal quantile over the engine's own log and exp.
//
// Every formula below is evaluated in the order written with IEEE doubles
// (the build forbids contraction into fused multiply-adds); the only
// elementary functions are portableLog, portableExp and std::sqrt (correctly
// rounded by IEEE 754), so the results carry the same bits everywhere.
#include "engine/probability_kernels.h"

#include <cmath>
#include <limits>

#include "engine/portable_math.h"

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

// Above this e^x overflows (the largest x with a finite e^x, rounded down).
constexpr double expOverflow = 709.782712893384;

// sqrt(1/2), 1/sqrt(pi) and sqrt(2 pi), the doubles nearest the true values.
constexpr double sqrtHalf = 0.70710678118654752440;
constexpr double inverseSqrtPi = 0.56418958354775628695;
constexpr double sqrtTwoPi = 2.50662827463100050242;

// Evaluates sum_k c[k] x^k (coefficients from the highest power down) by
// Horner's scheme.
template <int N>
double horner(const double (&c)[N], double x) {
    double sum = c[0];
    for (int k = 1; k < N; ++k) sum = sum * x + c[k];
    return sum;
}

// W. J. Cody, "Rational Chebyshev approximations for the error function",
// Math. Comp. 23 (1969) 631-637, the double-precision sets of his CALERF:
//   |x| <= 0.46875:      erf x  = x A(x^2) / B(x^2)
//   0.46875 < x <= 4:    erfc x = e^(-x^2) C(x) / D(x)
//   x > 4:               erfc x = e^(-x^2) / x (1/sqrt(pi) + P(1/x^2) / Q(1/x^2) / x^2)
// Coefficients as published, highest power first; B, D and Q have a leading 1.
constexpr double erfA[5] = {1.85777706184603153e-1, 3.16112374387056560e00, 1.13864154151050156e02,
                            3.77485237685302021e02, 3.20937758913846947e03};
constexpr double erfB[5] = {1.0, 2.36012909523441209e01, 2.44024637934444173e02, 1.28261652607737228e03,
                            2.84423683343917062e03};
constexpr double erfcC[9] = {2.15311535474403846e-8, 5.64188496988670089e-1, 8.88314979438837594e00,
                             6.61191906371416295e01, 2.98635138197400131e02, 8.81952221241769090e02,
                             1.71204761263407058e03, 2.05107837782607147e03, 1.23033935479799725e03};
constexpr double erfcD[9] = {1.0,
                             1.57449261107098347e01,
                             1.17693950891312499e02,
                             5.37181101862009858e02,
                             1.62138957456669019e03,
                             3.29079923573345963e03,
                             4.36261909014324716e03,
                             3.43936767414372164e03,
                             1.23033935480374942e03};
constexpr double erfcP[6] = {1.63153871373020978e-2, 3.05326634961232344e-1, 3.60344899949804439e-1,
                             1.25781726111229246e-1, 1.60837851487422766e-2, 6.58749161529837803e-4};
constexpr double erfcQ[6] = {1.0,
                             2.56852019228982242e00,
                             1.87295284992346047e00,
                             5.27905102951428412e-1,
                             6.05183413124413191e-2,
                             2.33520497626869185e-3};

// Below this |x| erf x = 2x/sqrt(pi) to double precision; from this x on
// erfc x is below the smallest normal double; up to this |x| erf x comes from
// Cody's first approximation.
constexpr double erfTiny = 1.11e-16;
constexpr double erfcBig = 26.543;
constexpr double erfCentralEnd = 0.46875;

// erf x for |x| <= 0.46875, to a few units in the last place relative to
// erf x itself (so also for the small x where erfc x is near 1).
double erfCentral(double x) {
    const double y = std::fabs(x);
    const double ysq = y > erfTiny ? y * y : 0;
    return x * horner(erfA, ysq) / horner(erfB, ysq);
}

// e^(-y^2) r for y >= 0.46875: y = s + d with s = trunc(16 y)/16, so that
// s^2 is exact and e^(-y^2) = e^(-s^2) e^(-(y - s)(y + s)) loses nothing to
// the rounding of y^2 (whose error would be multiplied by y^2 in the result).
double timesGaussian(double y, double r) {
    const double s = std::trunc(16 * y) / 16;
    const double d = (y - s) * (y + s);
    return portableExp(-(s * s)) * portableExp(-d) * r;
}

// P. J. Acklam's rational approximation of the normal quantile (relative
// error below 1.15e-9 over (0, 1)), highest power first.
constexpr double acklamA[6] = {-3.969683028665376e+01, 2.209460984245205e+02,  -2.759285104469687e+02,
                               1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
constexpr double acklamB[6] = {-5.447609879822406e+01, 1.615858368580409e+02,  -1.556989798598866e+02,
                               6.680131188771972e+01,  -1.328068155288572e+01, 1.0};
constexpr double acklamC[6] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                               -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
constexpr double acklamD[5] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                               3.754408661907416e+00, 1.0};
constexpr double acklamLow = 0.02425;

// Acklam's approximation for 0 < p <= 1/2.
double acklamQuantile(double p) {
    if (p < acklamLow) {
        const double q = std::sqrt(-2 * portableLog(p));
        return horner(acklamC, q) / horner(acklamD, q);
    }
    const double q = p - 0.5;
    const double r = q * q;
    return horner(acklamA, r) * q / horner(acklamB, r);
}

}  // namespace

// Method: Kahan's formula expm1 x = (u - 1) x / ln u with u = e^x rounded:
// the rounding errors of u - 1 and ln u cancel in the quotient (Higham,
// Accuracy and Stability of Numerical Algorithms, 2nd ed., 1.14.1). Where u
// rounds to 1 the answer is x itself, where u - 1 rounds to -1 it is -1.
// x / ln u is formed first, so that no product overflows. Accuracy: below 4
// units in the last place (measured against 40-digit values in the tests).
double portableExpm1(double x) {
    if (x > expOverflow) return infinity;  // a NaN passes on through u
    const double u = portableExp(x);
    if (u == 1) return x;
    const double um1 = u - 1;
    if (um1 == -1) return -1;
    return um1 * (x / portableLog(u));
}

// Method: Goldberg's formula log1p x = x ln u / (u - 1) with u = 1 + x
// rounded (What Every Computer Scientist Should Know About Floating-Point
// Arithmetic, 1991, theorem 4): the error of forming u cancels in the
// quotient. x / (u - 1) is formed first, so that no product overflows.
// Accuracy: below 4 units in the last place (measured against 40-digit
// values in the tests).
double portableLog1p(double x) {
    if (x == infinity) return infinity;
    const double u = 1 + x;
    if (u == 1) return x;
    return portableLog(u) * (x / (u - 1));
}

// Method: Cody's three rational approximations (see the table above), with
// erfc(-x) = 2 - erfc(x). Domain: every double. Accuracy: the approximations
// themselves are good to about 1e-18; evaluated in double arithmetic the
// result is within 8 units in the last place for x < 26.5 (the tests
// measure it against 40-digit values).
double portableErfc(double x) {
    if (std::isnan(x)) return x;
    const double y = std::fabs(x);
    if (y <= erfCentralEnd) return 1 - erfCentral(x);
    double r = 0;
    if (y <= 4) {
        r = timesGaussian(y, horner(erfcC, y) / horner(erfcD, y));
    } else if (y < erfcBig) {
        const double z = 1 / (y * y);
        const double tail = z * horner(erfcP, z) / horner(erfcQ, z);
        r = timesGaussian(y, (inverseSqrtPi - tail) / y);
    }
    return x < 0 ? 2 - r : r;
}

// Method: for p <= 1/2, Acklam's approximation x0 refined by one Halley step
// on Phi(x) - p:
//     e = Phi(x0) - p,  u = e sqrt(2 pi) e^(x0^2/2),  x = x0 - u/(1 + x0 u/2).
// Halley's step triples the number of correct digits, so the result is as
// accurate as e. Near the centre e is formed as (Phi(x0) - 1/2) - (p - 1/2)
// with Phi(x) - 1/2 = -erf(-x/sqrt2)/2 and p - 1/2 exact, elsewhere as
// erfc(-x/sqrt2)/2 - p; neither cancels. For p > 1/2, x(p) = -x(1 - p),
// 1 - p being exact there. Domain: 1e-300 <= p < 1 (below, e^(x^2/2)
// overflows and the result is the approximation's). Accuracy: within 8
// units in the last place (measured against 40-digit values in the tests),
// apart from |x| < 1e-3, where x itself is ill-conditioned (the rounding of
// p alone moves it by 0.5 ulp(p) / phi(0), that is by 3e-17 absolutely) and
// the error stays below 1e-18 absolutely.
double normalQuantile(double p) {
    if (std::isnan(p)) return p;
    if (p <= 0) return -infinity;
    if (p > 0.5) return -normalQuantile(1 - p);  // p >= 1 reflects to p <= 0: +inf
    if (p == 0.5) return 0;
    const double x0 = acklamQuantile(p);
    const double y = -x0 * sqrtHalf;
    const double e = y <= erfCentralEnd ? -0.5 * erfCentral(y) - (p - 0.5) : 0.5 * portableErfc(y) - p;
    const double u = e * sqrtTwoPi * portableExp(x0 * x0 / 2);
    if (!std::isfinite(u)) return x0;
    return x0 - u / (1 + x0 * u / 2);
}
