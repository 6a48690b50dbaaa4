// The passes over the points of a fit that the shape solver and the location
// search repeat: values in, values out, and bit for bit the sums of the plain
// loops (every sum in storage order from 0, each term formed as there), for
// any number of threads and on every level of the batch kernels.
//
// The terms are computed in chunks of passChunk points on all threads of the
// pool with the batch kernels; the sums are added strictly in storage order
// while later chunks are still being computed. Newton's sums
// (blockedShapeSums) are the one exception: each chunk is summed on its
// own, in four lanes, and the chunks' sums are added in order, on every
// thread at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/scratch_vector.h"

class PassPool;

// Points per chunk of a pass.
constexpr std::size_t passChunk = 2048;

// What the shape passes need of the points for one location gamma: ln x_i,
// x_i = t_i - gamma, as the double-double table of batchPowFromLog, and
// L = sum of ln x_i in storage order (over the failures only, if a mask was
// given). Built once per (times, gamma); 16 bytes per point.
struct ShapeTable {
    ScratchVector<double> logHi;
    ScratchVector<double> logLo;
    double L = 0;
};

// The table of n times t for the location gamma. suspended is nullptr (every
// point a failure) or holds n flags, 1 for a suspension (a censored point),
// 0 for a failure: L then sums ln x_i of the failures only, while the sums of
// shapeSums still run over all points. Every x_i must be >= 0, inf or a
// quiet NaN (see powFromTable); the solver's x_i are in (0, inf].
ShapeTable prepareShapeTable(const double* t, std::size_t n, double gamma, const std::uint8_t* suspended,
                             PassPool& pool);

// The same into an existing table, whose memory is reused: a new table of a
// million points costs about as much in fresh pages as in logarithms.
void prepareShapeTable(const double* t, std::size_t n, double gamma, const std::uint8_t* suspended, PassPool& pool,
                       ShapeTable& table);

struct ShapeSums {
    double S0 = 0;  // sum x_i^m
    double S1 = 0;  // sum x_i^m ln x_i
    double S2 = 0;  // sum x_i^m (ln x_i)^2
};

// The sums of one evaluation of the likelihood equation, as the loop
//     for i: xm = portablePowAndLog(x_i, m, lnX);
//            S0 += xm; S1 += xm * lnX; S2 += xm * (lnX * lnX);
// forms them. Extra memory: 4 chunks of x^m per thread (64 KiB each).
ShapeSums shapeSums(const ShapeTable& table, double m, PassPool& pool);

// ln s of a scale s as a double-double table entry: {0, 0} is s = 1.
struct LogScale {
    double hi = 0;
    double lo = 0;
};

// The sums of the likelihood equation over u_i = x_i / s (ln u_i = ln x_i -
// ln s in double-double, so that s = the largest x keeps every u^m <= 1 and
// no sum overflows at a large m), in blocks: each block of passChunk points
// is summed by whichever thread computed it, in four lanes (point i of the
// block in lane i mod 4, each lane in storage order, the lanes then added as
// (0 + 1) + (2 + 3): four chains of additions instead of one), then the
// blocks' sums are added in block order. Every thread adds, and the bits
// depend neither on the thread count nor on the batch level, but they are
// not those of shapeSums (a different order of additions). The scale must be
// finite. Extra memory: a slice of 480 points per thread.
ShapeSums blockedShapeSums(const ShapeTable& table, double m, LogScale scale, PassPool& pool);

// The sums of the least-squares parabola and of the correlation through the
// Weibull-plot points (X_i, Y_i) for a candidate location g.
struct CurvatureSums {
    double S1 = 0, S2 = 0, S3 = 0, S4 = 0;  // sum X^k
    double T0 = 0, T1 = 0, T2 = 0;          // sum X^k Y
    double Cxy = 0, Cxx = 0, Cyy = 0;       // centred sums of products
};

// With X_i = portableLog(t_i - g) (computed once, into x, which is resized
// to n and may be reused from candidate to candidate) and the ordinates y,
// the sums exactly as the two plain loops form them:
//     x2 = X * X; S4 += x2 * x2; S3 += X * x2; S2 += x2; S1 += X;
//     T2 += x2 * Y; T1 += X * Y; T0 += Y;
// then, with xMean = S1 / n and yMean = T0 / n, dx = X - xMean, dy = Y - yMean:
//     Cxy += dx * dy; Cxx += dx * dx; Cyy += dy * dy.
//
// The sums of the ordinates alone (T0, and Cyy with yMean = T0 / n) do not
// depend on g: a search forms them once (ordinateSums) and passes them in;
// they are the very bits the loops above form.
struct OrdinateSums {
    double T0 = 0;
    double Cyy = 0;
};

OrdinateSums ordinateSums(const double* y, std::size_t n);

CurvatureSums curvatureSums(const double* t, const double* y, std::size_t n, double g, PassPool& pool,
                            ScratchVector<double>& x, const OrdinateSums* ys = nullptr);

// The sum of the Anderson-Darling statistic over the powers
// z_i = x_i^m / t0 (x^m alone when t0 is 1) of a table of a complete sorted
// sample of n values:
//     sum += (2i + 1) * (ln F_i - z_{n-1-i}),  ln F_i = ln(-expm1(-z_i)),
// with z_i the bits of powFromTable (divided by t0), expm1 by Kahan's formula
// as portableExpm1 forms it and e^v as the power kernel at exponent 1 of a
// table entry {v, 0} (the product v * 1 is exact, and the range guards agree
// with exp's): the bits of the plain loop on portablePow, portableLog and
// portableExpm1. The terms are computed in chunks on all threads (the powers
// twice, for i and for n-1-i, rather than an array of n) and added in
// storage order from 0.
double andersonDarlingSum(const ShapeTable& table, double m, double t0, PassPool& pool);

// The table of u_i = (t_i - gamma) / eta (each quotient rounded, then its
// logarithm as prepareShapeTable forms it), on all threads, without an array
// of the u; L is not formed (NaN).
void prepareScaledTable(const double* t, std::size_t n, double gamma, double eta, PassPool& pool, ShapeTable& table);
