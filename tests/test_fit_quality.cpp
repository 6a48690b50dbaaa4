// The fit-quality figures: A2 at 40 digits, a golden file of every figure of
// complete samples (on the fast figures: the log-likelihood, r2, A2, the
// Hessian's bounds), and the plain functions, censored too, against the fast
// figures to the bit.
#include <gtest/gtest.h>

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/fit_quality.h"
#include "engine/portable_math.h"
#include "engine/sample.h"
#include "engine/pass_pool.h"
#include "engine/solver.h"
#include "tests/test_support.h"

namespace {

const double eps = std::numeric_limits<double>::epsilon();
using Flags = std::vector<std::uint8_t>;

// Reference values at 40 digits (mpmath 1.3) from the same formula with
// ln F = ln(-expm1(-z)): the 1e-8 point rounds 1 - e^(-z) to 8 digits in
// double arithmetic, and a naive evaluation would lose the last 8 of A2.
TEST(FitQuality, AndersonDarlingAgainstReferenceValues) {
    const struct {
        std::vector<double> times;
        double gamma, m, t0, expected;
    } rows[] = {
        {{1e-8, 0.5, 1.2, 2.0, 40}, 0, 1, 1, 10.905748704407623},
        {{3.1, 4.7, 5.2, 8.8, 12.5, 13.0}, 2, 1.7, 30, 0.489047315403625},
        {{10, 11, 12}, 9.5, 0.6, 2, 0.5604725893294398},
    };
    for (const auto& row : rows) {
        EXPECT_NEAR(andersonDarling(row.times, row.gamma, row.m, row.t0), row.expected, 16 * eps * row.expected)
            << row.expected;
    }
}

TEST(FitQuality, NotPositiveDefiniteGivesNoCovariance) {
    const ShapeScaleMatrix rows[] = {{1, -1, 0}, {-1, -1, 2}, {std::nan(""), -1, 0}};
    for (const ShapeScaleMatrix& h : rows) {
        const ShapeScaleMatrix v = covarianceFromHessian(h);
        EXPECT_TRUE(std::isnan(v.mm) && std::isnan(v.ee) && std::isnan(v.me)) << h.mm << " " << h.ee << " " << h.me;
    }
}

// The figures of generated fits, bit for bit, against a golden file written
// on one platform: the same bits must come out on every other.
TEST(FitQuality, SameBitsOnEveryPlatform) {
    Xorshift g{0xD1B54A32D192ED03ULL};
    std::string results;
    for (int index = 0; index < 12; ++index) {
        const std::size_t n = 3 + static_cast<std::size_t>(g.unit() * 40);
        const double shape = 0.6 + 5 * g.unit(), eta = portablePow(10, -1 + 5 * g.unit()), gamma = eta * g.unit();
        std::vector<double> t(n);
        for (double& x : t) x = gamma + eta * portablePow(-portableLog(1 - g.unit()), 1 / shape);
        sortTimes(t);
        const double fitGamma = gamma * 0.5;
        PassPool pool;
        const Sample sample = makeSample(t);
        const ShapeProblem problem = makeShapeProblem(sample, fitGamma, pool);
        const double m = fitFrom(problem, 1).m;
        const FitQuality q = computeFitQuality({sample, fitGamma, m, scaleFromShape(problem, m), 1 + index % 4, 0.9});
        std::string line = "fit " + std::to_string(index);
        for (double v : {q.eta, q.logLikelihood, q.r2, q.andersonDarling, q.b1, q.b10, q.b50, q.z, q.mBounds.lo,
                         q.mBounds.hi, q.etaBounds.lo, q.etaBounds.hi, q.b10Bounds.lo, q.b10Bounds.hi}) {
            char text[20];
            line += (std::snprintf(text, sizeof text, " %016" PRIx64, std::bit_cast<std::uint64_t>(v)), text);
        }
        results += line + "\n";
    }
    expectMatchesGolden(results, "fit_quality.txt", 12);
}

// computeFitQuality runs on the batch kernels and passes; the plain
// functions are its reference. Sizes across several pass chunks, every rank
// method (2: infinite ordinates), and three masks: none, no flag set (the
// complete sample again) and every third unit suspended (A2 not a number).
TEST(FitQuality, FastFiguresAreThePlainLoopsToTheBit) {
    Xorshift g{0x2545F4914F6CDD1DULL};
    for (const std::size_t n : {5u, 3000u, 9001u}) {
        std::vector<double> t(n);
        for (double& x : t) x = 7 + 40 * std::pow(-std::log1p(-g.unit()), 1 / 1.7);
        sortTimes(t);
        Flags thirds(n, 0);
        for (std::size_t i = 1; i < n; i += 3) thirds[i] = 1;
        const Flags masks[] = {{}, Flags(n, 0), thirds};
        for (RankMethod method = 1; method <= 4; ++method) {
            for (const Flags& mask : masks) {
                const bool censored = &mask == &masks[2];
                const double gamma = 3, m = 1.7, t0 = 520;
                const Sample sample = makeSample(t, mask);
                EXPECT_EQ(sample.failures, censored ? n - (n + 1) / 3 : n);
                const FitQuality q = computeFitQuality({sample, gamma, m, t0, method, 0.9});
                const ShapeScaleMatrix v = covarianceFromHessian(logLikelihoodHessian(sample, gamma, m, q.eta));
                const double expected[] = {weibullLogLikelihood(sample, gamma, m, t0),
                                           plotCorrelation(sample, gamma, method),
                                           censored ? std::nan("") : andersonDarling(t, gamma, m, t0),
                                           v.mm,
                                           v.ee,
                                           v.me};
                const double got[] = {q.logLikelihood, q.r2,           q.andersonDarling, q.covariance.mm,
                                      q.covariance.ee, q.covariance.me};
                // No such rank method: no correlation.
                EXPECT_TRUE(std::isnan(plotCorrelation(sample, gamma, 5))) << "n " << n;
                for (int k = 0; k < 6; ++k) {
                    EXPECT_EQ(std::memcmp(&got[k], &expected[k], sizeof(double)), 0)
                        << "n " << n << " rank " << method << " mask " << &mask - masks << " figure " << k << ": "
                        << got[k] << " vs " << expected[k];
                }
                // The solver's table and the search's ordinates handed over: the same bits.
                PassPool pool(2);
                ShapeTable table = prepareShapeTable(t.data(), n, gamma, censored ? mask.data() : nullptr, pool);
                const std::vector<double> y = plotOrdinates(sample.suspended, static_cast<std::uint32_t>(n), method);
                const FitQuality reused = computeFitQuality(
                    {sample, gamma, m, t0, method, 0.9, std::nan(""), &table, &y});
                EXPECT_EQ(std::memcmp(&reused, &q, sizeof q), 0) << "n " << n << " rank " << method;
            }
        }
    }
}

// Where t0 = eta^m leaves the range of a double, the figures come from eta:
// in range, the two ways agree to rounding (A2 not a number when censored).
TEST(FitQuality, FiguresFromTheScale) {
    const std::vector<double> t = weibullQuantiles(500, 2.3, 80, 5);
    Flags fifths(t.size(), 0);
    for (std::size_t i = 2; i < t.size(); i += 5) fifths[i] = 1;
    for (const Flags& mask : {Flags{}, fifths}) {
        const Sample sample = makeSample(t, mask);
        const double m = 2.31;
        const FitQuality q = computeFitQuality({sample, 5, m, std::pow(79.0, m), 1, 0.9});
        const FitQuality e = computeFitQuality({sample, 5, m, std::numeric_limits<double>::infinity(), 1, 0.9, q.eta});
        const double pairs[][2] = {{q.eta, e.eta},
                                   {q.logLikelihood, e.logLikelihood},
                                   {q.r2, e.r2},
                                   {q.b1, e.b1},
                                   {q.b50, e.b50},
                                   {q.covariance.mm, e.covariance.mm},
                                   {q.b10Bounds.lo, e.b10Bounds.lo},
                                   {mask.empty() ? q.andersonDarling : 1, mask.empty() ? e.andersonDarling : 1}};
        for (const auto& pair : pairs) EXPECT_NEAR(pair[1] / pair[0], 1, 1e-12) << &pair - pairs;
        EXPECT_EQ(std::isnan(e.andersonDarling), !mask.empty());
    }
}

}  // namespace
