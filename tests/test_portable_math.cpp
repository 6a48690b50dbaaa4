// The engine's own log, exp, pow and sin: special values, agreement with the
// C library where it is accurate (glibc), and bit-identical results on every
// platform (a golden file of results written on one and read on the others).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/portable_math.h"
#include "engine/portable_math_detail.h"
#include "tests/test_support.h"

namespace {

TEST(PortableMath, SpecialAndCorrectlyRoundedValues) {
    const double nan = std::nan("");
    const struct {
        const char* name;
        double value, expected;
    } rows[] = {
        {"log 1", portableLog(1), 0},
        {"log 0", portableLog(0), -inf},
        {"log -0", portableLog(-0.0), -inf},
        {"log inf", portableLog(inf), inf},
        {"exp 0", portableExp(0), 1},
        {"exp -inf", portableExp(-inf), 0},
        {"exp inf", portableExp(inf), inf},
        // The ends of exp's range (values as the C library gives them): the
        // largest argument with a finite result, the next double above it, and
        // the same at the bottom.
        {"exp ln max", portableExp(0x1.62e42fefa39efp+9), 0x1.fffffffffff2ap+1023},
        {"exp above ln max", portableExp(0x1.62e42fefa39f0p+9), inf},
        {"exp smallest", portableExp(-0x1.74910d52d3051p+9), 0x1p-1074},
        {"exp below smallest", portableExp(-0x1.74910d52d3052p+9), 0},
        {"pow x 0", portablePow(nan, 0), 1},
        {"pow 1 y", portablePow(1, nan), 1},
        {"pow 0 3", portablePow(0, 3), 0},
        {"pow -0 3", portablePow(-0.0, 3), -0.0},
        {"pow -0 -3", portablePow(-0.0, -3), -inf},
        {"pow -2 3", portablePow(-2, 3), -8},
        {"pow -2 2", portablePow(-2, 2), 4},
        {"pow inf -1", portablePow(inf, -1), 0},
        {"pow 2 inf", portablePow(2, inf), inf},
        {"pow 0.5 inf", portablePow(0.5, inf), 0},
        {"pow 2 -inf", portablePow(2, -inf), 0},
        {"pow -1 inf", portablePow(-1, inf), 1},
        {"pow 10 400", portablePow(10, 400), inf},
        {"pow 10 -400", portablePow(10, -400), 0},
        {"pow 2 0.5", portablePow(2, 0.5), std::sqrt(2.0)},
        {"pow 2 -1074", portablePow(2, -1074), 0x1p-1074},
        {"pow 2 1023", portablePow(2, 1023), 0x1p1023},
        {"pow 1e300 1e10", portablePow(1e300, 1e10), inf},
        {"sin -0", portableSin(-0.0), -0.0},
        {"sin tiny", portableSin(1e-300), 1e-300},
        {"sin 2^-24", portableSin(0x1p-24), 0x1.ffffffffffffbp-25},
        // From 2^30 on the argument is first reduced modulo the double nearest 2 pi.
        {"sin 2^30", portableSin(0x1p30), portableSin(std::fmod(0x1p30, 0x1.921fb54442d18p+2))},
        // Results that are exactly representable come out exactly.
        {"pow 3 2", portablePow(3, 2), 9},
        {"pow 1.25 3", portablePow(1.25, 3), 1.953125},
        {"pow 100 0.5", portablePow(100, 0.5), 10},
        {"pow 2 -1030", portablePow(2, -1030), 0x1p-1030},
        {"pow 2 -1022", portablePow(2, -1022), 0x1p-1022},
        {"pow 0.5 -1000", portablePow(0.5, -1000), 0x1p1000},
        // Correctly rounded values from mpmath 1.3.0 (python3) at 400 bits, rounded
        // to double with fractions.Fraction (to nearest, ties to even; below 2^-1022
        // on the subnormal grid).
        // Subnormal results: each was one unit off when rounded to 53 bits first.
        {"exp -708.85320942343174", portableExp(-708.85320942343174), 0x0.a220c8eda3b1bp-1022},
        {"exp -0x1.63236a30921b9p+9", portableExp(-0x1.63236a30921b9p+9), 0x0.270d8c9c40087p-1022},
        {"exp -0x1.63004e4689d19p+9", portableExp(-0x1.63004e4689d19p+9), 0x0.3360baf31b31bp-1022},
        {"exp -0x1.6445ae8eafa7fp+9", portableExp(-0x1.6445ae8eafa7fp+9), 0x0.040b3c311ac8dp-1022},
        {"exp -0x1.626800e65af0ep+9", portableExp(-0x1.626800e65af0ep+9), 0x0.a8dc18e176d11p-1022},
        {"pow subnormal 1", portablePow(0x1.3dd53f44a2934p-4, 0x1.159ecdb24cd66p+8), 0x0.480d51cd7eea7p-1022},
        {"pow subnormal 2", portablePow(0x1.4914727f058fcp-10, 0x1.aa302568ef09cp+6), 0x0.08c2ecd75e613p-1022},
        // The ends of the fast path's range [-708, 709] and the doubles outside.
        {"exp -708", portableExp(-708), 0x1.7c8ab2288c9abp-1022},
        {"exp below -708", portableExp(-0x1.6200000000001p+9), 0x1.7c8ab2288c6b2p-1022},
        {"exp 709", portableExp(709), 0x1.d422d2be5dc9bp+1022},
        {"exp above 709", portableExp(0x1.6280000000001p+9), 0x1.d422d2be5e043p+1022},
        // Within 1e-3 units of halfway between two doubles (but not within
        // the double-double path's 2^-74, as e^(2^-53) is): that path decides.
        {"exp hard 1", portableExp(-0x1.58f7c5e480eebp+9), 0x1.8d0acdcef1f03p-996},
        {"exp hard 2", portableExp(-0x1.e5ac856545318p+7), 0x1.9497e890ccd43p-351},
        {"exp hard 3", portableExp(0x1.0d90d69a23674p+8), 0x1.de1cc982799dcp+388},
        // Far from halfway: the fast path. (Powers and logarithms near halfway:
        // the batch kernels' rows in test_passes.cpp, whose scalar level runs
        // the same kernels as portablePow and portableLog.)
        {"log 1 + 2^-52", portableLog(1 + 0x1p-52), 0x1.fffffffffffffp-53},
        {"log 1 - 2^-53", portableLog(1 - 0x1p-53), -0x1p-53},
        {"log 1 - 1/128", portableLog(0x1.fcp-1), -0x1.010157588de71p-7},
        // Not a number.
        {"log -1", portableLog(-1), nan},
        {"log nan", portableLog(nan), nan},
        {"pow -2 0.5", portablePow(-2, 0.5), nan},
        {"pow nan 2", portablePow(nan, 2), nan},
        {"sin inf", portableSin(inf), nan},
        {"exp nan", portableExp(nan), nan},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(sameBits(row.value, row.expected) || (std::isnan(row.value) && std::isnan(row.expected)))
            << row.name << ": " << row.value << " vs " << row.expected;
    }
}

// The power with its logarithm gives the bits of the two separate calls,
// on its own path (positive finite x) and on every special one.
TEST(PortableMath, PowerAndLogTogether) {
    for (double x : {0.0, -0.0, 1.0, -2.0, 0.3, 1e-310, 7e4, inf, std::nan("")}) {
        for (double y : {0.0, 2.0, -3.0, 0.5, 37.1, -inf, std::nan("")}) {
            double logX = 0;
            const double power = portablePowAndLog(x, y, logX);
            EXPECT_TRUE(sameBits(power, portablePow(x, y))) << x << "^" << y;
            EXPECT_TRUE(sameBits(logX, portableLog(x)) || (std::isnan(logX) && std::isnan(portableLog(x)))) << x;
        }
    }
}

// Whether exp's fast path decides the rounding of e^y by itself.
bool fastPathDecides(double y) {
    using namespace portableMath;
    const double nd = std::floor(y * (64 * invLn2) + 0.5);
    const int n = static_cast<int>(nd);
    const RoundingBracket<double> ends = fastExpMantissa(DD{y, 0}, nd,
                                                         tables().twoToSixtyFourths[((n % 64) + 64) % 64]);
    return ends.low == ends.high;
}

// Whether log's fast path decides the rounding of log x by itself.
bool fastLogDecides(double x) {
    using namespace portableMath;
    int e = 0;
    double f = 2 * std::frexp(x, &e);  // x = 2^e f, f in (1/sqrt2, sqrt2]
    e -= 1;
    if (f > sqrt2) {
        f *= 0.5;
        ++e;
    }
    const int index = static_cast<int>(std::floor((f - 1) * 128 + 0.5)) - Tables::logFirst;
    const double fHead = std::bit_cast<double>(std::bit_cast<std::uint64_t>(f) & logHeadMask);
    const RoundingBracket<double> ends = fastLogFromReduction(f, fHead, tables().inverseCentre[index].hi,
                                                              tables().logOfInverse[index], static_cast<double>(e));
    return ends.low == ends.high;
}

// Results closer to a halfway point than the margin less the error bound
// (mpmath, as above: e^y within 3e-4 units, log 7.955 within 3.5e-5, log x
// near 1 within 2.1e-3) must fall back to the double-double path; 0.1 units
// or more away, they must not.
TEST(PortableMath, FastPathFallsBackNearHalfway) {
    const struct {
        double y;
        bool decides;
    } expRows[] = {
        {0x1p-53, false}, {-0x1p-54, false}, {-0x1.4p-52, false}, {-0x1.e5ac856545318p+7, false}, {1, true}, {-1, true},
        {100, true},      {-708, true},      {709, true},
    };
    for (const auto& row : expRows) EXPECT_EQ(fastPathDecides(row.y), row.decides) << "e^" << row.y;
    const struct {
        double x;
        bool decides;
    } logRows[] = {
        {7.955, false},    {0x1.00222p+0, false}, {0x1.002d6p+0, false}, {2, true},         {1.5, true},
        {0x1.02p+0, true}, {0x1.fcp-1, true},     {1 + 0x1p-52, true},   {0x1p-1074, true},
    };
    for (const auto& row : logRows) EXPECT_EQ(fastLogDecides(row.x), row.decides) << "log " << row.x;
}

// (m.hi + m.lo) 2^k rounded once: on the subnormal grid, m.lo decides a
// tie of m.hi (values exact by construction).
TEST(PortableMath, SubnormalRoundingOfADoubleDouble) {
    const struct {
        double hi, lo;
        int k;
        double expected;
    } rows[] = {
        {1 + 0x1p-52, 0x1p-60, -1023, 0x0.8000000000001p-1022},  // half a quantum and more: up
        {1 + 0x1p-52, -0x1p-60, -1023, 0x0.8p-1022},             // less than half: down
        {1 + 0x1p-52, 0, -1023, 0x0.8p-1022},                    // a tie: to even
        {1 + 0x1.8p-51, 0, -1023, 0x0.8000000000002p-1022},      // a tie: to even
        {1, 0x1p-60, -1075, 0x1p-1074},                          // half the least subnormal and more
        {1, -0x1p-60, -1075, 0},
        {1, 0, -1075, 0},
        {1.75, 0, -1075, 0x1p-1074},   // quantum 2 in units of m
        {1.5, 0, -1022, 0x1.8p-1022},  // normal: exact
        {1, 0x1p-53, 0, 1},            // normal: rounded to double
    };
    for (const auto& row : rows) {
        const double value = portableMath::scaleMantissa(DD{row.hi, row.lo}, row.k);
        EXPECT_TRUE(sameBits(value, row.expected))
            << row.hi << " + " << row.lo << " times 2^" << row.k << ": " << value;
    }
}

#ifdef __GLIBC__
// glibc's log, exp, pow and sin are within one unit in the last place and
// nearly always correctly rounded: the engine's kernels must agree with it to
// one unit, and to the bit in all but about one case in a thousand. (Where
// the two differed, 80-digit decimal arithmetic found the engine's result
// the correctly rounded one in every case examined.)
TEST(PortableMath, AgreesWithGlibc) {
    Xorshift a{88172645463325252ULL};  // the same arguments on every platform
    const int count = 200000;
    int exact[4] = {};
    for (int i = 0; i < count; ++i) {
        const double x = a.between(0.0, 1.0) < 0.5 ? a.between(1e-300, 10) : a.between(0.5, 1e6);
        const double y = a.between(-700, 700), m = a.between(-12, 12), t = a.between(-1e4, 1e4);
        const double values[4][2] = {{portableLog(x), std::log(x)},
                                     {portableExp(y), std::exp(y)},
                                     {portablePow(x, m), std::pow(x, m)},
                                     {portableSin(t), std::sin(t)}};
        for (int f = 0; f < 4; ++f) {
            ASSERT_LE(ulpDistance(values[f][0], values[f][1]), 1)
                << "function " << f << " at " << x << ", " << y << ", " << m << ", " << t;
            if (sameBits(values[f][0], values[f][1])) ++exact[f];
        }
    }
    // glibc's sin is only promised within one unit; it differs from the
    // double-double result in about one case in a thousand.
    for (int f = 0; f < 4; ++f) EXPECT_GE(exact[f], count - count / (f == 3 ? 200 : 1000)) << "function " << f;
    std::printf("exact agreement with glibc in %d log, %d exp, %d pow, %d sin of %d\n", exact[0], exact[1], exact[2],
                exact[3], count);
}
#endif

// Writes the results for a fixed set of arguments, as exact hexadecimal.
std::string kernelResults() {
    Xorshift a{88172645463325252ULL};  // the same arguments on every platform
    std::ostringstream out;
    char line[160];
    for (int i = 0; i < 3000; ++i) {
        const double x = a.between(1e-3, 3e3);
        const double m = a.between(0.05, 20);
        const double y = a.between(-740, 705);
        const double t = a.between(-40, 40);
        std::snprintf(line, sizeof line, "%a %a %a %a\n", portableLog(x), portablePow(x, m), portableExp(y),
                      portableSin(t));
        out << line;
    }
    return out.str();
}

TEST(PortableMath, SameBitsOnEveryPlatform) { expectMatchesGolden(kernelResults(), "portable_math.txt", 3000); }

}  // namespace
