// Internals of the engine's elementary functions (portable_math.cpp), shared
// with the batch kernels (batch_math.cpp) so that both run one definition of
// every rounding step. Not for use elsewhere.
//
// The two reductions below are templates over the lane type T (double, or a
// GCC vector of doubles): the scalar kernels instantiate them with double,
// the batch kernels with vectors, and each lane then performs exactly the
// scalar operations. What differs between the two (range checks, floor,
// integer indices, table loads) stays with each caller.
#pragma once

#include <bit>
#include <cstdint>

#include "engine/double_double.h"

namespace portableMath {

// ln 2 in two parts, hi + lo to well beyond double precision.
constexpr DD ln2 = {0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};
constexpr double invLn2 = 0x1.71547652b82fep+0;
constexpr double sqrt2 = 1.4142135623730951;

// Beyond these e^x overflows to inf or underflows to 0.
constexpr double expOverflow = 709.782712893384;
constexpr double expUnderflow = -745.1332191019412;

// Where e^y is a normal number, 2^k in it is normal too (-1022 <= k <= 1023)
// and the mantissa is scaled exactly: y.hi in [-708, 709].
constexpr double fastExpLow = -708;
constexpr double fastExpHigh = 709;

// log(1 + j/128), j = logFirst..logLast, for the log reduction and 2^(i/64),
// i = 0..63, for the exp reduction; built once, at first use.
struct Tables {
    static constexpr int logFirst = -38;
    static constexpr int logLast = 54;
    DD logCentre[logLast - logFirst + 1];
    // For the fast path of log: 1/c_j rounded to 12 significant bits (in
    // hi; lo is 0), and log of 1 over that value.
    DD inverseCentre[logLast - logFirst + 1];
    DD logOfInverse[logLast - logFirst + 1];
    DD twoToSixtyFourths[64];
    // The parts of the entries 8a (coarse) and b (fine), a, b < 8, for the
    // eight-lane power kernel, which looks them up in registers (see
    // batch_math.cpp).
    alignas(64) double coarseHi[8];
    alignas(64) double coarseLo[8];
    alignas(64) double fineHi[8];
    alignas(64) double fineLo[8];
    Tables();
};

const Tables& tables();

// log x in double-double, for a positive, finite x (subnormals included).
DD logKernel(double x);

// log x rounded to double, the same bits as logKernel's hi + lo (by the fast
// path where its rounding test decides), for a positive, finite x.
double roundedLog(double x);

// (m.hi + m.lo) 2^k rounded once to double (subnormal results straight to
// their grid), for m.hi in [1/2, 2), |m.lo| <= ulp(m.hi)/2 and
// -1076 <= k <= 1025.
double scaleMantissa(DD m, int k);

// e^y rounded to double: NaN for a NaN y.hi, inf above expOverflow, 0 below
// expUnderflow.
double expOf(DD y);

// e^(y log x) from log x in double-double, for a finite y: expOf of the
// double-double product, inf or 0 at once when y logX.hi is far out of range.
double powerFromLog(DD logX, double y);

// v in every lane of a T: a GCC vector by default; the batch kernels add
// their own lane types.
template <class T>
struct Broadcast {
    static TARQUEL_ALWAYS_INLINE T of(double v) {
        T lanes;
        for (unsigned i = 0; i < sizeof(T) / sizeof(double); ++i) lanes[i] = v;
        return lanes;
    }
};

template <>
struct Broadcast<double> {
    static TARQUEL_ALWAYS_INLINE double of(double v) { return v; }
};

template <class T>
TARQUEL_ALWAYS_INLINE T splat(double v) {
    return Broadcast<T>::of(v);
}

template <class T>
TARQUEL_ALWAYS_INLINE dd::DoubleDouble<T> splat(DD v) {
    return {splat<T>(v.hi), splat<T>(v.lo)};
}

// log x = e ln2 + log c + 2 atanh(s), s = (f - c)/(f + c), from the reduction
// x = 2^e f, f in (1/sqrt2, sqrt2], and the nearest centre c = 1 + j/128
// with logCentre = log c. |s| < 2^-9, so 2 atanh(s) = 2s (1 + s^2/3 + s^4/5
// + ...) needs double-double only for the leading 2s: the rest is below
// 2^-19 of it. The differences f - c are exact (both in [1/2, 2] within a
// factor of two).
template <class T>
TARQUEL_ALWAYS_INLINE dd::DoubleDouble<T> logFromReduction(T f, T centre, dd::DoubleDouble<T> logCentre, T e) {
    using DDT = dd::DoubleDouble<T>;
    const DDT s = dd::divideExact(f - centre, dd::twoSum(f, centre));
    const T s2 = s.hi * s.hi;
    const T tail = s2 * (1.0 / 3 + s2 * (1.0 / 5 + s2 * (1.0 / 7 + s2 * (1.0 / 9))));
    const DDT twoS = {2.0 * s.hi, 2.0 * s.lo};
    const DDT atanhPart = dd::add(twoS, DDT{twoS.hi * tail, T{}});
    const DDT logF = dd::add(logCentre, atanhPart);
    return dd::add(dd::multiply(splat<T>(ln2), e), logF);
}

// Two doubles: the same one exactly when the rounding is decided.
template <class T>
struct RoundingBracket {
    T low;
    T high;
};

// |v| in every lane: GCC vectors by default; the batch kernels add their
// own lane types.
template <class T>
struct Magnitude {
    static TARQUEL_ALWAYS_INLINE T of(T v) { return v < T{} ? -v : v; }
};

template <>
struct Magnitude<double> {
    static TARQUEL_ALWAYS_INLINE double of(double v) { return v < 0 ? -v : v; }
};

// ln 2 in two parts for the fast log: a head of 42 significant bits, so
// that e times it is exact for |e| < 2^11, and the rest of ln2.hi + ln2.lo
// rounded to double (below 2^-42).
constexpr double ln2Head = std::bit_cast<double>(std::bit_cast<std::uint64_t>(ln2.hi) &
                                                 ~((std::uint64_t{1} << 11) - 1));
constexpr double ln2Rest = (ln2.hi - ln2Head) + ln2.lo;

// f with its last 12 bits cleared: a head of at most 41 significant bits.
constexpr std::uint64_t logHeadMask = ~((std::uint64_t{1} << 12) - 1);

// The fast path of log: log x = e ln2 + log(1/v) + log(1 + t), t = f v - 1,
// from the reduction x = 2^e f (f in (1/sqrt2, sqrt2], |e| <= 1075), v the
// inverseCentre entry of f's centre c (1/c to 12 bits), logInverse its
// logOfInverse entry, and fHead = f with its last 12 bits cleared (as the
// caller reads it from the bits). Where low == high, that double is exactly
// the double-double path's log x rounded (logFromReduction); elsewhere take
// that path.
// Method: t = (fHead v - 1) + (f - fHead) v exactly (both products fit 53
// bits, and fHead v is within 2^-7 of 1), renormalised by twoSum to T + Te;
// |t| <= |f - c|/c + f |v - 1/c| <= 2^-8/c + 1.42 2^-12 < 2^-7.4 (2^-8 where
// c = v = 1). log(1 + t) - t is its Taylor series to t^9/9 in plain double
// on T. The leading parts e ln2Head (exact), log(1/v).hi and T are summed
// exactly (fastTwoSum, twoSum) into A + Ae; the rest goes to a low part
// summed in double.
// Error against log x (absolute): the series' four roundings and its use of
// T for t (2^-52.4 T^2 and 2^-53 T^2), the low part's four sums and the
// test's own (2^-54 T^2 each, their other terms below 2^-94 |A|): below
// 2^-50.7 T^2 in all; its truncation (t^10/10: below 2^-77, and 2^-72 |t|
// where c = 1), ln2Rest, the table and the product e ln2Rest (below 2^-83
// |A|), and the double-double path's own error (below 2^-70 |log x|): below
// 2^-68 |A| in all (|A| > 2^-8.1 wherever c != 1 or e != 0; where both are
// 0, A is T). The test widens the low part by 2^-49 T^2 + 2^-65 |A|, more than
// both together with the roundings of the margin itself; rounding is
// monotonic, so when both ends round to the same double, so does every value
// between them, the double-double result included.
template <class T>
TARQUEL_ALWAYS_INLINE RoundingBracket<T> fastLogFromReduction(T f, T fHead, T inverse, dd::DoubleDouble<T> logInverse,
                                                              T e) {
    using DDT = dd::DoubleDouble<T>;
    const DDT t = dd::twoSum(-1.0 + fHead * inverse, (f - fHead) * inverse);
    const T u = t.hi;
    const T series = u * u *
                     (-0.5 + u * (1.0 / 3 +
                                  u * (-0.25 +
                                       u * (1.0 / 5 + u * (-1.0 / 6 + u * (1.0 / 7 + u * (-0.125 + u * (1.0 / 9))))))));
    const DDT head = dd::fastTwoSum(e * ln2Head, logInverse.hi);
    const DDT a = dd::twoSum(head.hi, u);
    const T lowPart = a.lo + (t.lo + (head.lo + ((e * ln2Rest + logInverse.lo) + series)));
    const T margin = u * u * 0x1p-49 + Magnitude<T>::of(a.hi) * 0x1p-65;
    return {a.hi + (lowPart - margin), a.hi + (lowPart + margin)};
}

// a + b for |a.hi| >= |b.hi|: dd::add with the first twoSum replaced by
// fastTwoSum, which gives the same sum and error.
template <class T>
TARQUEL_ALWAYS_INLINE dd::DoubleDouble<T> addLarger(dd::DoubleDouble<T> a, dd::DoubleDouble<T> b) {
    dd::DoubleDouble<T> s = dd::fastTwoSum(a.hi, b.hi);
    const dd::DoubleDouble<T> t = dd::twoSum(a.lo, b.lo);
    s.lo += t.hi;
    s = dd::fastTwoSum(s.hi, s.lo);
    s.lo += t.lo;
    return dd::fastTwoSum(s.hi, s.lo);
}

// a - b for an exact a.hi - b.hi: dd::add(a, negate(b)) without the first
// error term, which is 0.
template <class T>
TARQUEL_ALWAYS_INLINE dd::DoubleDouble<T> subtractNear(dd::DoubleDouble<T> a, dd::DoubleDouble<T> b) {
    const dd::DoubleDouble<T> t = dd::twoSum(a.lo, -b.lo);
    dd::DoubleDouble<T> s = dd::fastTwoSum(a.hi + -b.hi, t.hi);
    s.lo += t.lo;
    return dd::fastTwoSum(s.hi, s.lo);
}

// 2^(i/64) e^r in double-double (expMantissa: rounded to double), for
// nd = 64 k + i the integer nearest y 64/ln2, r = y - nd ln2/64
// (|r| <= ln2/128) and power = 2^(i/64); e^y is this value times 2^k.
// Its error against power e^r is below 2^-74 of the value (the largest
// part: the double rounding of the tail below). e^r - 1 = r + r^2/2 + r^3 (1/3! + r/4! + ...), whose
// last part is below 2^-24 and needs only double precision:
//     u = r + (r^2/2 + tail),  result = power + power u.
// Three shortcuts leave every intermediate value as the plain double-double
// operations form it (at most the sign of a zero low part differs, which
// cannot reach the result, a positive sum of terms of at least 1/2):
//   - nd is an integer below 2^26 in magnitude, so Dekker's split of nd is
//     (nd, 0) and the product nd ln2/64 needs no split of nd;
//   - where the larger term of a sum is known (r^2/2 >= |tail|,
//     |r| >= r^2/2 + tail, power >= 1 > |power u|), fastTwoSum replaces
//     twoSum: both return the exact error;
//   - adding the double tail, the low part of the sum with 0 is 0;
//   - y.hi - step.hi is exact (Sterbenz: step.hi, about nd ln2/64, is 0 or
//     within a factor of two of y.hi; at the edge nd = +-1, y.hi = step.hi/2
//     less a few units, the difference still fits y.hi's binade), so its
//     rounding error is 0.
template <class T>
TARQUEL_ALWAYS_INLINE dd::DoubleDouble<T> expMantissaParts(dd::DoubleDouble<T> y, T nd, dd::DoubleDouble<T> power) {
    using DDT = dd::DoubleDouble<T>;
    // nd ln2/64 = product + error: twoProduct(ln2/64, nd) with the split (nd, 0).
    constexpr double ln2Over64Hi = ln2.hi / 64;
    constexpr double ln2Over64Lo = ln2.lo / 64;
    double ln2Over64Head = 0, ln2Over64Tail = 0;
    dd::split(ln2Over64Hi, ln2Over64Head, ln2Over64Tail);
    const T product = ln2Over64Hi * nd;
    DDT step = {product, (ln2Over64Head * nd - product) + ln2Over64Tail * nd};
    step.lo += ln2Over64Lo * nd;
    step = dd::fastTwoSum(step.hi, step.lo);
    const DDT r = subtractNear(y, step);

    const T h = r.hi;
    const T tail = h * h * h *
                   (1.0 / 6 +
                    h * (1.0 / 24 + h * (1.0 / 120 + h * (1.0 / 720 + h * (1.0 / 5040 + h * (1.0 / 40320))))));
    DDT halfSquare = dd::twoProduct(h, h);
    halfSquare = {halfSquare.hi * 0.5, halfSquare.lo * 0.5 + h * r.lo};
    // halfSquare + tail.
    DDT series = dd::fastTwoSum(halfSquare.hi, tail);
    series.lo += halfSquare.lo;
    series = dd::fastTwoSum(series.hi, series.lo);
    series = dd::fastTwoSum(series.hi, series.lo);
    const DDT u = addLarger(r, series);
    return addLarger(power, dd::multiply(power, u));
}

template <class T>
TARQUEL_ALWAYS_INLINE T expMantissa(dd::DoubleDouble<T> y, T nd, dd::DoubleDouble<T> power) {
    const dd::DoubleDouble<T> m = expMantissaParts(y, nd, power);
    return m.hi + m.lo;
}

// ln2/64 in two parts for the fast reduction: a head of 32 significant bits,
// so that nd times it is exact for |nd| < 2^21, and the rest of ln2.hi/64 +
// ln2.lo/64 rounded to double (below 2^-38 in magnitude).
constexpr double ln2Over64Head = std::bit_cast<double>(std::bit_cast<std::uint64_t>(ln2.hi / 64) &
                                                       ~((std::uint64_t{1} << 21) - 1));
constexpr double ln2Over64Rest = (ln2.hi / 64 - ln2Over64Head) + ln2.lo / 64;

// The margin of the rounding test of fastExpMantissa, relative to its result.
constexpr double fastExpMargin = 0x1p-63;

// The fast path of expMantissa: the same mantissa 2^(i/64) e^r, mostly in
// plain double, with a rounding test. Where low == high, that double is
// exactly expMantissa(y, nd, power); elsewhere take expMantissa.
// For |y.hi| <= 745.2 (so |nd| < 2^17), |y.lo| <= 2^-43 and nd, power as for
// expMantissa:
//   r = rh + rl:  rh = y.hi - nd C1 (C1 = ln2Over64Head; the product is exact,
//                 and so is the difference: both are multiples of ulp(y.hi)
//                 and |rh| < 2^-7 fits y.hi's precision, y.hi >= ln2/128
//                 less a few units wherever nd != 0);
//                 rl = y.lo - nd C2 (C2 = ln2Over64Rest), |rl| < 2^-21.9;
//   e^r - 1 - r = q, Taylor to r^7/7! in plain double on rr = fl(rh + rl);
//   T e^r = Th + Th rh + [Th (rl + q) + Tl (1 + rr)],
//                 Th rh exact by twoProduct, Th + its head by fastTwoSum, the
//                 bracket summed in double.
// Error of h + lowPart against T e^(y - nd ln2/64) (T = power.hi +
// power.lo, ln2 = ln2.hi + ln2.lo, the values the double-double path uses),
// in units of 2^-64 (Th < 2, |r| < 2^-7.5): q's three roundings (relative
// 2^-53 each of r^2/2 < 2^-16: 0.19), its use of rr for r (|rr - r| <=
// 2^-61: 0.1), its truncation (r^8/8!: 0.001), the reduction (0.003),
// rl + q, Th (rl + q) and the three sums of the bracket (half an ulp of a
// value below 2^-14.8 each: 5 x 0.0625), Tl's terms (0.03): below 0.65 in
// all, and below 0.66 relative to the result (>= 0.989). An underflow in
// twoProduct (rh below 2^-960) adds less than 2^-1000. The double-double
// path is within 2^-74 of the same value. The test widens lowPart by
// 2^-63 h >= 1.97 units, more than the two errors and the rounding of
// lowPart +- margin (0.0625) together; rounding is monotonic, so when both
// ends round to the same double, so does every value between them, the
// double-double result included.
template <class T>
TARQUEL_ALWAYS_INLINE RoundingBracket<T> fastExpMantissa(dd::DoubleDouble<T> y, T nd, dd::DoubleDouble<T> power) {
    const T rh = y.hi - nd * ln2Over64Head;
    const T rl = y.lo - nd * ln2Over64Rest;
    const T rr = rh + rl;
    const T q = rr * rr *
                (0.5 + rr * (1.0 / 6 + rr * (1.0 / 24 + rr * (1.0 / 120 + rr * (1.0 / 720 + rr * (1.0 / 5040))))));
    const T s = rl + q;
    const dd::DoubleDouble<T> p = dd::twoProduct(power.hi, rh);
    const dd::DoubleDouble<T> h = dd::fastTwoSum(power.hi, p.hi);
    const T lowPart = h.lo + (p.lo + (power.hi * s + (power.lo + power.lo * rr)));
    const T margin = h.hi * fastExpMargin;
    return {h.hi + (lowPart - margin), h.hi + (lowPart + margin)};
}

}  // namespace portableMath
