// The functions the fit-quality figures need beyond log, exp and pow, built
// only from IEEE double arithmetic, std::sqrt and the engine's own kernels, so
// that they give the same bits on every platform.
#pragma once

// e^x - 1 without the cancellation of portableExp(x) - 1 near 0.
// expm1(+-0) = +-0, expm1(-inf) = -1, expm1(x > 709.78) = +inf, NaN gives NaN.
// Relative error below 4 units in the last place.
double portableExpm1(double x);

// ln(1 + x) without the rounding of 1 + x near 0.
// log1p(+-0) = +-0, log1p(-1) = -inf, log1p(x < -1) = NaN, log1p(+inf) = +inf,
// NaN gives NaN. Relative error below 4 units in the last place.
double portableLog1p(double x);

// The complementary error function erfc(x) = (2/sqrt(pi)) int_x^inf e^(-t^2) dt.
// erfc(-inf) = 2, erfc(+inf) = 0 (and 0 from x = 26.543 on, where the value
// falls below the smallest normal double), NaN gives NaN. Relative error
// below 8 units in the last place for x < 26.5.
double portableErfc(double x);

// The standard normal quantile: the z with Phi(z) = p.
// normalQuantile(0.5) = 0, p <= 0 gives -inf, p >= 1 gives +inf, NaN gives NaN.
// For 1e-300 <= p < 1 the relative error is below 8 units in the last place.
double normalQuantile(double p);
