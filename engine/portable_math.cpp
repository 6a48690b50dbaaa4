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
// almost every case). Subnormal results are rounded once, straight to
// their grid.
// Fast paths: exp (and so pow, after its double-double log) first forms
// the same mantissa 2^(i/64) e^r mostly in plain double with an error below
// 2^-64 (fastExpMantissa in portable_math_detail.h, which proves it) and a
// rounding test of margin 2^-63; log first sums e ln2 + log(1/v) + log(1+t)
// with an exact t = f v - 1 (v = 1/c to 12 bits) and a margin of
// 2^-49 t^2 + 2^-65 |log x| (fastLogFromReduction). When the test decides
// the rounding, that double is the one the double-double path rounds to,
// bit for bit; otherwise the double-double path runs: for exp about one
// argument in 700 and every result outside [e^-708, e^709], for log about
// one in 2500, and one in 40 within 2^-6 of 1 (measured by
// `tarquel-bench --sweep`, which found no fast result that differs).
#include "engine/portable_math.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "engine/portable_math_detail.h"

namespace {

using namespace dd;
using namespace portableMath;

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// pi/2 in three parts: hi + lo + lo2 to well beyond double precision.
constexpr double halfPi[3] = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54, -0x1.f1976b7ed8fbcp-110};
constexpr double twoOverPi = 0x1.45f306dc9c883p-1;

// 2^k for -1022 <= k <= 1023, built from its bits.
double powerOfTwo(int k) {
    const std::uint64_t bits = static_cast<std::uint64_t>(k + 1023) << 52;
    double p;
    std::memcpy(&p, &bits, sizeof p);
    return p;
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

// log x by the plain series in s = (f-1)/(f+1), 23 terms (slow; builds tables).
DD seriesLog(double x) {
    int e = 0;
    const double f = normalize(x, e);
    const DD s = divideExact(f - 1, twoSum(f, 1.0));  // f - 1 is exact here
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

namespace portableMath {

Tables::Tables() {
    for (int j = logFirst; j <= logLast; ++j) {
        const double centre = 1 + j / 128.0;
        logCentre[j - logFirst] = seriesLog(centre);
        // 1/c to 12 significant bits: 2^11/c is in (1400, 2950).
        const double inverse = std::nearbyint(0x1p11 / centre) * 0x1p-11;
        inverseCentre[j - logFirst] = DD{inverse, 0};
        logOfInverse[j - logFirst] = negate(seriesLog(inverse));
    }
    for (int i = 0; i < 64; ++i) twoToSixtyFourths[i] = seriesExp(multiply(ln2, i / 64.0));
    for (int i = 0; i < 8; ++i) {
        coarseHi[i] = twoToSixtyFourths[8 * i].hi;
        coarseLo[i] = twoToSixtyFourths[8 * i].lo;
        fineHi[i] = twoToSixtyFourths[i].hi;
        fineLo[i] = twoToSixtyFourths[i].lo;
    }
}

const Tables& tables() {
    static const Tables built;
    return built;
}

DD logKernel(double x) {
    int e = 0;
    const double f = normalize(x, e);
    const double j = std::floor((f - 1) * 128 + 0.5);
    const double centre = 1 + j / 128;
    const DD logCentre = tables().logCentre[static_cast<int>(j) - Tables::logFirst];
    return logFromReduction(f, centre, logCentre, static_cast<double>(e));
}

double roundedLog(double x) {
    int e = 0;
    const double f = normalize(x, e);
    const double j = std::floor((f - 1) * 128 + 0.5);
    const int index = static_cast<int>(j) - Tables::logFirst;
    const Tables& table = tables();
    const double fHead = std::bit_cast<double>(std::bit_cast<std::uint64_t>(f) & logHeadMask);
    const RoundingBracket<double> fast = fastLogFromReduction(f, fHead, table.inverseCentre[index].hi,
                                                              table.logOfInverse[index], static_cast<double>(e));
    if (fast.low == fast.high) return fast.low;
    const DD l = logFromReduction(f, 1 + j / 128, table.logCentre[index], static_cast<double>(e));
    return l.hi + l.lo;
}

// A normal result is m rounded to double, scaled exactly (or inf). A result
// below 2^-1022 is rounded straight to the subnormal grid (rounding m to 53
// bits first and then to the grid would be one unit off in about 0.9% of
// such results), whose quantum is 2^(-1074-k) in units of m: the sum
// bias + m.hi, bias = 2^52 quanta, rounds there, and its exact error e
// (fastTwoSum) plus m.lo decides in one more rounding of bias + u. Where
// u = fl(e + m.lo) is exactly half a quantum but e + m.lo is not (twoSum's
// error says so), u is moved a quarter of a quantum towards it so that no
// tie decides.
double scaleMantissa(DD m, int k) {
    if (k > 1023) return (m.hi + m.lo) * powerOfTwo(1023) * powerOfTwo(k - 1023);
    if (k >= -1022) return (m.hi + m.lo) * powerOfTwo(k);
    const double bias = powerOfTwo(-1022 - k);  // 2 .. 2^54, above m.hi
    const DD sum = fastTwoSum(bias, m.hi);
    DD u = twoSum(sum.lo, m.lo);
    const double halfQuantum = bias * 0x1p-53;
    if (std::fabs(u.hi) == halfQuantum && u.lo != 0) u.hi += u.lo > 0 ? halfQuantum / 2 : -halfQuantum / 2;
    const double rounded = (sum.hi + u.hi) - bias;  // whole quanta, exact
    return rounded * powerOfTwo(k + 54) * 0x1p-54;  // both products exact
}

double expOf(DD y) {
    if (std::isnan(y.hi)) return y.hi;
    if (y.hi > expOverflow) return infinity;
    if (y.hi < expUnderflow) return 0;
    const double nd = std::floor(y.hi * (64 * invLn2) + 0.5);
    const int n = static_cast<int>(nd);
    const int i = ((n % 64) + 64) % 64;
    const int k = (n - i) / 64;
    const DD& power = tables().twoToSixtyFourths[i];
    if (y.hi >= fastExpLow && y.hi <= fastExpHigh) {
        const RoundingBracket<double> fast = fastExpMantissa(y, nd, power);
        if (fast.low == fast.high) return fast.low * powerOfTwo(k);
    }
    return scaleMantissa(expMantissaParts(y, nd, power), k);
}

double powerFromLog(DD logX, double y) {
    const double estimate = logX.hi * y;
    if (estimate > 2 * expOverflow) return infinity;  // before the exact product could overflow
    if (estimate < 2 * expUnderflow) return 0;
    return expOf(multiply(logX, y));
}

}  // namespace portableMath

double portableLog(double x) {
    if (std::isnan(x)) return x;
    if (x < 0) return notANumber;
    if (x == 0) return -infinity;
    if (x == infinity) return infinity;
    return roundedLog(x);
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
    // x = 1 too: its log is 0, and the exact product 0 y would split y,
    // which overflows for |y| >= 2^996 and made 1^y not a number.
    if (!(x > 0 && x < infinity) || x == 1 || y == 0 || !std::isfinite(y)) {
        logX = portableLog(x);
        return portablePow(x, y);
    }
    const DD l = logKernel(x);
    logX = l.hi + l.lo;
    return powerFromLog(l, y);
}
