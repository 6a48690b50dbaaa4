// Batch logarithm and power: the scalar kernels of portable_math.cpp run on
// two (SSE2), four (AVX2) or eight (AVX-512F, power and log table) lanes at
// once.
//
// Method: the lanes are GCC vectors of doubles, and the rounding steps are
// the very templates the scalar kernels use (portable_math_detail.h), so a
// lane performs the scalar operations one for one. What the scalar code does
// with std::floor and integers is done here exactly:
//   floor v      = one rounding toward -inf (AVX, AVX-512F) or, in SSE2,
//                  (v + 1.5 2^52) - 1.5 2^52, minus 1 where that exceeds v
//                  (exact for |v| < 2^51; the arguments stay below 2^17,
//                  and are never -0, the one value where they differ);
//   the integer floor v is then the bits of floor v + 1.5 2^52 minus those
//                  of 1.5 2^52, in 64-bit lanes: table indices, n mod 64 and
//                  n div 64 by masks and shifts, 2^k by shifting k + 1023
//                  into the exponent field.
// The log reduction x = 2^e f reads e and f from the bits, as the scalar
// code does (subnormal x scaled by 2^54 first). Lanes outside the vector
// path (log: x not positive and finite; power: log x = 0 or infinite, m log x
// outside [-708, 709], where the result needs no scaling in two steps, NaN)
// compute a harmless stand-in and then take the scalar function's result.
// Several blocks of lanes go through the long double-double chains side by
// side (see Group).
// The rounded results (log, and the power) take the fast paths of the
// scalar kernels in every lane (fastLogFromReduction, fastExpMantissa); a
// block of lanes where a lane fails the rounding test also runs the
// double-double path, and the failing lanes take its result.
// Domain: every double. Accuracy: that of the scalar kernels, bit for bit.
//
// The entry points for each instruction set are ordinary functions, the AVX2
// ones with __attribute__((target("avx2"))) (no FMA), into which everything
// is inlined; the level is chosen at run time.
// The AVX2 and FMA level (target("avx2,fma")) differs in one step only: the
// exact products of the power kernel (y = log x m, and power.hi rh in
// fastExpMantissa) and of the log table's double-double chain form their
// error by one fused multiply-add instead of Dekker's split (about 17
// operations). Both are exact, hence equal, within bounds that the lanes of
// those kernels meet or are sent to the scalar kernel for (see the fused
// ExactProduct); the double-double path of undecided power lanes keeps
// Dekker's products. Nothing else is fused (-ffp-contract=off).
// The AVX-512F level (target("avx512f,fma")) runs the same fused power and
// log table kernels on eight lanes (measured on a 2-core AMD EPYC, which
// executes 512-bit operations as two 256-bit halves: the power kernel in
// about 0.7 of the time of the four-lane fused one, the log table in 0.55
// to 0.7); its other kernels are those of the AVX2 level.
#include "engine/batch_math.h"

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "engine/portable_math.h"
#include "engine/portable_math_detail.h"

#if defined(__SSE2__)
#include <immintrin.h>  // declares the fused multiply-add built-ins
#endif

namespace {

using portableMath::splat;
using portableMath::Tables;

constexpr double infinity = std::numeric_limits<double>::infinity();

typedef double Double2 __attribute__((vector_size(16)));
typedef std::uint64_t Bits2 __attribute__((vector_size(16)));
typedef double Double4 __attribute__((vector_size(32)));
typedef std::uint64_t Bits4 __attribute__((vector_size(32)));
typedef double Double8 __attribute__((vector_size(64)));
typedef std::uint64_t Bits8 __attribute__((vector_size(64)));

template <class V>
struct LaneBits;
template <>
struct LaneBits<Double2> {
    using Type = Bits2;
};
template <>
struct LaneBits<Double4> {
    using Type = Bits4;
};
template <>
struct LaneBits<Double8> {
    using Type = Bits8;
};

template <class V>
using BitsOf = typename LaneBits<V>::Type;

template <class V>
constexpr unsigned lanesOf = sizeof(V) / sizeof(double);

template <class V>
using DDOf = dd::DoubleDouble<V>;

template <class V>
TARQUEL_ALWAYS_INLINE V load(const double* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V>
TARQUEL_ALWAYS_INLINE void store(double* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

// mask ? b : a, lane by lane (mask lanes all ones or all zeros).
template <class V>
TARQUEL_ALWAYS_INLINE V select(BitsOf<V> mask, V a, V b) {
    return (V)(((BitsOf<V>)a & ~mask) | ((BitsOf<V>)b & mask));
}

// One bit per lane of a mask whose lanes are all ones or all zeros, by one
// instruction of the level: reading the lanes one by one went through
// memory, and the tests below run once a block (an eighth of the power
// kernel's time went to them).
// (Built-ins, not the intrinsics' wrappers: those may not be inlined into
// this function, which has no target of its own, only into the level's entry
// points that it is inlined into itself.)
template <class V>
TARQUEL_ALWAYS_INLINE unsigned laneBits(BitsOf<V> mask) {
    if constexpr (lanesOf<V> == 2) {
        return static_cast<unsigned>(__builtin_ia32_movmskpd((Double2)mask));
    } else if constexpr (lanesOf<V> == 4) {
        return static_cast<unsigned>(__builtin_ia32_movmskpd256((Double4)mask));
    } else {
        typedef long long Lanes8 __attribute__((vector_size(64)));
        return __builtin_ia32_ptestmq512((Lanes8)mask, (Lanes8)mask, 0xff);  // the lanes not zero
    }
}

template <class V>
TARQUEL_ALWAYS_INLINE bool allSet(BitsOf<V> mask) {
    constexpr unsigned lanes = lanesOf<V>;
    return laneBits<V>(mask) == (1u << lanes) - 1;
}

template <class V>
TARQUEL_ALWAYS_INLINE bool anySet(BitsOf<V> mask) {
    return laneBits<V>(mask) != 0;
}

// The offset 1.5 2^52: for an integer |n| < 2^51, n + offset is exact and
// its bits are those of the offset plus n, as 64-bit integers.
constexpr double roundingOffset = 0x1.8p52;
constexpr std::uint64_t roundingOffsetBits = 0x4338000000000000ULL;

// floor(v), the same bits as std::floor for |v| < 2^51 and v not -0 (the
// callers' v is a sum with 1/2, never -0); integer receives floor(v) +
// roundingOffsetBits. Four and eight lanes round toward -inf by one
// instruction (AVX's vroundpd, AVX-512's vrndscalepd); two lanes (SSE2 has
// neither) round to nearest through the offset and step down where that
// went up.
template <class V>
TARQUEL_ALWAYS_INLINE V floorExact(V v, BitsOf<V>& integer) {
    if constexpr (lanesOf<V> == 2) {
        const V rounded = v + roundingOffset;  // the integer nearest v, + offset
        const V nearest = rounded - roundingOffset;
        const BitsOf<V> above = (BitsOf<V>)(nearest > v);  // all ones (-1) where 1 too large
        integer = (BitsOf<V>)rounded + above;
        return nearest - (V)(above & (BitsOf<V>)splat<V>(1.0));
    } else {
        V down;
        if constexpr (lanesOf<V> == 4) {
            down = __builtin_ia32_roundpd256(v, 1);
        } else {
            down = __builtin_ia32_rndscalepd_mask(v, 1, v, -1, 4);  // all lanes, the current rounding
        }
        integer = (BitsOf<V>)(down + roundingOffset);
        return down;
    }
}

// 2^k for -1022 <= k <= 1023 from k + roundingOffsetBits.
template <class V>
TARQUEL_ALWAYS_INLINE V powerOfTwo(BitsOf<V> k) {
    return (V)((k + (1023 - roundingOffsetBits)) << 52);
}

// The table entries at the lane indices, as the lanes of hi and of lo. The
// index of a lane is the low half of its bits, a signed 32-bit integer (as in
// an integer + roundingOffsetBits, whose low half is 0).
template <class V>
TARQUEL_ALWAYS_INLINE DDOf<V> gather(const DD* table, BitsOf<V> index);

TARQUEL_ALWAYS_INLINE Double2 entry(const DD* table, std::uint64_t index) {
    return load<Double2>(&table[static_cast<std::int32_t>(static_cast<std::uint32_t>(index))].hi);
}

template <>
TARQUEL_ALWAYS_INLINE DDOf<Double2> gather<Double2>(const DD* table, Bits2 index) {
    const Double2 a = entry(table, index[0]), b = entry(table, index[1]);
    return {__builtin_shufflevector(a, b, 0, 2), __builtin_shufflevector(a, b, 1, 3)};
}

template <>
TARQUEL_ALWAYS_INLINE DDOf<Double4> gather<Double4>(const DD* table, Bits4 index) {
    const Double4 a = __builtin_shufflevector(entry(table, index[0]), entry(table, index[2]), 0, 1, 2, 3);
    const Double4 b = __builtin_shufflevector(entry(table, index[1]), entry(table, index[3]), 0, 1, 2, 3);
    return {__builtin_shufflevector(a, b, 0, 4, 2, 6), __builtin_shufflevector(a, b, 1, 5, 3, 7)};
}

template <>
TARQUEL_ALWAYS_INLINE DDOf<Double8> gather<Double8>(const DD* table, Bits8 index) {
    const Double4 a = __builtin_shufflevector(entry(table, index[0]), entry(table, index[1]), 0, 1, 2, 3);
    const Double4 b = __builtin_shufflevector(entry(table, index[2]), entry(table, index[3]), 0, 1, 2, 3);
    const Double4 c = __builtin_shufflevector(entry(table, index[4]), entry(table, index[5]), 0, 1, 2, 3);
    const Double4 d = __builtin_shufflevector(entry(table, index[6]), entry(table, index[7]), 0, 1, 2, 3);
    const Double8 ab = __builtin_shufflevector(a, b, 0, 1, 2, 3, 4, 5, 6, 7);
    const Double8 cd = __builtin_shufflevector(c, d, 0, 1, 2, 3, 4, 5, 6, 7);
    return {__builtin_shufflevector(ab, cd, 0, 2, 4, 6, 8, 10, 12, 14),
            __builtin_shufflevector(ab, cd, 1, 3, 5, 7, 9, 11, 13, 15)};
}

#if defined(__SSE2__)
// a b - c rounded once, lane by lane (a b + (-c): the negation is exact).
TARQUEL_ALWAYS_INLINE Double4 fusedMultiplySubtract(Double4 a, Double4 b, Double4 c) {
    return __builtin_ia32_vfmaddpd256(a, b, -c);
}

TARQUEL_ALWAYS_INLINE Double8 fusedMultiplySubtract(Double8 a, Double8 b, Double8 c) {
    return __builtin_ia32_vfmaddpd512_mask(a, b, -c, 0xff, 4);  // all lanes, the current rounding
}

// 2^(i/64), i = n mod 64, for the fast path of the exponential (see
// fastExpMantissa): in two and four lanes the table's entry; in eight, the
// product of the entries A = 2^(8a/64) and B = 2^(b/64), i = 8a + b, each
// part looked up in a register of eight by one permute, in place of the
// gather of the 64-entry table (eight scalar loads and their shuffles:
// about a fifth of the kernel's time). Th = Ah Bh rounded, and
// Tl = (Ah Bh - Th) + (Ah Bl + Al Bh): the first term exact (one fused
// multiply-add; the factors are in [1, 2)), Al Bl (below 2^-105) left out,
// three roundings below 2^-104 each. So Th is in [1, 2), |Tl| < 2^-51, and
// Th + Tl is within 2^-101 of the table's entry, relatively (the entries
// themselves are within 2^-104 of 2^(i/64)): 2^-37 of the unit in which
// fastExpMantissa's error is counted, which its margin absorbs. The
// double-double path of undecided lanes still takes the table's entry.
template <class V>
TARQUEL_ALWAYS_INLINE DDOf<V> fastPowerEntry(const Tables& tables, BitsOf<V> n) {
    if constexpr (lanesOf<V> == 8) {
        const Bits8 b = n, a = n >> 3;  // a permute reads the low three bits of an index
        const Double8 ah = __builtin_shuffle(load<Double8>(tables.coarseHi), a);
        const Double8 al = __builtin_shuffle(load<Double8>(tables.coarseLo), a);
        const Double8 bh = __builtin_shuffle(load<Double8>(tables.fineHi), b);
        const Double8 bl = __builtin_shuffle(load<Double8>(tables.fineLo), b);
        const Double8 th = ah * bh;
        return {th, fusedMultiplySubtract(ah, bh, th) + (ah * bl + al * bh)};
    } else {
        return gather<V>(tables.twoToSixtyFourths, n & 63);
    }
}
#endif

// A group of N blocks of lanes computed in step. The double-double chains
// of the kernels are long and strictly sequential; several independent
// chains side by side keep the processor's adders busy where one chain
// would leave them waiting for results (measured: six blocks of four lanes
// run the power kernel in 0.6 times the time of one). Each lane still
// performs exactly the scalar operations. fused: the group's exact products
// take one fused multiply-add (see the fused ExactProduct).
template <class V, unsigned N, bool fused = false>
struct Group {
    V block[N];
};

constexpr unsigned groupBlocks = 6;

template <class V, unsigned N, bool F, class Operation>
TARQUEL_ALWAYS_INLINE Group<V, N, F> each(Operation operation) {
    Group<V, N, F> r;
#pragma GCC unroll 16
    for (unsigned j = 0; j < N; ++j) r.block[j] = operation(j);
    return r;
}

template <class V, unsigned N, bool F>
TARQUEL_ALWAYS_INLINE Group<V, N, F> operator+(Group<V, N, F> x, Group<V, N, F> y) {
    return each<V, N, F>([&](unsigned j) { return x.block[j] + y.block[j]; });
}
template <class V, unsigned N, bool F>
TARQUEL_ALWAYS_INLINE Group<V, N, F> operator-(Group<V, N, F> x, Group<V, N, F> y) {
    return each<V, N, F>([&](unsigned j) { return x.block[j] - y.block[j]; });
}
template <class V, unsigned N, bool F>
TARQUEL_ALWAYS_INLINE Group<V, N, F> operator*(Group<V, N, F> x, Group<V, N, F> y) {
    return each<V, N, F>([&](unsigned j) { return x.block[j] * y.block[j]; });
}
template <class V, unsigned N, bool F>
TARQUEL_ALWAYS_INLINE Group<V, N, F> operator/(Group<V, N, F> x, Group<V, N, F> y) {
    return each<V, N, F>([&](unsigned j) { return x.block[j] / y.block[j]; });
}
template <class V, unsigned N, bool F>
TARQUEL_ALWAYS_INLINE Group<V, N, F> operator-(Group<V, N, F> x) {
    return each<V, N, F>([&](unsigned j) { return -x.block[j]; });
}
template <class V, unsigned N, bool F>
TARQUEL_ALWAYS_INLINE Group<V, N, F>& operator+=(Group<V, N, F>& x, Group<V, N, F> y) {
    return x = x + y;
}
template <class V, unsigned N, bool F>
TARQUEL_ALWAYS_INLINE Group<V, N, F> operator+(double x, Group<V, N, F> y) {
    return each<V, N, F>([&](unsigned j) { return x + y.block[j]; });
}
template <class V, unsigned N, bool F>
TARQUEL_ALWAYS_INLINE Group<V, N, F> operator*(double x, Group<V, N, F> y) {
    return each<V, N, F>([&](unsigned j) { return x * y.block[j]; });
}
template <class V, unsigned N, bool F>
TARQUEL_ALWAYS_INLINE Group<V, N, F> operator*(Group<V, N, F> x, double y) {
    return each<V, N, F>([&](unsigned j) { return x.block[j] * y; });
}

}  // namespace

// Groups of blocks as lanes of the shared templates.
template <class V, unsigned N, bool F>
struct portableMath::Broadcast<Group<V, N, F>> {
    static TARQUEL_ALWAYS_INLINE Group<V, N, F> of(double v) {
        return each<V, N, F>([&](unsigned) { return splat<V>(v); });
    }
};

template <class V, unsigned N, bool F>
struct portableMath::Magnitude<Group<V, N, F>> {
    static TARQUEL_ALWAYS_INLINE Group<V, N, F> of(Group<V, N, F> v) {
        return each<V, N, F>([&](unsigned j) { return portableMath::Magnitude<V>::of(v.block[j]); });
    }
};

// The exact product by fused multiply-add, in the groups that ask for it:
// p = a b rounded, e = a b - p rounded once, which is exact (the compiler's
// built-in rather than the intrinsic: it is expanded in the entry point,
// with its instruction set, once everything is inlined there). Dekker's
// product (dd::ExactProduct) returns the same p, and the same e, wherever
//   a and b are normal or 0, |a|, |b| < 2^996 (beyond, 2^27 a overflows
//   in the split), and a b = 0 or |p| >= 2^-960 (the callers keep to
//   2^-900):
// the halves of the split are multiples of ulp(a) and ulp(b), so every
// partial product, every sum of them and e are multiples of ulp(a) ulp(b)
// >= 2^-1066 (|p| < 2^106 ulp(a) ulp(b)): nothing underflows, nothing
// overflows, and Dekker's proof that e is exact holds. Where the product is
// exact (a or b zero included) both give e = +0: an exact zero sum of
// nonzero values, and the difference of equal values, round to +0, and
// Dekker's first term ah bh - p is such a difference or nonzero. Each
// caller states why its lanes meet these bounds, or sends the others to
// the scalar kernel.
template <class V, unsigned N>
struct dd::ExactProduct<Group<V, N, true>> {
    static TARQUEL_ALWAYS_INLINE dd::DoubleDouble<Group<V, N, true>> of(Group<V, N, true> a, Group<V, N, true> b) {
        dd::DoubleDouble<Group<V, N, true>> r;
        r.hi = a * b;
#pragma GCC unroll 16
        for (unsigned j = 0; j < N; ++j) r.lo.block[j] = fusedMultiplySubtract(a.block[j], b.block[j], r.hi.block[j]);
        return r;
    }
};

namespace {

// N blocks of lanes from x, the last with count valid lanes (the others
// hold pad).
template <class V, unsigned N, bool F>
TARQUEL_ALWAYS_INLINE Group<V, N, F> loadGroup(const double* x, unsigned count, double pad) {
    return each<V, N, F>([&](unsigned j) {
        if (j + 1 < N || count == lanesOf<V>) return load<V>(x + j * lanesOf<V>);
        V v = splat<V>(pad);
        for (unsigned i = 0; i < count; ++i) v[i] = x[j * lanesOf<V> + i];
        return v;
    });
}

// The first count lanes of v to out.
template <class V>
TARQUEL_ALWAYS_INLINE void storeLanes(double* out, V v, unsigned count) {
    if (count == lanesOf<V>) {
        store(out, v);
    } else {
        for (unsigned i = 0; i < count; ++i) out[i] = v[i];
    }
}

// The log reduction of each lane of a positive, finite x, as
// portableMath::logKernel forms it: x = 2^e f, f in (1/sqrt2, sqrt2], and
// the centre c = 1 + j/128 nearest f with log c from the table.
template <class V>
struct LogReduction {
    V f;
    V centre;
    BitsOf<V> index;  // of the centre's table entries, + roundingOffsetBits
    V e;
};

template <class V>
TARQUEL_ALWAYS_INLINE LogReduction<V> reduceLog(V x) {
    using Bits = BitsOf<V>;
    const Bits subnormal = (Bits)(x < splat<V>(0x1p-1022));
    x = select(subnormal, x, x * 0x1p54);
    const Bits bits = (Bits)x;
    const V biased = (V)((bits >> 52) | (Bits)splat<V>(0x1p52)) - splat<V>(0x1p52);
    LogReduction<V> r;
    r.e = (V)(subnormal & (Bits)splat<V>(-54.0)) + (biased - 1023.0);
    r.f = (V)((bits & 0x000fffffffffffffULL) | (0x3ffULL << 52));  // f in [1, 2)
    const Bits large = (Bits)(r.f > splat<V>(portableMath::sqrt2));
    r.f = select(large, r.f, r.f * 0.5);
    r.e = select(large, r.e, r.e + 1.0);
    const V j = floorExact((r.f - 1.0) * 128.0 + 0.5, r.index);
    r.centre = 1.0 + j / 128.0;
    return r;
}

// The lanes of x that the log kernel takes: positive and finite.
template <class V>
TARQUEL_ALWAYS_INLINE BitsOf<V> logDomain(V x) {
    return (BitsOf<V>)(x > 0.0) & (BitsOf<V>)(x < infinity);
}

// portableMath::logKernel on N blocks of x; the lanes outside the domain
// compute log 1 (the caller replaces them).
template <class V, unsigned N, bool F>
TARQUEL_ALWAYS_INLINE dd::DoubleDouble<Group<V, N, F>> logGroup(const Group<V, N, F>& x, const Tables& tables) {
    Group<V, N, F> f, centre, e;
    dd::DoubleDouble<Group<V, N, F>> logCentre;
#pragma GCC unroll 16
    for (unsigned j = 0; j < N; ++j) {
        const V safe = select(logDomain(x.block[j]), splat<V>(1.0), x.block[j]);
        const LogReduction<V> r = reduceLog(safe);
        f.block[j] = r.f;
        centre.block[j] = r.centre;
        e.block[j] = r.e;
        const DDOf<V> entry = gather<V>(tables.logCentre - Tables::logFirst, r.index);
        logCentre.hi.block[j] = entry.hi;
        logCentre.lo.block[j] = entry.lo;
    }
    return portableMath::logFromReduction(f, centre, logCentre, e);
}

// portableLog on N blocks of x (the last with count valid lanes) to out +
// at: the fast path of log in every lane, the double-double path for a
// block where a lane fails its rounding test, the scalar function for lanes
// outside the domain.
template <class V, unsigned N, bool F>
TARQUEL_ALWAYS_INLINE void roundedLogGroup(const Group<V, N, F>& x, double* out, std::size_t at, unsigned count,
                                           const Tables& tables) {
    LogReduction<V> r[N];
    Group<V, N, F> f, fHead, inverse, e;
    dd::DoubleDouble<Group<V, N, F>> logInverse;
#pragma GCC unroll 16
    for (unsigned j = 0; j < N; ++j) {
        r[j] = reduceLog(select(logDomain(x.block[j]), splat<V>(1.0), x.block[j]));
        f.block[j] = r[j].f;
        fHead.block[j] = (V)((BitsOf<V>)r[j].f & portableMath::logHeadMask);
        e.block[j] = r[j].e;
        inverse.block[j] = gather<V>(tables.inverseCentre - Tables::logFirst, r[j].index).hi;
        const DDOf<V> entry = gather<V>(tables.logOfInverse - Tables::logFirst, r[j].index);
        logInverse.hi.block[j] = entry.hi;
        logInverse.lo.block[j] = entry.lo;
    }
    const portableMath::RoundingBracket<Group<V, N, F>> fast = portableMath::fastLogFromReduction(f, fHead, inverse,
                                                                                                  logInverse, e);
#pragma GCC unroll 16
    for (unsigned j = 0; j < N; ++j) {
        const unsigned valid = j + 1 < N ? lanesOf<V> : count;
        V result = fast.low.block[j];
        const BitsOf<V> regular = logDomain(x.block[j]);
        const BitsOf<V> undecided = regular & ~(BitsOf<V>)(fast.low.block[j] == fast.high.block[j]);
        if (anySet<V>(undecided)) {
            const DDOf<V> logCentre = gather<V>(tables.logCentre - Tables::logFirst, r[j].index);
            const DDOf<V> l = portableMath::logFromReduction(r[j].f, r[j].centre, logCentre, r[j].e);
            result = select(undecided, result, l.hi + l.lo);
        }
        if (!allSet<V>(regular)) {
            for (unsigned i = 0; i < valid; ++i) {
                if (regular[i] == 0) result[i] = portableLog(x.block[j][i]);
            }
        }
        storeLanes(out + at + j * lanesOf<V>, result, valid);
    }
}

// What the log loops write: portableLog(x) (by roundedLogGroup) ...
struct LogOutput {
    static constexpr bool rounded = true;
    double* out;
};

// ... or the table entry of x.
struct TableOutput {
    static constexpr bool rounded = false;
    double* logHi;
    double* logLo;
    template <class V>
    TARQUEL_ALWAYS_INLINE void write(std::size_t at, V x, DDOf<V> l, unsigned count) const {
        const BitsOf<V> regular = logDomain(x);
        if (!allSet<V>(regular)) {
            for (unsigned i = 0; i < count; ++i) {
                if (regular[i] != 0) continue;
                l.hi[i] = portableLog(x[i]);
                l.lo[i] = x[i] == 0 ? x[i] : 0.0;
            }
        }
        storeLanes(logHi + at, l.hi, count);
        storeLanes(logLo + at, l.lo, count);
    }
};

// N blocks of x = t - g (or x = t: a NaN keeps its bits) from t + at, the
// last with count valid lanes.
template <class V, unsigned N, bool F, bool shifted, class Output>
TARQUEL_ALWAYS_INLINE void logBlocks(const double* t, double g, std::size_t at, unsigned count, const Output& output,
                                     const Tables& tables) {
    Group<V, N, F> x = loadGroup<V, N, F>(t + at, count, shifted ? 1 + g : 1);
    if (shifted) x = each<V, N, F>([&](unsigned j) { return x.block[j] - g; });
    if constexpr (Output::rounded) {
        roundedLogGroup(x, output.out, at, count, tables);
    } else {
        const dd::DoubleDouble<Group<V, N, F>> l = logGroup(x, tables);
#pragma GCC unroll 16
        for (unsigned j = 0; j < N; ++j) {
            output.write(at + j * lanesOf<V>, x.block[j], DDOf<V>{l.hi.block[j], l.lo.block[j]},
                         j + 1 < N ? lanesOf<V> : count);
        }
    }
}

// fused: the exact products of the double-double chains by fused
// multiply-add (see the fused ExactProduct).
template <class V, bool shifted, class Output, bool fused = false>
TARQUEL_ALWAYS_INLINE void logLoop(const double* t, double g, std::size_t n, const Output& output) {
    const Tables& tables = portableMath::tables();
    constexpr unsigned lanes = lanesOf<V>;
    std::size_t i = 0;
    for (; i + groupBlocks * lanes <= n; i += groupBlocks * lanes) {
        logBlocks<V, groupBlocks, fused, shifted>(t, g, i, lanes, output, tables);
    }
    for (; i < n; i += lanes) {
        logBlocks<V, 1, fused, shifted>(t, g, i, n - i < lanes ? static_cast<unsigned>(n - i) : lanes, output, tables);
    }
}

// Where e^y needs no scaling in two steps (and the fast path applies): y.hi
// in [-708, 709], inside [expUnderflow, expOverflow].
constexpr double regularExpLow = portableMath::fastExpLow;
constexpr double regularExpHigh = portableMath::fastExpHigh;
constexpr double aboveRegularExpHigh = std::bit_cast<double>(std::bit_cast<std::uint64_t>(regularExpHigh) + 1);

// x^m for one block of lanes up to the double-double part of the exp kernel.
template <class V>
struct PowerStep {
    BitsOf<V> regular;  // lanes for the vector kernel; the others take powFromTable
    DDOf<V> y;          // m log x (0 in the other lanes)
    V nd;               // y 64/ln2 rounded down after adding 1/2
    BitsOf<V> k;        // the power of two of the result, + roundingOffsetBits
    BitsOf<V> n;        // i = nd - 64 k in its low six bits
    DDOf<V> power;      // 2^(i/64) for the fast path (fastPowerEntry)
};

// Where the fused level's products are exact (see the fused ExactProduct):
// the factors below 2^996 and normal, and the products of at least 2^-900.
constexpr double fusedFactorHigh = 0x1p996;
constexpr double fusedFactorLow = 0x1p-1022;
constexpr double fusedProductLow = 0x1p-900;

// The lanes where low <= |v| < high (positive bounds), by one unsigned
// comparison of the magnitude's bits, which are ordered as the magnitudes
// are (a NaN's lie above those of infinity, so NaN is outside).
template <class V>
TARQUEL_ALWAYS_INLINE BitsOf<V> magnitudeIn(V v, double low, double high) {
    const std::uint64_t from = std::bit_cast<std::uint64_t>(low), to = std::bit_cast<std::uint64_t>(high);
    return (BitsOf<V>)(((BitsOf<V>)v & ~(std::uint64_t{1} << 63)) - from < to - from);
}

// From y = logX m (dd::multiply, by the group's exact product). fused: y
// came from the fused product, and the lanes where it may differ from
// Dekker's are left out too (m is normal and below 2^996: see powerLoop).
template <class V, bool fused>
TARQUEL_ALWAYS_INLINE PowerStep<V> beginPower(DDOf<V> logX, DDOf<V> y, const Tables& tables) {
    using Bits = BitsOf<V>;
    // The lanes where portableMath::powerFromLog reaches the exp kernel with
    // a y of the regular range; log x = 0 (x = 1) is left out too. Its first
    // test, of the estimate logX.hi m, cannot fail there: y.hi is that
    // product plus less than 2^-51 of it.
    PowerStep<V> step;
    if constexpr (fused) {
        // The two products of the kernel: logX.hi m here (the bounds on
        // logX.hi and y.hi), and power.hi rh in fastExpMantissa, which needs
        // nothing more: power.hi is in [1, 2), and rh is 0, or y.hi where
        // nd = 0, or else a nonzero multiple of 2^-60 (y.hi is at least
        // ln2/128 less a few units, and nd C1 is a multiple of 2^-38). The
        // double-double path of undecided lanes (expMantissa) runs on the
        // plain blocks, with Dekker's products, as at the other levels.
        // |logX.hi| >= 2^-1022 leaves out log x = 0 too.
        step.regular = magnitudeIn(logX.hi, fusedFactorLow, fusedFactorHigh) &
                       magnitudeIn(y.hi, fusedProductLow, aboveRegularExpHigh) & (Bits)(y.hi >= regularExpLow);
    } else {
        step.regular = (Bits)(y.hi <= regularExpHigh) & (Bits)(y.hi >= regularExpLow) & (Bits)(logX.hi != 0.0);
    }
    step.y = {(V)((Bits)y.hi & step.regular), (V)((Bits)y.lo & step.regular)};
    // nd = 64 k + i: from n = nd + offset bits, i = n mod 64 (the offset is
    // a multiple of 64) and k = floor((nd + 2^20) / 64) - 2^14.
    step.nd = floorExact(step.y.hi * (64 * portableMath::invLn2) + 0.5, step.n);
    step.k = ((step.n + ((1ULL << 20) - roundingOffsetBits)) >> 6) + (roundingOffsetBits - (1ULL << 14));
    step.power = fastPowerEntry<V>(tables, step.n);
    return step;
}

// Entries shifted by -ln s on their way into the power kernel (a pass over
// u = x / s), and the four lanes the terms go to: see batchPowFromShiftedLog.
struct LogShift {
    double hi = 0;
    double lo = 0;
    ShapeLanes* sums = nullptr;
};

// The four lanes of ShapeLanes in registers while a kernel runs.
struct LaneAccumulators {
    Double4 s0, s1, s2;

    // The terms of four points, lane j the point of lane j.
    TARQUEL_ALWAYS_INLINE void add(Double4 x, Double4 l) {
        s0 += x;
        s1 += x * l;
        s2 += x * (l * l);
    }
};

// Adds the terms of a block of valid lanes whose first point is point
// `first` of the slice (a slice starts at a multiple of 4 in its block):
// x = u^m, l = ln u. Four points at a time where the block holds whole
// fours, lane by lane otherwise, each lane's points in increasing order.
template <class V>
TARQUEL_ALWAYS_INLINE void addTerms(LaneAccumulators& acc, V x, V l, std::size_t first, unsigned valid) {
    if constexpr (lanesOf<V> == 4) {
        if (valid == 4) return acc.add(x, l);
    } else if constexpr (lanesOf<V> == 8) {
        if (valid == 8) {
            acc.add(__builtin_shufflevector(x, x, 0, 1, 2, 3), __builtin_shufflevector(l, l, 0, 1, 2, 3));
            return acc.add(__builtin_shufflevector(x, x, 4, 5, 6, 7), __builtin_shufflevector(l, l, 4, 5, 6, 7));
        }
    }
    for (unsigned i = 0; i < valid; ++i) {
        const std::size_t lane = (first + i) % 4;
        acc.s0[lane] += x[i];
        acc.s1[lane] += x[i] * l[i];
        acc.s2[lane] += x[i] * (l[i] * l[i]);
    }
}

// The shifted entry, the same operations in every lane type: the high
// parts' difference without error, the low parts' difference added once.
template <class T>
TARQUEL_ALWAYS_INLINE dd::DoubleDouble<T> shiftedEntry(T hi, T lo, T shiftHi, T shiftLo) {
    const dd::DoubleDouble<T> high = dd::twoSum(hi, -shiftHi);
    return dd::fastTwoSum(high.hi, high.lo + (lo - shiftLo));
}

// x^m for N blocks of table entries from at, the last with count valid
// lanes; shifted: u^m for the entries of ln u = ln x - ln s, and their
// terms added to acc.
template <class V, unsigned N, bool F, bool shifted = false>
TARQUEL_ALWAYS_INLINE void powerBlocks(const double* logHi, const double* logLo, double m, double* out, std::size_t at,
                                       unsigned count, const Tables& tables, const LogShift& shift = {},
                                       LaneAccumulators* acc = nullptr) {
    Group<V, N, F> hi = loadGroup<V, N, F>(logHi + at, count, 1);
    Group<V, N, F> lo = loadGroup<V, N, F>(logLo + at, count, 0);
    if constexpr (shifted) {
        const dd::DoubleDouble<Group<V, N, F>> u = shiftedEntry(hi, lo, splat<Group<V, N, F>>(shift.hi),
                                                                splat<Group<V, N, F>>(shift.lo));
        hi = u.hi;
        lo = u.lo;
    }
    const Group<V, N, F> l = hi + lo;  // ln u, for the terms
    PowerStep<V> steps[N];
    const dd::DoubleDouble<Group<V, N, F>> product = dd::multiply(dd::DoubleDouble<Group<V, N, F>>{hi, lo},
                                                                  splat<Group<V, N, F>>(m));
    dd::DoubleDouble<Group<V, N, F>> y, power;
    Group<V, N, F> nd;
#pragma GCC unroll 16
    for (unsigned j = 0; j < N; ++j) {
        steps[j] = beginPower<V, F>(DDOf<V>{hi.block[j], lo.block[j]},
                                    DDOf<V>{product.hi.block[j], product.lo.block[j]}, tables);
        y.hi.block[j] = steps[j].y.hi;
        y.lo.block[j] = steps[j].y.lo;
        power.hi.block[j] = steps[j].power.hi;
        power.lo.block[j] = steps[j].power.lo;
        nd.block[j] = steps[j].nd;
    }
    const portableMath::RoundingBracket<Group<V, N, F>> fast = portableMath::fastExpMantissa(y, nd, power);
#pragma GCC unroll 16
    for (unsigned j = 0; j < N; ++j) {
        const std::size_t first = at + j * lanesOf<V>;
        const unsigned valid = j + 1 < N ? lanesOf<V> : count;
        V mantissa = fast.low.block[j];
        const BitsOf<V> undecided = steps[j].regular & ~(BitsOf<V>)(fast.low.block[j] == fast.high.block[j]);
        if (anySet<V>(undecided)) {
            // The whole block takes the double-double path; the lanes that
            // failed the test keep its result (the others agree with it).
            const DDOf<V> tableEntry = gather<V>(tables.twoToSixtyFourths, steps[j].n & 63);
            const V slow = portableMath::expMantissa(steps[j].y, steps[j].nd, tableEntry);
            mantissa = select(undecided, mantissa, slow);
        }
        V result = mantissa * powerOfTwo<V>(steps[j].k);
        if (!allSet<V>(steps[j].regular)) {
            for (unsigned i = 0; i < valid; ++i) {
                if (steps[j].regular[i] != 0) continue;
                // The entry again from memory, so that no register holds it
                // through the group for this rare case.
                DD logU{logHi[first + i], logLo[first + i]};
                if constexpr (shifted) logU = shiftedEntry(logU.hi, logU.lo, shift.hi, shift.lo);
                result[i] = powFromTable(logU.hi, logU.lo, m);
            }
        }
        storeLanes(out + first, result, valid);
        if constexpr (shifted) addTerms<V>(*acc, result, l.block[j], first, valid);
    }
}

// fused: the exact products by fused multiply-add (the caller has checked
// that m is normal and below 2^996 in magnitude).
template <class V, bool fused = false, bool shifted = false>
TARQUEL_ALWAYS_INLINE void powerLoop(const double* logHi, const double* logLo, std::size_t n, double m, double* out,
                                     const LogShift& shift = {}) {
    const Tables& tables = portableMath::tables();
    constexpr unsigned lanes = lanesOf<V>;
    LaneAccumulators acc{};
    if constexpr (shifted)
        acc = {load<Double4>(shift.sums->S0), load<Double4>(shift.sums->S1), load<Double4>(shift.sums->S2)};
    std::size_t i = 0;
    for (; i + groupBlocks * lanes <= n; i += groupBlocks * lanes) {
        powerBlocks<V, groupBlocks, fused, shifted>(logHi, logLo, m, out, i, lanes, tables, shift, &acc);
    }
    for (; i < n; i += lanes) {
        powerBlocks<V, 1, fused, shifted>(logHi, logLo, m, out, i, n - i < lanes ? static_cast<unsigned>(n - i) : lanes,
                                          tables, shift, &acc);
    }
    if constexpr (shifted) {
        store(shift.sums->S0, acc.s0);
        store(shift.sums->S1, acc.s1);
        store(shift.sums->S2, acc.s2);
    }
}

// One entry point per instruction set and kernel.
#if defined(__SSE2__)
constexpr bool haveSse2 = true;

void logSse2(const double* x, std::size_t n, double* out) { logLoop<Double2, false>(x, 0, n, LogOutput{out}); }

void logOfDifferenceSse2(const double* t, double g, std::size_t n, double* out) {
    logLoop<Double2, true>(t, g, n, LogOutput{out});
}

void logTableSse2(const double* t, double g, std::size_t n, double* hi, double* lo) {
    logLoop<Double2, true>(t, g, n, TableOutput{hi, lo});
}

void powerSse2(const double* hi, const double* lo, std::size_t n, double m, double* out) {
    powerLoop<Double2>(hi, lo, n, m, out);
}

void shiftedPowerSse2(const double* hi, const double* lo, std::size_t n, double m, double* out, const LogShift& shift) {
    powerLoop<Double2, false, true>(hi, lo, n, m, out, shift);
}

__attribute__((target("avx2"))) void logAvx2(const double* x, std::size_t n, double* out) {
    logLoop<Double4, false>(x, 0, n, LogOutput{out});
}

__attribute__((target("avx2"))) void logOfDifferenceAvx2(const double* t, double g, std::size_t n, double* out) {
    logLoop<Double4, true>(t, g, n, LogOutput{out});
}

__attribute__((target("avx2"))) void logTableAvx2(const double* t, double g, std::size_t n, double* hi, double* lo) {
    logLoop<Double4, true>(t, g, n, TableOutput{hi, lo});
}

__attribute__((target("avx2"))) void powerAvx2(const double* hi, const double* lo, std::size_t n, double m,
                                               double* out) {
    powerLoop<Double4>(hi, lo, n, m, out);
}

__attribute__((target("avx2"))) void shiftedPowerAvx2(const double* hi, const double* lo, std::size_t n, double m,
                                                      double* out, const LogShift& shift) {
    powerLoop<Double4, false, true>(hi, lo, n, m, out, shift);
}

// The log table with fused products: those of logFromReduction are
// q1 (f + c).hi in divideExact, with q1 = 0 or at least 2^-55 (f - c is 0 or
// a nonzero multiple of 2^-53, f + c in [1.4, 2.9]), and ln2.hi e, e an
// integer: 0, or both factors normal and far from the bounds. The lanes
// outside the domain reduce x = 1 (f = c = 1, e = 0).
__attribute__((target("avx2,fma"))) void logTableAvx2Fma(const double* t, double g, std::size_t n, double* hi,
                                                         double* lo) {
    logLoop<Double4, true, TableOutput, true>(t, g, n, TableOutput{hi, lo});
}

__attribute__((target("avx2,fma"))) void powerAvx2Fma(const double* hi, const double* lo, std::size_t n, double m,
                                                      double* out) {
    powerLoop<Double4, true>(hi, lo, n, m, out);
}

__attribute__((target("avx2,fma"))) void shiftedPowerAvx2Fma(const double* hi, const double* lo, std::size_t n,
                                                             double m, double* out, const LogShift& shift) {
    powerLoop<Double4, true, true>(hi, lo, n, m, out, shift);
}

__attribute__((target("avx512f,fma"))) void logTableAvx512(const double* t, double g, std::size_t n, double* hi,
                                                           double* lo) {
    logLoop<Double8, true, TableOutput, true>(t, g, n, TableOutput{hi, lo});
}

__attribute__((target("avx512f,fma"))) void powerAvx512(const double* hi, const double* lo, std::size_t n, double m,
                                                        double* out) {
    powerLoop<Double8, true>(hi, lo, n, m, out);
}

__attribute__((target("avx512f,fma"))) void shiftedPowerAvx512(const double* hi, const double* lo, std::size_t n,
                                                               double m, double* out, const LogShift& shift) {
    powerLoop<Double8, true, true>(hi, lo, n, m, out, shift);
}
#else
constexpr bool haveSse2 = false;
#endif

BatchLevel detectLevel() {
#if defined(__SSE2__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("fma")) return BatchLevel::avx512;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return BatchLevel::avx2fma;
    if (__builtin_cpu_supports("avx2")) return BatchLevel::avx2;
#endif
    return haveSse2 ? BatchLevel::sse2 : BatchLevel::scalar;
}

std::atomic<int> levelInUse{-1};

// The table entry of x outside the vector paths.
void scalarTableEntry(double x, double& hi, double& lo) {
    if (x > 0 && x < infinity) {
        const DD l = portableMath::logKernel(x);
        hi = l.hi;
        lo = l.lo;
    } else {
        hi = portableLog(x);
        lo = x == 0 ? x : 0.0;
    }
}

}  // namespace

BatchLevel bestBatchLevel() {
    static const BatchLevel best = detectLevel();
    return best;
}

BatchLevel batchLevel() {
    const int level = levelInUse.load(std::memory_order_relaxed);
    return level < 0 ? bestBatchLevel() : static_cast<BatchLevel>(level);
}

BatchLevel setBatchLevel(BatchLevel level) {
    const BatchLevel best = bestBatchLevel();
    const BatchLevel used = static_cast<int>(level) < static_cast<int>(best) ? level : best;
    levelInUse.store(static_cast<int>(used), std::memory_order_relaxed);
    return used;
}

double powFromTable(double hi, double lo, double m) {
    if (std::isfinite(hi) && hi != 0 && std::isfinite(m) && m != 0) return portableMath::powerFromLog(DD{hi, lo}, m);
    // Special cases go to portablePow with x itself (1, inf, +-0, NaN) or, for
    // a non-finite or zero m, a stand-in of the same side of 1.
    double x = hi > 0 ? 2.0 : 0.5;
    if (hi == 0) x = 1;
    if (hi == infinity) x = infinity;
    if (hi == -infinity) x = lo;  // the zero with its sign
    if (std::isnan(hi)) x = hi;
    return portablePow(x, m);
}

void batchLog(const double* x, std::size_t n, double* out) {
#if defined(__SSE2__)
    switch (batchLevel()) {
        case BatchLevel::avx512:
        case BatchLevel::avx2fma:  // no product on the fast path
        case BatchLevel::avx2: return logAvx2(x, n, out);
        case BatchLevel::sse2: return logSse2(x, n, out);
        case BatchLevel::scalar: break;
    }
#endif
    for (std::size_t i = 0; i < n; ++i) out[i] = portableLog(x[i]);
}

void batchLogOfDifference(const double* t, double g, std::size_t n, double* out) {
#if defined(__SSE2__)
    switch (batchLevel()) {
        case BatchLevel::avx512:
        case BatchLevel::avx2fma:
        case BatchLevel::avx2: return logOfDifferenceAvx2(t, g, n, out);
        case BatchLevel::sse2: return logOfDifferenceSse2(t, g, n, out);
        case BatchLevel::scalar: break;
    }
#endif
    for (std::size_t i = 0; i < n; ++i) out[i] = portableLog(t[i] - g);
}

void batchLogTable(const double* t, double g, std::size_t n, double* logHi, double* logLo) {
#if defined(__SSE2__)
    switch (batchLevel()) {
        case BatchLevel::avx512: return logTableAvx512(t, g, n, logHi, logLo);
        case BatchLevel::avx2fma: return logTableAvx2Fma(t, g, n, logHi, logLo);
        case BatchLevel::avx2: return logTableAvx2(t, g, n, logHi, logLo);
        case BatchLevel::sse2: return logTableSse2(t, g, n, logHi, logLo);
        case BatchLevel::scalar: break;
    }
#endif
    for (std::size_t i = 0; i < n; ++i) scalarTableEntry(t[i] - g, logHi[i], logLo[i]);
}

void batchPowFromLog(const double* logHi, const double* logLo, std::size_t n, double m, double* out) {
    const bool regularExponent = std::isfinite(m) && m != 0;
    // The fused products need m normal and below 2^996 (see powerLoop).
    const bool fusedFactor = std::fabs(m) >= fusedFactorLow && std::fabs(m) < fusedFactorHigh;
#if defined(__SSE2__)
    if (regularExponent) {
        switch (batchLevel()) {
            case BatchLevel::avx512:
                if (fusedFactor) return powerAvx512(logHi, logLo, n, m, out);
                return powerAvx2(logHi, logLo, n, m, out);
            case BatchLevel::avx2fma:
                if (fusedFactor) return powerAvx2Fma(logHi, logLo, n, m, out);
                return powerAvx2(logHi, logLo, n, m, out);
            case BatchLevel::avx2: return powerAvx2(logHi, logLo, n, m, out);
            case BatchLevel::sse2: return powerSse2(logHi, logLo, n, m, out);
            case BatchLevel::scalar: break;
        }
    }
#endif
    (void)regularExponent;
    (void)fusedFactor;
    for (std::size_t i = 0; i < n; ++i) out[i] = powFromTable(logHi[i], logLo[i], m);
}

void batchPowFromShiftedLog(const double* logHi, const double* logLo, std::size_t n, double shiftHi, double shiftLo,
                            double m, double* out, ShapeLanes& sums) {
    const bool regularExponent = std::isfinite(m) && m != 0;
    const bool fusedFactor = std::fabs(m) >= fusedFactorLow && std::fabs(m) < fusedFactorHigh;
#if defined(__SSE2__)
    const LogShift shift{shiftHi, shiftLo, &sums};
    if (regularExponent) {
        switch (batchLevel()) {
            case BatchLevel::avx512:
                if (fusedFactor) return shiftedPowerAvx512(logHi, logLo, n, m, out, shift);
                return shiftedPowerAvx2(logHi, logLo, n, m, out, shift);
            case BatchLevel::avx2fma:
                if (fusedFactor) return shiftedPowerAvx2Fma(logHi, logLo, n, m, out, shift);
                return shiftedPowerAvx2(logHi, logLo, n, m, out, shift);
            case BatchLevel::avx2: return shiftedPowerAvx2(logHi, logLo, n, m, out, shift);
            case BatchLevel::sse2: return shiftedPowerSse2(logHi, logLo, n, m, out, shift);
            case BatchLevel::scalar: break;
        }
    }
#endif
    (void)regularExponent;
    (void)fusedFactor;
    for (std::size_t i = 0; i < n; ++i) {
        const DD u = shiftedEntry(logHi[i], logLo[i], shiftHi, shiftLo);
        const double x = powFromTable(u.hi, u.lo, m), l = logFromTable(u.hi, u.lo);
        out[i] = x;
        sums.S0[i % 4] += x;
        sums.S1[i % 4] += x * l;
        sums.S2[i % 4] += x * (l * l);
    }
}
