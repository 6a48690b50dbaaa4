// expm1, log1p, erfc and the normal quantile against values computed to 40
// digits with mpmath 1.3 (expm1, log1p, erfc; the quantile as the root of
// ncdf(z) = p for the double p), rounded to the nearest double.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/probability_kernels.h"
#include "tests/test_support.h"

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();

struct Row {
    double x, expected;
};

struct Kernel {
    const char* name;
    double (*f)(double);
    std::int64_t tolerance;  // units in the last place
    std::vector<Row> rows;
};

TEST(ProbabilityKernels, AgainstReferenceValues) {
    const Kernel kernels[] = {
        {"expm1",
         portableExpm1,
         4,
         {
             {1e-300, 1e-300},
             {-1e-300, -1e-300},
             {1e-10, 1.00000000005e-10},
             {-1e-10, -9.999999999500001e-11},
             {1e-5, 1.0000050000166668e-05},
             {-3e-3, -0.002995504496627024},
             {0.25, 0.2840254166877415},
             {-0.5, -0.3934693402873666},
             {1, 1.7182818284590453},
             {-1, -0.6321205588285577},
             {5, 147.4131591025766},
             {-20, -0.9999999979388464},
             {-40, -1.0},
             {100, 2.6881171418161356e+43},
             {709, 8.218407461554972e+307},
         }},
        {"log1p",
         portableLog1p,
         4,
         {
             {1e-300, 1e-300},
             {-1e-300, -1e-300},
             {1e-10, 9.999999999500001e-11},
             {-1e-10, -1.00000000005e-10},
             {3e-6, 2.999995500009e-06},
             {-0.1, -0.10536051565782631},
             {-0.5, -0.6931471805599453},
             {0.5, 0.4054651081081644},
             {1, 0.6931471805599453},
             {-0.999999, -13.815510557935518},
             {10, 2.3978952727983707},
             {1e10, 23.025850930040455},
             {1e300, 690.7755278982137},
         }},
        {"erfc",
         portableErfc,
         8,
         {
             {-3, 1.9999779095030015},
             {-1, 1.8427007929497148},
             {-0.2, 1.2227025892104784},
             {0, 1.0},
             {1e-20, 1.0},
             {0.1, 0.887537083981715},
             {0.46875, 0.507386526782062},
             {0.5, 0.4795001221869535},
             {1, 0.15729920705028513},
             {2, 0.004677734981047266},
             {3.999, 1.554474949099499e-08},
             {4, 1.541725790028002e-08},
             {4.5, 1.9661604415428876e-10},
             {6, 2.1519736712498913e-17},
             {10, 2.088487583762545e-45},
             {20, 5.395865611607901e-176},
             {26.5, 2.2109076642637343e-307},
         }},
        {"normalQuantile",
         normalQuantile,
         8,
         {
             {1e-300, -37.0470962993612}, {1e-100, -21.273453560965326},     {1e-20, -9.262340089798407},
             {1e-10, -6.361340902404057}, {1e-5, -4.264890793922825},        {0.001, -3.0902323061678136},
             {0.01, -2.326347874040841},  {0.02425, -1.972961051311885},     {0.025, -1.9599639845400543},
             {0.05, -1.6448536269514726}, {0.1, -1.2815515655446004},        {0.25, -0.6744897501960817},
             {0.4, -0.2533471031357997},  {0.4999, -0.00025066283008800747}, {0.5, 0.0},
             {0.75, 0.6744897501960817},  {0.9, 1.2815515655446006},         {0.95, 1.6448536269514722},
             {0.975, 1.9599639845400538}, {0.995, 2.5758293035489004},       {0.999, 3.090232306167813},
         }},
    };
    for (const Kernel& k : kernels) {
        for (const auto& [x, want] : k.rows) {
            const double got = k.f(x);
            EXPECT_TRUE(std::signbit(got) == std::signbit(want) && ulpDistance(got, want) <= k.tolerance)
                << k.name << "(" << x << ") = " << got << ", expected " << want;
        }
    }
}

TEST(ProbabilityKernels, EdgesAndSpecialValues) {
    const struct {
        const char* name;
        double value, expected;
    } rows[] = {
        {"expm1 0", portableExpm1(0), 0},
        {"expm1 -0", portableExpm1(-0.0), -0.0},
        {"expm1 710", portableExpm1(710), inf},
        {"expm1 -inf", portableExpm1(-inf), -1},
        {"log1p 0", portableLog1p(0), 0},
        {"log1p -0", portableLog1p(-0.0), -0.0},
        {"log1p -1", portableLog1p(-1), -inf},
        {"log1p inf", portableLog1p(inf), inf},
        {"erfc inf", portableErfc(inf), 0},
        {"erfc -inf", portableErfc(-inf), 2},
        {"erfc 30", portableErfc(30), 0},
        {"quantile 0", normalQuantile(0), -inf},
        {"quantile 1", normalQuantile(1), inf},
        {"quantile -1", normalQuantile(-1), -inf},
        {"log1p -2", portableLog1p(-2), nan},
        {"expm1 nan", portableExpm1(nan), nan},
        {"log1p nan", portableLog1p(nan), nan},
        {"erfc nan", portableErfc(nan), nan},
        {"quantile nan", normalQuantile(nan), nan},
        {"expm1 ln max", portableExpm1(0x1.62e42fefa39efp+9), 0x1.fffffffffff2ap+1023},  // the last finite result
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(sameBits(row.value, row.expected) || (std::isnan(row.value) && std::isnan(row.expected)))
            << row.name << ": " << row.value << " vs " << row.expected;
    }
}

// Inverse checks over many arguments: log1p(expm1(x)) = x, and Phi of the
// quantile is p (Phi(z) = erfc(-z/sqrt2)/2).
TEST(ProbabilityKernels, InversesAgree) {
    Xorshift g{0x2545F4914F6CDD1DULL};
    for (int i = 0; i < 2000; ++i) {
        // |x| <= 1 below 0: further out log1p near -1 magnifies any error.
        const double x = g.unit() < 0.5 ? -std::pow(10.0, g.between(-12, 0)) : std::pow(10.0, g.between(-12, 2.5));
        EXPECT_LE(ulpDistance(portableLog1p(portableExpm1(x)), x), 8) << "x = " << x;
        const double p = std::pow(10.0, g.between(-12, -0.31));  // below 1/2
        const double z = normalQuantile(p);
        // Phi magnifies the relative error of z by about 1 + z^2.
        const auto tolerance = static_cast<std::int64_t>(8 * (1 + z * z));
        EXPECT_LE(ulpDistance(0.5 * portableErfc(-z * 0.70710678118654752440), p), tolerance) << "p = " << p;
    }
}

}  // namespace
