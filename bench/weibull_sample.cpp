#include "bench/weibull_sample.h"

#include <cstdio>

#include "engine/portable_math.h"

namespace {

// SplitMix64 (Steele, Lea and Flood 2014): a 64-bit state advanced by the
// golden-ratio increment, then mixed; passes BigCrush, and its state can
// start anywhere.
std::uint64_t splitMix64(std::uint64_t& state) {
    state += 0x9E3779B97F4A7C15u;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// (k + 1/2) / 2^53 for the top 53 bits k: exact, strictly inside (0, 1).
double openUnit(std::uint64_t bits) {
    constexpr double twoToMinus53 = 1.0 / 9007199254740992.0;
    return (static_cast<double>(bits >> 11) + 0.5) * twoToMinus53;
}

}  // namespace

std::vector<double> weibullSample(std::uint64_t n, const WeibullLaw& law, std::uint64_t seed) {
    std::vector<double> values(n);
    std::uint64_t state = seed;
    const double inverseShape = 1.0 / law.shape;
    for (double& t : values) {
        // u and 1 - u have the same law; -ln u needs no rounded 1 - u.
        const double exponential = -portableLog(openUnit(splitMix64(state)));
        t = law.location + law.scale * portablePow(exponential, inverseShape);
    }
    return values;
}

bool writeSampleFile(const char* path, const std::vector<double>& values) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    static char buffer[1 << 16];
    std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
    bool written = true;
    for (double t : values) written = written && std::fprintf(file, "%.17g\n", t) > 0;
    return std::fclose(file) == 0 && written;
}
