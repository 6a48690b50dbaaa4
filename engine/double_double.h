// Double-double arithmetic: a value is the unevaluated sum hi + lo of two
// doubles with |lo| <= ulp(hi)/2, about 106 significant bits.
//
// Method: the error-free transformations of Knuth (twoSum), Dekker
// (fastTwoSum, split, twoProduct) and the sums and products built on them.
// They use only IEEE additions, multiplications and divisions, each
// rounded to nearest, so they give the same bits on every platform as long
// as nothing is fused or reassociated (-ffp-contract=off, no fast math).
//
// Every function is a template over the lane type T: double for the scalar
// kernels, or a GCC vector of doubles (__m128d, __m256d and their like) for
// the batch kernels, which then perform exactly the scalar operations in
// every lane. The functions are always inlined, so a vector instantiation
// takes the instruction set of the function it is inlined into.
#pragma once

#define TARQUEL_ALWAYS_INLINE inline __attribute__((always_inline))

namespace dd {

template <class T>
struct DoubleDouble {
    T hi;
    T lo;
};

// s + e == a + b exactly, s = fl(a + b).
template <class T>
TARQUEL_ALWAYS_INLINE DoubleDouble<T> twoSum(T a, T b) {
    const T s = a + b;
    const T bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// As twoSum, for |a| >= |b| (or a == 0).
template <class T>
TARQUEL_ALWAYS_INLINE DoubleDouble<T> fastTwoSum(T a, T b) {
    const T s = a + b;
    return {s, b - (s - a)};
}

// a = hi + lo with hi and lo of at most 26 significant bits each, so that
// their products are exact (|a| < 2^996, or the product 2^27 a overflows).
template <class T>
TARQUEL_ALWAYS_INLINE void split(T a, T& hi, T& lo) {
    const T c = 134217729.0 * a;  // 2^27 + 1
    hi = c - (c - a);
    lo = a - hi;
}

// The exact product of two lanes: Dekker's, by the split. A lane type may
// bring its own (the batch kernels' fused multiply-add, e = fma(a, b, -p)),
// and then uses it only where the two return the same p and e.
template <class T>
struct ExactProduct {
    static TARQUEL_ALWAYS_INLINE DoubleDouble<T> of(T a, T b) {
        const T p = a * b;
        T ah, al, bh, bl;
        split(a, ah, al);
        split(b, bh, bl);
        return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
    }
};

// p + e == a b exactly, p = fl(a b) (barring overflow and underflow).
template <class T>
TARQUEL_ALWAYS_INLINE DoubleDouble<T> twoProduct(T a, T b) {
    return ExactProduct<T>::of(a, b);
}

template <class T>
TARQUEL_ALWAYS_INLINE DoubleDouble<T> add(DoubleDouble<T> a, DoubleDouble<T> b) {
    DoubleDouble<T> s = twoSum(a.hi, b.hi);
    const DoubleDouble<T> t = twoSum(a.lo, b.lo);
    s.lo += t.hi;
    s = fastTwoSum(s.hi, s.lo);
    s.lo += t.lo;
    return fastTwoSum(s.hi, s.lo);
}

template <class T>
TARQUEL_ALWAYS_INLINE DoubleDouble<T> negate(DoubleDouble<T> a) {
    return {-a.hi, -a.lo};
}

template <class T>
TARQUEL_ALWAYS_INLINE DoubleDouble<T> multiply(DoubleDouble<T> a, DoubleDouble<T> b) {
    DoubleDouble<T> p = twoProduct(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return fastTwoSum(p.hi, p.lo);
}

template <class T>
TARQUEL_ALWAYS_INLINE DoubleDouble<T> multiply(DoubleDouble<T> a, T b) {
    DoubleDouble<T> p = twoProduct(a.hi, b);
    p.lo += a.lo * b;
    return fastTwoSum(p.hi, p.lo);
}

template <class T>
TARQUEL_ALWAYS_INLINE DoubleDouble<T> divide(DoubleDouble<T> a, DoubleDouble<T> b) {
    const T q1 = a.hi / b.hi;
    DoubleDouble<T> r = add(a, negate(multiply(b, q1)));
    const T q2 = r.hi / b.hi;
    r = add(r, negate(multiply(b, q2)));
    const T q3 = r.hi / b.hi;
    return add(fastTwoSum(q1, q2), DoubleDouble<T>{q3, T{}});
}

// a / b for an exact a, to double-double precision.
template <class T>
TARQUEL_ALWAYS_INLINE DoubleDouble<T> divideExact(T a, DoubleDouble<T> b) {
    const T q1 = a / b.hi;
    const DoubleDouble<T> p = twoProduct(q1, b.hi);
    const T r = ((a - p.hi) - p.lo) - q1 * b.lo;
    return fastTwoSum(q1, r / b.hi);
}

}  // namespace dd

using DD = dd::DoubleDouble<double>;
