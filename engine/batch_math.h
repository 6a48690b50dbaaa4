// The engine's logarithm and power over whole arrays, bit for bit the values
// of the scalar kernels in portable_math.h, for every input.
//
// Each lane of the vector paths (SSE2, two lanes; AVX2, four lanes; AVX2
// with FMA, four lanes; AVX-512F with FMA, eight lanes for the power and the
// log table; chosen at run time) performs exactly the operations
// of the scalar kernel, without fused multiply-add, except that the FMA
// level forms the error of an exact product (twoProduct) by one fused
// operation where that gives the very error of the scalar kernel's product;
// lanes whose argument needs a special case, or lies outside those bounds,
// take the scalar kernel itself. The results therefore do not depend on the
// level, on the position of a value in the array, or on the platform.
#pragma once

#include <cstddef>

enum class BatchLevel { scalar, sse2, avx2, avx2fma, avx512 };

// The level in use: the best one the processor offers, unless a test chose
// another with setBatchLevel.
BatchLevel batchLevel();

// The best level the processor offers (SSE2 on every x86-64 processor and
// with -msse2 on i686, AVX2 where the processor and the system have it,
// AVX2 with FMA where they have both, AVX-512F where they have it and FMA).
BatchLevel bestBatchLevel();

// Test hook: use `level` from now on, or the best available level below it.
// Returns the level now in use. Not for use while a batch kernel runs.
BatchLevel setBatchLevel(BatchLevel level);

// out[i] = portableLog(x[i]), i < n, for every double (NaN, +-0, negative,
// subnormal, inf included). out may equal x.
void batchLog(const double* x, std::size_t n, double* out);

// out[i] = portableLog(t[i] - g): the abscissa of a Weibull plot for the
// location g. out may equal t.
void batchLogOfDifference(const double* t, double g, std::size_t n, double* out);

// The logarithm table of the power kernel: ln x for x = t[i] - g as a
// double-double logHi[i] + logLo[i] (the value portablePowAndLog forms).
// For x = +-0, inf and NaN (and negative x) the entry is
// {portableLog(x), 0}, with lo = x for a zero, so that the table keeps
// the sign of a zero.
void batchLogTable(const double* t, double g, std::size_t n, double* logHi, double* logLo);

// ln x from a table entry: the logX that portablePowAndLog(x, m, logX) stores.
inline double logFromTable(double hi, double lo) { return hi + lo; }

// x^m from the table entry of x: the value of portablePowAndLog(x, m, logX)
// for every m (NaN, +-inf and 0 included) and every x >= 0, inf or NaN (for
// a negative x: NaN, which is portablePow's value only for a non-integer m).
double powFromTable(double hi, double lo, double m);

// out[i] = powFromTable(logHi[i], logLo[i], m), i < n.
void batchPowFromLog(const double* logHi, const double* logLo, std::size_t n, double m, double* out);

// Four lanes of the sums of Newton's pass: lane j holds the sums over the
// points j, j + 4, j + 8, ... of a block, each added in storage order.
struct ShapeLanes {
    double S0[4] = {}, S1[4] = {}, S2[4] = {};  // x^m, x^m ln x, x^m (ln x)^2
};

// The same over u = x / s from the table entries of x and the entry
// {shiftHi, shiftLo} of ln s: each entry becomes ln u = ln x - ln s as a
// double-double (hi' = the high parts' difference by twoSum, its error plus
// (lo - shiftLo) added once by fastTwoSum), out[i] = powFromTable of that
// entry, and with x = out[i] and l = logFromTable of the entry, lane i mod 4
// of sums takes S0 += x, S1 += x * l, S2 += x * (l * l), for i = 0, 1, ...
// in turn (so the arrays must start at a multiple of 4 points into the
// block whose sums these are). The entries must be finite.
void batchPowFromShiftedLog(const double* logHi, const double* logLo, std::size_t n, double shiftHi, double shiftLo,
                            double m, double* out, ShapeLanes& sums);
