// tarquel-bench --sweep [COUNT]: the fast paths of the kernels against their
// double-double paths on COUNT arguments of exp's mantissa (default 10^8),
// random and adversarial, and COUNT arguments of log. For each argument both paths run; the sweep counts how often
// the rounding test fails (the kernel then falls back to the double-double
// path) and how often it passes with a double other than the double-double
// path's (a mismatch: must be 0). Prints the counts per kind of argument and
// the first few arguments that fall back. Exit status 1 on a mismatch.
//
// Kinds of argument of exp's mantissa (y = y.hi + y.lo, the fast range
// y.hi in [-708, 709]):
//   uniform     y.hi uniform over the fast range, y.lo = 0 (portableExp);
//   power       y = m log x in double-double as portablePow forms it, x
//               log-uniform over the normal doubles, m log-uniform in
//               +-[2^-8, 2^8] (arguments outside the fast range skipped);
//   halfway     y = log M in double-double for M halfway between two
//               adjacent doubles: e^y lies next to the halfway point,
//               where the test must fail;
//   edges       tiny y (j 2^-54 and random below 2^-20, where e^y is near
//               1 + y), y next to the points where nd changes, and the ends
//               of the fast range.
// Kinds of argument of log: every positive double ("wide", log-uniform,
// subnormals included), data-like values in (0, 1000], and values within
// 2^-6 of 1, where the result is small and the fast path's margin widest.
// Then the batch kernels at each level with fused products the processor
// offers against the double-double kernels, on COUNT more arguments each
// (sweepLevel).
#include "bench/kernel_sweep.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include "engine/batch_math.h"
#include "engine/portable_math_detail.h"

namespace {

using namespace portableMath;

struct Random {
    std::uint64_t state;
    std::uint64_t next() {  // xorshift64
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    double unit() { return static_cast<double>(next() >> 11) * 0x1p-53; }
    double between(double lo, double hi) { return lo + (hi - lo) * unit(); }
};

struct Counts {
    const char* name;
    long arguments = 0;
    long fallbacks = 0;
    long fastWouldBeWrong = 0;  // fallbacks whose lower end is not the double-double result
    long mismatches = 0;
    int shown = 0;
};

// One table row per kind; the totals added to the three sums.
void printKinds(std::span<const Counts> kinds, long& mismatches, long& arguments, long& fallbacks) {
    for (const Counts& c : kinds) {
        std::printf("%-8s %12ld %10ld %8.4f%% %14ld %10ld\n", c.name, c.arguments, c.fallbacks,
                    100.0 * static_cast<double>(c.fallbacks) / static_cast<double>(c.arguments > 0 ? c.arguments : 1),
                    c.fastWouldBeWrong, c.mismatches);
        mismatches += c.mismatches;
        arguments += c.arguments;
        fallbacks += c.fallbacks;
    }
}

// One argument of exp's mantissa: both paths, counted.
void sweepExp(DD y, Counts& counts) {
    const double nd = std::floor(y.hi * (64 * invLn2) + 0.5);
    const int n = static_cast<int>(nd);
    const DD& power = tables().twoToSixtyFourths[((n % 64) + 64) % 64];
    const RoundingBracket<double> fast = fastExpMantissa(y, nd, power);
    const double slow = expMantissa(y, nd, power);
    ++counts.arguments;
    if (fast.low == fast.high) {
        if (fast.low != slow) {
            ++counts.mismatches;
            std::printf("MISMATCH %s: y = %a + %a: fast %a, double-double %a\n", counts.name, y.hi, y.lo, fast.low,
                        slow);
        }
        return;
    }
    ++counts.fallbacks;
    if (fast.low != slow) ++counts.fastWouldBeWrong;
    if (counts.shown < 3) {
        ++counts.shown;
        std::printf("  falls back (%s): y = %a + %a, mantissa %a\n", counts.name, y.hi, y.lo, slow);
    }
}

DD logOf(double x) { return logKernel(x); }

// One argument of log (positive, finite): both paths, counted.
void sweepLog(double x, Counts& counts) {
    int e = 0;
    double f = 2 * std::frexp(x, &e);  // x = 2^e f as the kernel reduces it
    e -= 1;
    if (f > sqrt2) {
        f *= 0.5;
        ++e;
    }
    const int index = static_cast<int>(std::floor((f - 1) * 128 + 0.5)) - Tables::logFirst;
    std::uint64_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    bits &= logHeadMask;
    double fHead;
    std::memcpy(&fHead, &bits, sizeof fHead);
    const Tables& table = tables();
    const RoundingBracket<double> fast = fastLogFromReduction(f, fHead, table.inverseCentre[index].hi,
                                                              table.logOfInverse[index], static_cast<double>(e));
    const DD l = logKernel(x);
    const double slow = l.hi + l.lo;
    ++counts.arguments;
    if (fast.low == fast.high) {
        if (fast.low != slow) {
            ++counts.mismatches;
            std::printf("MISMATCH %s: log %a: fast %a, double-double %a\n", counts.name, x, fast.low, slow);
        }
        return;
    }
    ++counts.fallbacks;
    if (fast.low != slow) ++counts.fastWouldBeWrong;
    if (counts.shown < 3) {
        ++counts.shown;
        std::printf("  falls back (%s): log %a = %a\n", counts.name, x, slow);
    }
}

// The batch kernels of one level against the double-double kernels: x^m
// from a table {hi, lo} (batchPowFromLog) against e^y for y = (hi + lo) m
// by the scalar double-double product, its mantissa by expMantissaParts
// scaled once (powFromTable where y is outside the fast range); the log
// table (batchLogTable) against logKernel. Arguments come in batches of
// one m, four groups of six blocks of lanes and a remainder.
constexpr std::size_t batchSize = 101;

struct BatchCounts {
    const char* name;
    long arguments = 0;
    long outside = 0;    // left to the scalar kernel by the fused level's bounds or the range
    long fallbacks = 0;  // undecided by the fast path's rounding test
    long mismatches = 0;
    long tableMismatches = 0;
};

double doubleDoublePower(DD logX, double m, bool& outside, bool& fallback) {
    outside = true;
    fallback = false;
    if (!(std::isfinite(logX.hi) && logX.hi != 0 && std::isfinite(m) && m != 0))
        return powFromTable(logX.hi, logX.lo, m);
    const DD y = dd::multiply(logX, m);
    if (!(y.hi >= fastExpLow && y.hi <= fastExpHigh)) return powFromTable(logX.hi, logX.lo, m);
    const double magnitude = std::fabs(logX.hi);
    outside = !(std::fabs(y.hi) >= 0x1p-900 && magnitude >= 0x1p-1022 && magnitude < 0x1p996 &&
                std::fabs(m) >= 0x1p-1022 && std::fabs(m) < 0x1p996);
    const double nd = std::floor(y.hi * (64 * invLn2) + 0.5);
    const int n = static_cast<int>(nd);
    const int i = ((n % 64) + 64) % 64;
    const DD& power = tables().twoToSixtyFourths[i];
    const RoundingBracket<double> fast = fastExpMantissa(y, nd, power);
    fallback = fast.low != fast.high;
    return scaleMantissa(expMantissaParts(y, nd, power), (n - i) / 64);
}

void sweepBatch(const std::vector<double>& hi, const std::vector<double>& lo, double m, BatchCounts& counts) {
    double out[batchSize];
    batchPowFromLog(hi.data(), lo.data(), hi.size(), m, out);
    for (std::size_t i = 0; i < hi.size(); ++i) {
        bool outside = false, fallback = false;
        const double expected = doubleDoublePower(DD{hi[i], lo[i]}, m, outside, fallback);
        ++counts.arguments;
        counts.outside += outside;
        counts.fallbacks += fallback;
        if (std::memcmp(&out[i], &expected, sizeof expected) != 0) {
            if (++counts.mismatches <= 5)
                std::printf("MISMATCH %s: {%a, %a}^%a: batch %a, double-double %a\n", counts.name, hi[i], lo[i], m,
                            out[i], expected);
        }
    }
}

// batchSize tables of x (log-uniform over the normal doubles) through
// batchLogTable, checked against logKernel.
void tableBatch(Random& random, std::vector<double>& hi, std::vector<double>& lo, BatchCounts& counts) {
    double x[batchSize];
    for (double& v : x) v = std::exp(random.between(-700, 700));
    batchLogTable(x, 0, batchSize, hi.data(), lo.data());
    for (std::size_t i = 0; i < batchSize; ++i) {
        const DD l = logKernel(x[i]);
        if (std::memcmp(&l.hi, &hi[i], sizeof l.hi) != 0 || std::memcmp(&l.lo, &lo[i], sizeof l.lo) != 0) {
            if (++counts.tableMismatches <= 5)
                std::printf("TABLE MISMATCH: log %a: batch %a + %a, double-double %a + %a\n", x[i], hi[i], lo[i], l.hi,
                            l.lo);
        }
    }
}

// count arguments at the level in use, a quarter of each kind:
//   uniform  {y, 0}^1, y uniform over the fast range;
//   power    log x from batchLogTable, m log-uniform in +-[2^-8, 2^8];
//   halfway  {log M}^1 for M halfway between two adjacent doubles;
//   bounds   the fused level's: products near 2^-900 (hi log-uniform in
//            [2^-60, 2^10], m = 2^-900 / 2^e for a random e in [-60, 10]),
//            one entry in four with hi subnormal, near 2^-1022 or near
//            2^996, and one batch in eight with m subnormal or beyond 2^996.
long sweepLevel(long count) {
    Random random{0x9e3779b97f4a7c15ULL};
    BatchCounts kinds[] = {{"uniform"}, {"power"}, {"halfway"}, {"bounds"}};
    std::vector<double> hi(batchSize), lo(batchSize);
    for (long a = 0; a < count; a += static_cast<long>(batchSize)) {
        const long kind = (a / static_cast<long>(batchSize)) % 4;
        double m = 1;
        if (kind == 0) {
            for (std::size_t i = 0; i < batchSize; ++i) {
                hi[i] = random.between(fastExpLow, fastExpHigh);
                lo[i] = 0;
            }
        } else if (kind == 1) {
            tableBatch(random, hi, lo, kinds[1]);
            m = std::exp(random.between(-8, 8) * std::log(2.0)) * (random.unit() < 0.5 ? -1 : 1);
        } else if (kind == 2) {
            for (std::size_t i = 0; i < batchSize; ++i) {
                const double d = std::exp(random.between(-707.5, 708.5));
                const double h = (std::nextafter(d, 2 * d) - d) * 0.5;
                const DD y = dd::add(logOf(d), DD{h / d, 0});
                hi[i] = y.hi;
                lo[i] = y.lo;
            }
        } else {
            const int e = static_cast<int>(random.next() % 71) - 60;
            m = std::ldexp(1 + random.unit(), -900 - e);
            if (random.next() % 8 == 0) m = random.unit() < 0.5 ? std::ldexp(1 + random.unit(), -1030) : 0x1.8p996;
            for (std::size_t i = 0; i < batchSize; ++i) {
                const double sign = random.unit() < 0.5 ? -1 : 1;
                const std::uint64_t which = random.next() % 16;
                const int scale = which == 0   ? -1030
                                  : which == 1 ? -1022 - static_cast<int>(random.next() % 2)
                                  : which == 2 ? 995 + static_cast<int>(random.next() % 2)
                                               : e - 1 + static_cast<int>(random.next() % 2);
                hi[i] = sign * std::ldexp(1 + random.unit(), scale);
                lo[i] = which >= 3 && random.unit() < 0.5 ? hi[i] * 0x1p-54 * random.unit() : 0;
            }
        }
        sweepBatch(hi, lo, m, kinds[kind]);
    }
    long mismatches = 0;
    std::printf("batch level %d: x^m against the double-double kernel\n", static_cast<int>(batchLevel()));
    std::printf("%-8s %12s %10s %10s %10s %8s\n", "kind", "arguments", "outside", "fallbacks", "mismatches", "tables");
    for (const BatchCounts& c : kinds) {
        std::printf("%-8s %12ld %10ld %10ld %10ld %8ld\n", c.name, c.arguments, c.outside, c.fallbacks, c.mismatches,
                    c.tableMismatches);
        mismatches += c.mismatches + c.tableMismatches;
    }
    return mismatches;
}

}  // namespace

int runKernelSweep(long count) {
    Random random{0x2545f4914f6cdd1dULL};
    Counts kinds[] = {{"uniform"}, {"power"}, {"halfway"}, {"edges"}};
    long skipped = 0;
    for (long a = 0; a < count; ++a) {
        const long kind = a % 10 < 4 ? 0 : a % 10 < 7 ? 1 : a % 10 < 9 ? 2 : 3;
        if (kind == 0) {
            sweepExp(DD{random.between(fastExpLow, fastExpHigh), 0}, kinds[0]);
        } else if (kind == 1) {
            const double x = std::exp(random.between(-700, 700));
            const double m = std::exp(random.between(-8, 8) * std::log(2.0)) * (random.unit() < 0.5 ? -1 : 1);
            const DD y = dd::multiply(logOf(x), m);
            if (y.hi < fastExpLow || y.hi > fastExpHigh) {
                ++skipped;
                continue;
            }
            sweepExp(y, kinds[1]);
        } else if (kind == 2) {
            // A random double d in [e^-708, e^709] and the halfway point
            // M = d + h, h = ulp/2: log M = log d + h/d (- (h/d)^2/2, below 2^-106).
            const double d = std::exp(random.between(-707.5, 708.5));
            const double h = (std::nextafter(d, 2 * d) - d) * 0.5;
            const DD y = dd::add(logOf(d), DD{h / d, 0});
            sweepExp(y, kinds[2]);
        } else {
            const long which = (a / 10) % 4;
            double y;
            if (which == 0) {
                y = static_cast<double>(static_cast<long>(random.next() % 4096) - 2048) * 0x1p-54;
            } else if (which == 1) {
                y = std::ldexp(random.between(-1, 1), -20 - static_cast<int>(random.next() % 1000));
            } else if (which == 2) {
                const double j = std::floor(random.between(fastExpLow, fastExpHigh) * (64 * invLn2));
                y = (j + 0.5) * (ln2.hi / 64);
                for (long steps = static_cast<long>(random.next() % 64) - 32; steps != 0; steps += steps > 0 ? -1 : 1)
                    y = std::nextafter(y, steps > 0 ? 1e9 : -1e9);
            } else {
                // Up to 63 units inside either end.
                const bool low = random.unit() < 0.5;
                y = (low ? fastExpLow : fastExpHigh) +
                    (low ? 1.0 : -1.0) * static_cast<double>(random.next() % 64) * 0x1p-43;
            }
            sweepExp(DD{y, 0}, kinds[3]);
        }
    }
    // log: a third over every positive double (subnormals included), a
    // third of data-like values in (0, 1000], a third within 2^-6 of 1.
    Counts logKinds[] = {{"wide"}, {"data"}, {"near 1"}};
    for (long a = 0; a < count; ++a) {
        const long kind = a % 3;
        double x;
        if (kind == 0) {
            x = std::ldexp(1 + random.unit(), static_cast<int>(random.next() % 2098) - 1075);
            if (!(x > 0) || std::isinf(x)) x = 0x1p-1074;
        } else if (kind == 1) {
            x = 1000 * (1 - random.unit());
        } else {
            x = 1 + random.between(-0x1p-6, 0x1p-6);
        }
        sweepLog(x, logKinds[kind]);
    }
    long mismatches = 0, arguments = 0, fallbacks = 0;
    std::printf("%-8s %12s %10s %9s %14s %10s\n", "kind", "arguments", "fallbacks", "rate", "low-end-off",
                "mismatches");
    printKinds(kinds, mismatches, arguments, fallbacks);
    std::printf(
        "exp mantissa: %ld arguments (%ld power arguments outside the fast range skipped), %ld fallbacks, "
        "%ld mismatches\n",
        arguments, skipped, fallbacks, mismatches);
    long logMismatches = 0, logArguments = 0, logFallbacks = 0;
    printKinds(logKinds, logMismatches, logArguments, logFallbacks);
    std::printf("log: %ld arguments, %ld fallbacks, %ld mismatches\n", logArguments, logFallbacks, logMismatches);
    long batchMismatches = 0;
    for (const BatchLevel level : {BatchLevel::avx2fma, BatchLevel::avx512}) {
        if (setBatchLevel(level) == level) batchMismatches += sweepLevel(count);
    }
    setBatchLevel(bestBatchLevel());
    return mismatches == 0 && logMismatches == 0 && batchMismatches == 0 ? 0 : 1;
}
