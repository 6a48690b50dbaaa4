// The elementary functions of the engine, identical on every platform.
//
// The C libraries disagree in the last bit: measured over a million random
// arguments, the Windows runtime's pow differs from glibc's in 0.6% of cases,
// log, exp and sin less often, and that was enough to change printed digits
// of t0 in about one fit in twenty. These kernels use only IEEE double
// additions, multiplications and divisions (no fused multiply-add, no x87),
// so they give the same bits wherever they are compiled.
#pragma once

// Natural logarithm. log(0) = -inf, log(x < 0) = NaN, log(inf) = inf.
double portableLog(double x);

// e^x. Overflow gives +inf, underflow 0.
double portableExp(double x);

// x^y with the C library's special cases (pow(x, 0) = 1, pow(1, y) = 1,
// pow(0, y < 0) = inf, pow(x < 0, non-integer y) = NaN, ...).
double portablePow(double x, double y);

// x^y, with log x stored into logX: the same bits as portablePow(x, y) and
// portableLog(x), for about the price of the power alone.
double portablePowAndLog(double x, double y, double& logX);

// sin(x), x in radians.
double portableSin(double x);
