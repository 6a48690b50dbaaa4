// The fit-quality figures against values formed independently: the
// log-likelihood as a plain sum of log densities, the Hessian by finite
// differences of the log-likelihood, r2 by a two-pass correlation, A2 at 40
// digits, B50 against the median, and the covariance against the Fisher
// information of the Weibull distribution.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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
#include "engine/statistics.h"
#include "tests/test_support.h"

namespace {

const double eps = std::numeric_limits<double>::epsilon();
using Flags = std::vector<std::uint8_t>;

// Weibull times at the quantiles (i - 0.5)/n, ascending.
std::vector<double> weibullSample(std::size_t n, double m, double eta, double gamma) {
    std::vector<double> t(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double F = (static_cast<double>(i) + 0.5) / static_cast<double>(n);
        t[i] = gamma + eta * std::pow(-std::log1p(-F), 1 / m);
    }
    return t;
}

struct Case {
    const char* name;
    std::vector<double> times;
    Flags failed;
    double gamma, m, t0;
};

std::vector<Case> cases() {
    return {
        {"three points", {10, 11, 12}, {}, 9.5, 0.6, 2},
        {"six points", {3.1, 4.7, 5.2, 8.8, 12.5, 13.0}, {}, 2, 1.7, 30},
        {"quantiles", weibullSample(40, 2.5, 100, 20), {}, 18, 2.3, 40000},
        {"suspensions", {3.1, 4.7, 5.2, 8.8, 12.5, 13.0}, {1, 0, 1, 1, 0, 0}, 2, 1.4, 25},
        {"all flags set", {3.1, 4.7, 5.2, 8.8}, {1, 1, 1, 1}, 0.5, 3.0, 900},
    };
}

// ln f = ln m - ln t0 + (m - 1) ln x - x^m/t0 for a failure, ln R = -x^m/t0
// for a suspension, summed with the C library's functions.
TEST(FitQuality, LogLikelihoodIsTheSumOfLogDensities) {
    for (const Case& c : cases()) {
        double sum = 0, magnitude = 0;
        for (std::size_t i = 0; i < c.times.size(); ++i) {
            const double x = c.times[i] - c.gamma;
            const double survival = -std::pow(x, c.m) / c.t0;
            const bool failure = c.failed.empty() || c.failed[i] != 0;
            const double term =
                failure ? std::log(c.m) - std::log(c.t0) + (c.m - 1) * std::log(x) + survival : survival;
            sum += term;
            magnitude += std::fabs(term);
        }
        const double got = weibullLogLikelihood(c.times, c.failed, c.gamma, c.m, c.t0);
        EXPECT_NEAR(got, sum, 64 * eps * magnitude) << c.name;
    }
}

// Central second differences of l(m, eta) = logLikelihood(m, eta^m) with
// steps h and h/2 of each parameter, combined by Richardson's extrapolation
// (truncation error of order h^4). With h = 2e-3 of each parameter the
// rounding of l, amplified by 1/h^2, stays near 1e-7 of the entries even
// where |l| is a hundred times |d2l/deta2| eta^2: 1e-6 relative.
ShapeScaleMatrix secondDifferences(const Case& c, double eta, double relativeStep) {
    auto l = [&c](double m, double e) { return weibullLogLikelihood(c.times, c.failed, c.gamma, m, std::pow(e, m)); };
    const double hm = relativeStep * c.m, he = relativeStep * eta;
    const double l0 = l(c.m, eta);
    return {
        (l(c.m + hm, eta) - 2 * l0 + l(c.m - hm, eta)) / (hm * hm),
        (l(c.m, eta + he) - 2 * l0 + l(c.m, eta - he)) / (he * he),
        (l(c.m + hm, eta + he) - l(c.m + hm, eta - he) - l(c.m - hm, eta + he) + l(c.m - hm, eta - he)) /
            (4 * hm * he),
    };
}

TEST(FitQuality, HessianMatchesFiniteDifferences) {
    for (const Case& c : cases()) {
        const double eta = std::pow(c.t0, 1 / c.m);
        const ShapeScaleMatrix coarse = secondDifferences(c, eta, 2e-3), fine = secondDifferences(c, eta, 1e-3);
        const ShapeScaleMatrix numeric = {(4 * fine.mm - coarse.mm) / 3, (4 * fine.ee - coarse.ee) / 3,
                                          (4 * fine.me - coarse.me) / 3};
        const ShapeScaleMatrix h = logLikelihoodHessian(c.times, c.failed, c.gamma, c.m, eta);
        // The mixed entry in the scale of its row and column.
        EXPECT_NEAR(h.mm, numeric.mm, 1e-6 * std::fabs(numeric.mm)) << c.name;
        EXPECT_NEAR(h.ee, numeric.ee, 1e-6 * std::fabs(numeric.ee)) << c.name;
        EXPECT_NEAR(h.me, numeric.me, 1e-6 * std::sqrt(std::fabs(numeric.mm * numeric.ee))) << c.name;
    }
}

// Johnson's adjusted rank in its other common form:
// j = (reverse rank * j_prev + n + 1) / (reverse rank + 1).
TEST(FitQuality, PlotCorrelationIsATwoPassCorrelation) {
    const double ranks[4][2] = {{0, 1}, {-1, -1}, {-0.3, 0.4}, {-0.5, 0}};  // F = (j + a)/(n + b)
    for (const Case& c : cases()) {
        for (RankMethod method = 1; method <= 4; ++method) {
            const double n = static_cast<double>(c.times.size());
            std::vector<double> xs, ys;
            double j = 0;
            for (std::size_t k = 0; k < c.times.size(); ++k) {
                if (!c.failed.empty() && c.failed[k] == 0) continue;
                const double reverseRank = n - static_cast<double>(k);
                j = (reverseRank * j + n + 1) / (reverseRank + 1);
                const double F = (j + ranks[method - 1][0]) / (n + ranks[method - 1][1]);
                const double y = std::log(-std::log1p(-F));
                if (!std::isfinite(y)) continue;
                xs.push_back(std::log(c.times[k] - c.gamma));
                ys.push_back(y);
            }
            double mx = 0, my = 0;
            for (std::size_t i = 0; i < xs.size(); ++i) mx += xs[i], my += ys[i];
            mx /= static_cast<double>(xs.size());
            my /= static_cast<double>(ys.size());
            double sxy = 0, sxx = 0, syy = 0;
            for (std::size_t i = 0; i < xs.size(); ++i) {
                sxy += (xs[i] - mx) * (ys[i] - my);
                sxx += (xs[i] - mx) * (xs[i] - mx);
                syy += (ys[i] - my) * (ys[i] - my);
            }
            const double expected = sxy * sxy / (sxx * syy);
            const double got = plotCorrelation(c.times, c.failed, c.gamma, method);
            if (xs.size() < 2) {
                EXPECT_TRUE(std::isnan(got)) << c.name << " rank " << method;
            } else {
                EXPECT_NEAR(got, expected, 256 * eps) << c.name << " rank " << method;
            }
        }
    }
}

TEST(FitQuality, PlotCorrelationOfAStraightLineIsOne) {
    // ln x = (y + ln t0)/m exactly on the fitted line of rank method 1.
    std::vector<double> t;
    for (std::uint32_t i = 1; i <= 20; ++i) {
        t.push_back(5 + std::exp((weibullPlotY(rankMeanI(i, 20)) + std::log(300.0)) / 1.8));
    }
    EXPECT_NEAR(plotCorrelation(t, {}, 5, 1), 1.0, 64 * eps);
    EXPECT_TRUE(std::isnan(plotCorrelation(t, {}, 5, 7)));
}

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

// B50 is the median xi of the statistics, and F(B_p) = p.
TEST(FitQuality, LifeFiguresInvertTheDistribution) {
    const struct {
        double gamma, m, t0;
    } rows[] = {{0, 1, 1}, {18, 2.3, 40000}, {0, 0.7, 0.05}, {10, 8, 1e20}};  // gamma small: B - gamma is exact enough
    for (const auto& row : rows) {
        FitResult fit{row.m, row.t0, row.gamma, 0, 0, 0, 0};
        const double xi = computeStatistics(fit).xi;
        EXPECT_NEAR(bLife(0.5, row.gamma, row.m, row.t0), xi, 4 * eps * xi) << row.m;
        for (double p : {0.01, 0.1, 0.5}) {
            const double z = std::pow(bLife(p, row.gamma, row.m, row.t0) - row.gamma, row.m) / row.t0;
            EXPECT_NEAR(-std::expm1(-z), p, 8 * row.m * eps * p) << "m " << row.m << " p " << p;
        }
    }
}

// The inverse Fisher information of a complete Weibull sample of n values
// (Cohen, Technometrics 7 (1965) 579-588; Lawless, Statistical Models and
// Methods for Lifetime Data, 2nd ed., 4.1): Var m = (6/pi^2) m^2/n,
// Var eta = (1 + 6(1 - g)^2/pi^2) eta^2/(n m^2), Cov = 6(1 - g)/pi^2 eta/n,
// g Euler's constant. The observed information of a large sample at its
// estimate comes within one per cent (0.1% here); so do the widths of the
// bounds.
TEST(FitQuality, CovarianceApproachesTheFisherInformation) {
    const double pi = 3.141592653589793, euler = 0.5772156649015329;
    const double varM = 6 / (pi * pi), varEta = 1 + 6 * (1 - euler) * (1 - euler) / (pi * pi);
    const double cov = 6 * (1 - euler) / (pi * pi);
    Xorshift g{0x9E3779B97F4A7C15ULL};
    const std::size_t n = 20000;
    std::vector<double> t(n);
    for (double& x : t) x = 100 * std::pow(-std::log1p(-g.unit()), 1 / 2.0);
    sortTimes(t);
    PassPool pool;
    const ShapeProblem problem = makeShapeProblem(t, 0, {}, pool);
    const SolveOutcome solved = bracketedNewton(
        1, [&](double m) { return likelihoodEquation(problem, m); },
        [&](double m) { return likelihoodDerivative(problem, m); }, SolveControl{});
    const double m = solved.m, t0 = scaleFromShape(problem, m);
    const FitQuality q = computeFitQuality({t, {}, 0, m, t0, 1, 0.95});
    const double N = static_cast<double>(n);
    EXPECT_NEAR(q.covariance.mm * N / (m * m), varM, 0.01 * varM);
    EXPECT_NEAR(q.covariance.ee * N * m * m / (q.eta * q.eta), varEta, 0.01 * varEta);
    EXPECT_NEAR(q.covariance.me * N / q.eta, cov, 0.01 * cov);
    // Half-widths of the bounds in logarithms, z(0.975) = 1.959963984540054.
    const double z = 1.959963984540054, w = std::log(-std::log(0.9));
    EXPECT_NEAR(std::log(q.mBounds.hi / q.mBounds.lo) / 2, z * std::sqrt(varM / N), 0.01 * z * std::sqrt(varM / N));
    const double etaWidth = z * std::sqrt(varEta / N) / m;
    EXPECT_NEAR(std::log(q.etaBounds.hi / q.etaBounds.lo) / 2, etaWidth, 0.01 * etaWidth);
    const double b10Width = z * std::sqrt((varEta + w * w * varM - 2 * w * cov) / N) / m;
    EXPECT_NEAR(std::log(q.b10Bounds.hi / q.b10Bounds.lo) / 2, b10Width, 0.01 * b10Width);
    EXPECT_LT(q.b10Bounds.lo, q.b10);
    EXPECT_GT(q.b10Bounds.hi, q.b10);
}

TEST(FitQuality, SuspensionsLeaveAndersonDarlingUndefined) {
    const Case c = cases()[3];
    const FitQuality q = computeFitQuality({c.times, c.failed, c.gamma, c.m, c.t0, 1, 0.9});
    EXPECT_EQ(q.failures, 3u);
    EXPECT_TRUE(std::isnan(q.andersonDarling));
    const FitQuality all = computeFitQuality({c.times, Flags(c.times.size(), 1), c.gamma, c.m, c.t0, 1, 0.9});
    const FitQuality none = computeFitQuality({c.times, {}, c.gamma, c.m, c.t0, 1, 0.9});
    EXPECT_EQ(all.andersonDarling, none.andersonDarling);
    EXPECT_EQ(all.logLikelihood, none.logLikelihood);
    EXPECT_EQ(all.r2, none.r2);
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
        const double m = 0.6 + 5 * g.unit(), eta = portablePow(10, -1 + 5 * g.unit()), gamma = eta * g.unit();
        std::vector<double> t(n);
        for (double& x : t) x = gamma + eta * portablePow(-portableLog(1 - g.unit()), 1 / m);
        sortTimes(t);
        const double fitGamma = gamma * 0.5;
        PassPool pool;
        const ShapeProblem problem = makeShapeProblem(t, fitGamma, {}, pool);
        const SolveOutcome solved = bracketedNewton(
            1, [&](double s) { return likelihoodEquation(problem, s); },
            [&](double s) { return likelihoodDerivative(problem, s); }, SolveControl{});
        const RankMethod method = 1 + index % 4;
        const FitQuality q =
            computeFitQuality({t, {}, fitGamma, solved.m, scaleFromShape(problem, solved.m), method, 0.9});
        std::string line = "fit " + std::to_string(index);
        for (double v : {q.eta, q.logLikelihood, q.r2, q.andersonDarling, q.b1, q.b10, q.b50, q.z, q.mBounds.lo,
                         q.mBounds.hi, q.etaBounds.lo, q.etaBounds.hi, q.b10Bounds.lo, q.b10Bounds.hi}) {
            std::uint64_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            char text[20];
            std::snprintf(text, sizeof text, " %016" PRIx64, bits);
            line += text;
        }
        results += line + "\n";
    }
    expectMatchesGolden(results, "fit_quality.txt", 12);
}

TEST(FitQuality, FastFiguresAreThePlainLoopsToTheBit) {
    // computeFitQuality runs on the batch kernels and passes; the plain
    // functions are its reference. Sizes across several pass chunks, every
    // rank method (2: infinite ordinates), with and without suspensions.
    Xorshift g{0x2545F4914F6CDD1DULL};
    for (const std::size_t n : {5u, 3000u, 9001u}) {
        std::vector<double> t(n);
        for (double& x : t) x = 7 + 40 * std::pow(-std::log1p(-g.unit()), 1 / 1.7);
        sortTimes(t);
        Flags failed(n, 1);
        for (std::size_t i = 1; i < n; i += 3) failed[i] = 0;
        for (RankMethod method = 1; method <= 4; ++method) {
            for (const bool censored : {false, true}) {
                const Flags mask = censored ? failed : Flags{};
                const double gamma = 3, m = 1.7, t0 = 520;
                const FitQuality q = computeFitQuality({t, mask, gamma, m, t0, method, 0.9});
                const ShapeScaleMatrix h = logLikelihoodHessian(t, mask, gamma, m, q.eta);
                const ShapeScaleMatrix v = covarianceFromHessian(h);
                const double expected[] = {weibullLogLikelihood(t, mask, gamma, m, t0),
                                           plotCorrelation(t, mask, gamma, method),
                                           censored ? q.andersonDarling : andersonDarling(t, gamma, m, t0),
                                           v.mm, v.ee, v.me};
                const double got[] = {q.logLikelihood, q.r2, q.andersonDarling,
                                      q.covariance.mm, q.covariance.ee, q.covariance.me};
                for (int k = 0; k < 6; ++k) {
                    EXPECT_EQ(std::memcmp(&got[k], &expected[k], sizeof(double)), 0)
                        << "n " << n << " rank " << method << (censored ? " censored" : "") << " figure " << k
                        << ": " << got[k] << " vs " << expected[k];
                }
            }
        }
    }
}

}  // namespace
