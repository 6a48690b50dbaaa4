// Helpers shared by the test files: deterministic numbers and golden files.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "engine/distributions.h"
#include "engine/solver.h"

inline constexpr double inf = std::numeric_limits<double>::infinity();

// Whether two doubles have the same bits (the sign of zero counts).
bool sameBits(double a, double b);

// xorshift64: the same sequence on every platform.
struct Xorshift {
    std::uint64_t state;
    double unit() {  // uniform in [0, 1)
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<double>(state >> 11) * 0x1p-53;
    }
    double between(double lo, double hi) { return lo + (hi - lo) * unit(); }
};

// Compares `results` line by line with the golden file `name` in
// tests/golden, which must hold `expectedLines` lines. With the environment
// variable TARQUEL_BLESS set, the golden file is rewritten first.
void expectMatchesGolden(const std::string& results, const char* name, int expectedLines);

// A path in the test temporary folder that no other test uses: tests run in
// parallel processes (one per test under ctest), so shared names would race.
std::string uniqueTempPath(const std::string& name);

// The bytes of the file at `path` ("" when it cannot be read).
std::string fileBytes(const std::string& path);

// Such a path, written with `bytes`.
std::string tempFileWith(const std::string& name, const std::string& bytes);

// Weibull times at the quantiles (i - 0.5)/n, ascending: a sample "drawn"
// from known parameters without randomness, the same everywhere.
std::vector<double> weibullQuantiles(std::size_t n, double m, double eta, double gamma);

// Newton's iteration in a bracket (or the damped one) on the likelihood
// equation of p from m0, never stopped; the damped one also ends on a fixed point.
SolveOutcome fitFrom(const ShapeProblem& p, double m0, bool newton = true);

// Units in the last place between two finite doubles of one sign.
std::int64_t ulpDistance(double a, double b);

// The largest value of f on [lo, hi] by 90 golden sections (f unimodal
// there: to 1e-18 of the width); where it lies in `at`.
double goldenMax(const std::function<double(double)>& f, double lo, double hi, double& at);

// The log-likelihood of family d (not weibull3) with parameters p, written
// from its density with the standard library's functions.
double directLogL(Distribution d, const Sample& s, const double* p);

// Its maximum by nested golden sections over (p0 or ln p0, ln p1) in boxes
// formed from the data; the parameters there in p.
double directMaximum(Distribution d, const Sample& s, double* p);
