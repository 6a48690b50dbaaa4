// tarquel-bench-sample N SHAPE SCALE LOCATION SEED FILE: writes a Weibull
// sample for the benchmark script, one "%.17g" value per line.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "bench/weibull_sample.h"

namespace {

bool parseCount(const char* text, std::uint64_t& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text, &end, 10);
    return errno == 0 && end != text && *end == '\0';
}

bool parsePositive(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value > 0;
}

bool parseFinite(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value - value == 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t n = 0;
    std::uint64_t seed = 0;
    WeibullLaw law{};
    if (argc != 7 || !parseCount(argv[1], n) || !parsePositive(argv[2], law.shape) ||
        !parsePositive(argv[3], law.scale) || !parseFinite(argv[4], law.location) || !parseCount(argv[5], seed)) {
        std::fprintf(stderr, "Usage: tarquel-bench-sample N SHAPE SCALE LOCATION SEED FILE\n");
        return 2;
    }
    if (!writeSampleFile(argv[6], weibullSample(n, law, seed))) {
        std::fprintf(stderr, "tarquel-bench-sample: cannot write %s\n", argv[6]);
        return 1;
    }
    return 0;
}
