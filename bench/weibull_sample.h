// Three-parameter Weibull samples for the benchmark, the same bits on every
// platform for a given seed.
#pragma once

#include <cstdint>
#include <vector>

// F(t) = 1 - exp(-((t - location) / scale)^shape), scipy's weibull_min
// parametrisation (Tarquel's t0 is scale^shape).
struct WeibullLaw {
    double shape;
    double scale;
    double location;
};

// n values drawn by inversion, t = location + scale (-ln u)^(1/shape), with u
// from SplitMix64 in (0, 1). Uses the engine's portable kernels, so the same
// seed gives the same values on Linux and Windows.
std::vector<double> weibullSample(std::uint64_t n, const WeibullLaw& law, std::uint64_t seed);

// Writes one value per line as "%.17g" (each value reads back exactly).
// Returns false when the file cannot be written.
bool writeSampleFile(const char* path, const std::vector<double>& values);
