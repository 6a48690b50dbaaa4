// Elementary functions in double-double arithmetic.
//
// Method: each kernel reduces its argument exactly (or to double-double
// precision) against a small table, evaluates a short polynomial whose
// leading terms are kept in double-double arithmetic (about 104 significant
// bits, from the error-free sums and products of Knuth and Dekker) and whose
// small tail is plain double, and rounds once at the end.
//   log: x = 2^e f, f in (1/sqrt2, sqrt2]; f = c (1 + t) with c = 1 + j/128;
//        log f = log c + 2 atanh(s), s = (f - c)/(f + c), |s| < 2^-9.
//   exp: x = (64 k + i) ln2/64 + r, |r| <= ln2/128; e^x = 2^k 2^(i/64) e^r.
//   pow: exp(y log |x|) with the product kept in double-double.
//   sin: x = k pi/2 + r with pi/2 in three parts (exact for |x| < 2^30),
//        then the Taylor series of sin r or cos r. Larger arguments are
//        reduced by the exact remainder modulo the double nearest 2 pi, which
//        is deterministic but not accurate; the engine meets such arguments
//        only in the Gamma function of a diverged fit.
// The tables (log c_j, 2^(i/64)) are built once, at first use, by plain
// series in double-double arithmetic (23 and 11 terms with ten squarings).
// Accuracy: relative error before the final rounding about 2^-70 for log and
// exp and 2^-70 + |y log x| 2^-100 for pow, so results are the correctly
// rounded doubles except near halfway points (the tests measure agreement
// with the C library: within one unit in the last place, and equal in
// almost every case).
#include "engine/portable_math.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

struct DD {
    double hi;
    double lo;
};

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// ln 2 and pi/2 in parts: hi + lo (+ lo2) to well beyond double precision.
constexpr DD ln2 = {0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};
constexpr double halfPi[3] = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54, -0x1.f1976b7ed8fbcp-110};
constexpr double invLn2 = 0x1.71547652b82fep+0;
constexpr double twoOverPi = 0x1.45f306dc9c883p-1;
constexpr double sqrt2 = 1.4142135623730951;

// Beyond these e^x overflows to inf or underflows to 0.
constexpr double expOverflow = 709.782712893384;
constexpr double expUnderflow = -745.1332191019412;

DD twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

DD fastTwoSum(double a, double b) {  // |a| >= |b|
    const double s = a + b;
    return {s, b - (s - a)};
}

void split(double a, double& hi, double& lo) {
    const double c = 134217729.0 * a;  // 2^27 + 1
    hi = c - (c - a);
    lo = a - hi;
}

DD twoProduct(double a, double b) {
    const double p = a * b;
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

DD add(DD a, DD b) {
    DD s = twoSum(a.hi, b.hi);
    const DD t = twoSum(a.lo, b.lo);
    s.lo += t.hi;
    s = fastTwoSum(s.hi, s.lo);
    s.lo += t.lo;
    return fastTwoSum(s.hi, s.lo);
}

DD negate(DD a) { return {-a.hi, -a.lo}; }

DD multiply(DD a, DD b) {
    DD p = twoProduct(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return fastTwoSum(p.hi, p.lo);
}

DD multiply(DD a, double b) {
    DD p = twoProduct(a.hi, b);
    p.lo += a.lo * b;
    return fastTwoSum(p.hi, p.lo);
}

DD divide(DD a, DD b) {
    const double q1 = a.hi / b.hi;
    DD r = add(a, negate(multiply(b, q1)));
    const double q2 = r.hi / b.hi;
    r = add(r, negate(multiply(b, q2)));
    const double q3 = r.hi / b.hi;
    return add(fastTwoSum(q1, q2), DD{q3, 0});
}

// 2^k for -1022 <= k <= 1023, built from its bits.
double powerOfTwo(int k) {
    const std::uint64_t bits = static_cast<std::uint64_t>(k + 1023) << 52;
    double p;
    std::memcpy(&p, &bits, sizeof p);
    return p;
}

// x 2^k for x in [1/2, 4) and -1076 <= k <= 1025: exact when the result is a
// normal number, rounded once when it is subnormal.
double scaleByPowerOfTwo(double x, int k) {
    if (k > 1023) return x * powerOfTwo(1023) * powerOfTwo(k - 1023);
    if (k < -1022) return x * powerOfTwo(k + 54) * powerOfTwo(-54);
    return x * powerOfTwo(k);
}

// Series coefficients, formed once in double-double: 1/(2j+1) and 1/n!.
struct Coefficients {
    static constexpr int logTerms = 23;
    static constexpr int factorials = 32;
    DD oddReciprocal[logTerms];
    DD inverseFactorial[factorials];
    Coefficients() {
        for (int j = 0; j < logTerms; ++j) oddReciprocal[j] = divide(DD{1, 0}, DD{2.0 * j + 1, 0});
        inverseFactorial[0] = DD{1, 0};
        for (int n = 1; n < factorials; ++n) {
            inverseFactorial[n] = divide(inverseFactorial[n - 1], DD{static_cast<double>(n), 0});
        }
    }
};

const Coefficients& coefficients() {
    static const Coefficients table;
    return table;
}

// x = 2^e f with f in (1/sqrt2, sqrt2], for a positive, finite x.
double normalize(double x, int& e) {
    e = 0;
    if (x < 0x1p-1022) {  // subnormal: bring it into the normal range first
        x *= 0x1p54;
        e = -54;
    }
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    e += static_cast<int>((bits >> 52) & 0x7ff) - 1023;
    bits = (bits & 0x000fffffffffffffULL) | (0x3ffULL << 52);
    double f;
    std::memcpy(&f, &bits, sizeof f);  // f in [1, 2)
    if (f > sqrt2) {
        f *= 0.5;
        ++e;
    }
    return f;
}

// a / b for an exact a, to double-double precision.
DD divideExact(double a, DD b) {
    const double q1 = a / b.hi;
    const DD p = twoProduct(q1, b.hi);
    const double r = ((a - p.hi) - p.lo) - q1 * b.lo;
    return fastTwoSum(q1, r / b.hi);
}

// log x by the plain series in s = (f-1)/(f+1), 23 terms (slow; builds tables).
DD seriesLog(double x) {
    int e = 0;
    const double f = normalize(x, e);
    const DD s = divideExact(f - 1, twoSum(f, 1));  // f - 1 is exact here
    const DD s2 = multiply(s, s);
    const Coefficients& c = coefficients();
    DD series = c.oddReciprocal[Coefficients::logTerms - 1];
    for (int j = Coefficients::logTerms - 2; j >= 0; --j) {
        series = add(c.oddReciprocal[j], multiply(s2, series));
    }
    const DD logF = multiply(multiply(s, 2.0), series);
    return add(multiply(ln2, static_cast<double>(e)), logF);
}

// e^y by the plain series, for |y| <= 0.7: e^(y/1024) - 1 by Taylor (11
// terms), then squared ten times as (1 + u)^2 - 1 = 2u + u^2 (slow; builds tables).
DD seriesExp(DD y) {
    const DD scaled = {y.hi * 0x1p-10, y.lo * 0x1p-10};
    const Coefficients& c = coefficients();
    constexpr int terms = 11;
    DD series = c.inverseFactorial[terms];
    for (int n = terms - 1; n >= 1; --n) series = add(c.inverseFactorial[n], multiply(scaled, series));
    DD u = multiply(scaled, series);
    for (int i = 0; i < 10; ++i) u = add(multiply(u, 2.0), multiply(u, u));
    return add(DD{1, 0}, u);
}

// log(1 + j/128) for the log reduction and 2^(i/64) for the exp reduction.
struct Tables {
    static constexpr int logFirst = -38;
    static constexpr int logLast = 54;
    DD logCentre[logLast - logFirst + 1];
    DD twoToSixtyFourths[64];
    Tables() {
        for (int j = logFirst; j <= logLast; ++j) logCentre[j - logFirst] = seriesLog(1 + j / 128.0);
        for (int i = 0; i < 64; ++i) twoToSixtyFourths[i] = seriesExp(multiply(ln2, i / 64.0));
    }
};

const Tables& tables() {
    static const Tables built;
    return built;
}

// log x for a positive, finite x.
DD logKernel(double x) {
    int e = 0;
    const double f = normalize(x, e);
    const double j = std::floor((f - 1) * 128 + 0.5);
    const double centre = 1 + j / 128;
    // f - centre is exact: both lie in [1/2, 2] within a factor of two.
    const DD s = divideExact(f - centre, twoSum(f, centre));
    // 2 atanh(s) = 2s (1 + s^2/3 + s^4/5 + ...): |s| < 2^-9, so the part after
    // the 1 is below 2^-19 and plain double precision suffices for it.
    const double s2 = s.hi * s.hi;
    const double tail = s2 * (1.0 / 3 + s2 * (1.0 / 5 + s2 * (1.0 / 7 + s2 * (1.0 / 9))));
    const DD twoS = {2 * s.hi, 2 * s.lo};
    const DD atanhPart = add(twoS, DD{twoS.hi * tail, 0});
    const DD logF = add(tables().logCentre[static_cast<int>(j) - Tables::logFirst], atanhPart);
    return add(multiply(ln2, static_cast<double>(e)), logF);
}

// e^y for a double-double y.
double expOf(DD y) {
    if (std::isnan(y.hi)) return y.hi;
    if (y.hi > expOverflow) return infinity;
    if (y.hi < expUnderflow) return 0;
    const double nd = std::floor(y.hi * (64 * invLn2) + 0.5);
    const DD ln2Over64 = {ln2.hi / 64, ln2.lo / 64};
    const DD r = add(y, negate(multiply(ln2Over64, nd)));  // |r| <= ln2/128
    // e^r - 1 = r + r^2/2 + r^3 (1/3! + r/4! + ...); the last part is below
    // 2^-24 and needs only double precision.
    const double h = r.hi;
    const double tail =
        h * h * h *
        (1.0 / 6 + h * (1.0 / 24 + h * (1.0 / 120 + h * (1.0 / 720 + h * (1.0 / 5040 + h * (1.0 / 40320))))));
    DD halfSquare = twoProduct(h, h);
    halfSquare = {halfSquare.hi * 0.5, halfSquare.lo * 0.5 + h * r.lo};
    const DD u = add(r, add(halfSquare, DD{tail, 0}));
    const int n = static_cast<int>(nd);
    const int i = ((n % 64) + 64) % 64;
    const int k = (n - i) / 64;
    const DD power = tables().twoToSixtyFourths[i];
    const DD m = add(power, multiply(power, u));
    return scaleByPowerOfTwo(m.hi + m.lo, k);
}

// e^(y log x) from log x in double-double, for a finite y.
double powerFromLog(DD logX, double y) {
    const double estimate = logX.hi * y;
    if (estimate > 2 * expOverflow) return infinity;  // before the exact product could overflow
    if (estimate < 2 * expUnderflow) return 0;
    return expOf(multiply(logX, y));
}

bool isOddInteger(double y) {
    if (std::fabs(y) >= 0x1p53) return false;  // all even from here on
    return std::floor(y) == y && std::fmod(y, 2.0) != 0;
}

bool isInteger(double y) { return std::isfinite(y) && std::floor(y) == y; }

// sin or cos of a reduced |r| <= pi/4 by their Taylor series in r^2:
//     sin r = r sum (-1)^j r^2j / (2j+1)!,   cos r = sum (-1)^j r^2j / (2j)!,
// 16 terms (the last below 2^-110 of the sum).
double sinCosKernel(DD r, bool cosine) {
    constexpr int terms = 16;
    const Coefficients& c = coefficients();
    const DD r2 = multiply(r, r);
    DD series = {0, 0};
    for (int j = terms - 1; j >= 0; --j) {
        const DD inverse = c.inverseFactorial[cosine ? 2 * j : 2 * j + 1];
        series = add(j % 2 == 0 ? inverse : negate(inverse), multiply(r2, series));
    }
    const DD result = cosine ? series : multiply(r, series);
    return result.hi + result.lo;
}

}  // namespace

double portableLog(double x) {
    if (std::isnan(x)) return x;
    if (x < 0) return notANumber;
    if (x == 0) return -infinity;
    if (x == infinity) return infinity;
    const DD l = logKernel(x);
    return l.hi + l.lo;
}

double portableExp(double x) { return expOf(DD{x, 0}); }

double portablePow(double x, double y) {
    if (y == 0 || x == 1) return 1;
    if (std::isnan(x) || std::isnan(y)) return notANumber;
    const double ax = std::fabs(x);
    if (std::isinf(y)) {
        if (ax == 1) return 1;
        return (ax > 1) == (y > 0) ? infinity : 0;
    }
    const bool negativeResult = std::signbit(x) && isOddInteger(y);  // -0 too
    if (x < 0 && !isInteger(y)) return notANumber;
    double magnitude;
    if (ax == 0) {
        magnitude = y > 0 ? 0 : infinity;
    } else if (ax == infinity) {
        magnitude = y > 0 ? infinity : 0;
    } else {
        magnitude = powerFromLog(logKernel(ax), y);
    }
    // pow(-0, odd) keeps the sign of zero, as every negative base with an odd power.
    return negativeResult ? -magnitude : magnitude;
}

double portableSin(double x) {
    if (!std::isfinite(x)) return notANumber;
    if (std::fabs(x) < 0x1p-27) return x;  // x^3/6 is below half an ulp of x
    DD r{x, 0};
    if (std::fabs(x) >= 0x1p30) {
        r = DD{std::fmod(x, 4 * halfPi[0]), 0};  // exact remainder; see the note above
    }
    const double kd = std::floor(r.hi * twoOverPi + 0.5);
    for (double part : halfPi) r = add(r, negate(twoProduct(kd, part)));
    const int quadrant = static_cast<int>(std::fmod(kd, 4.0) + 4) % 4;
    const double value = sinCosKernel(r, quadrant % 2 == 1);
    return quadrant >= 2 ? -value : value;
}

double portablePowAndLog(double x, double y, double& logX) {
    if (!(x > 0 && x < infinity) || x == 1 || y == 0 || !std::isfinite(y)) {
        logX = portableLog(x);
        return portablePow(x, y);
    }
    const DD l = logKernel(x);
    logX = l.hi + l.lo;
    return powerFromLog(l, y);
}
