// The other life distributions: the incomplete gamma function against
// reference values, each maximum-likelihood fit against a direct maximisation
// written here, the likelihood location against a scan of its profile. (The
// ranking of samples drawn from each family: tests/plot_svg_test.py.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/distributions.h"
#include "engine/incomplete_gamma.h"
#include "engine/pass_pool.h"
#include "engine/rank_regression.h"
#include "tests/test_support.h"

namespace {

// P and Q computed to 40 digits with mpmath 1.3 (gammainc, regularized),
// rounded to the nearest double.
struct GammaRow {
    double a, x, p, q;
};
const GammaRow gammaRows[] = {
    {0.5, 0.1, 0.345279153981423, 0.654720846018577},     {0.5, 2, 0.9544997361036416, 0.04550026389635842},
    {1, 1, 0.6321205588285577, 0.36787944117144233},      {2.5, 0.3, 0.011996757205906266, 0.9880032427940937},
    {2.5, 4, 0.8437643724222776, 0.15623562757772233},    {3, 10, 0.9972306042844884, 0.002769395715511576},
    {7.5, 6, 0.3209709429095852, 0.6790290570904148},     {10, 3, 0.0011024881301154798, 0.9988975118698845},
    {10, 25, 0.9997785233617512, 0.00022147663824878357}, {20, 18, 0.34908387201929825, 0.6509161279807018},
    {0.1, 0.001, 0.5267685683924451, 0.4732314316075549}, {15, 40, 0.9999980243767566, 1.975623243491064e-06},
};

TEST(IncompleteGamma, AgainstReferenceValues) {
    for (const GammaRow& row : gammaRows) {
        SCOPED_TRACE(testing::Message() << "a = " << row.a << ", x = " << row.x);
        EXPECT_LE(ulpDistance(regularizedGammaP(row.a, row.x), row.p), 64);
        EXPECT_LE(ulpDistance(regularizedGammaQ(row.a, row.x), row.q), 64);
    }
    // Far tails as logarithms (mpmath: log of gammainc).
    EXPECT_LE(ulpDistance(logRegularizedGammaQ(2.5, 800), -790.2558908656379), 64);
    EXPECT_LE(ulpDistance(logRegularizedGammaP(3, 1e-5), -36.330543364136865), 64);
    EXPECT_TRUE(std::isnan(regularizedGammaP(0, 1)));
    EXPECT_EQ(regularizedGammaQ(2, 0), 1);
}

TEST(IncompleteGamma, LogGammaAgainstReferenceValues) {
    // mpmath.loggamma to 40 digits; absolute error 4e-15 below 10, relative 1e-15 above.
    const double rows[][2] = {{0.01, 4.599479878042022}, {0.5, 0.5723649429247001},  {1.5, -0.12078223763524522},
                              {3, 0.6931471805599453},   {7.25, 7.0521854507385395}, {9.99, 12.779315214350193},
                              {10, 12.801827480081469},  {12.5, 18.734347511936445}, {100, 359.1342053695754},
                              {1e5, 1051287.7089736569}};
    for (const auto& row : rows) {
        EXPECT_NEAR(logGamma(row[0]), row[1], 4e-15 * std::max(1.0, std::fabs(row[1]))) << "x = " << row[0];
    }
}

// Weibull quantiles of 25 units; the censored form marks every fourth as suspended.
Sample quantileSample(bool censored) {
    std::vector<std::uint8_t> marks;
    for (int i = 0; censored && i < 25; ++i) marks.push_back(i % 4 == 3 ? 1 : 0);
    Sample s = makeSample(weibullQuantiles(25, 1.8, 100, 0), marks);
    sortSample(s);
    return s;
}

TEST(Distributions, EachFitIsTheLikelihoodMaximum) {
    PassPool pool(1);
    for (const bool censored : {false, true}) {
        const Sample s = quantileSample(censored);
        for (const Distribution d :
             {Distribution::weibull2, Distribution::exponential, Distribution::lognormal, Distribution::loglogistic,
              Distribution::normal, Distribution::sev, Distribution::gamma}) {
            SCOPED_TRACE(testing::Message() << distributionName(d) << (censored ? " censored" : ""));
            const DistributionFit fit = fitDistribution(d, s, 0, pool);
            ASSERT_EQ(fit.error, "");
            double p[2] = {};
            const double best = directMaximum(d, s, p);
            EXPECT_GE(fit.logLikelihood, best - 1e-9 * std::fabs(best));
            for (int k = 0; k < fit.k; ++k) EXPECT_NEAR(fit.parameters[k], p[k], 1e-4 * std::fabs(p[k])) << k;
            EXPECT_NEAR(fit.logLikelihood, directLogL(d, s, fit.parameters), 1e-12 * std::fabs(best));
            EXPECT_EQ(std::isnan(fit.andersonDarling), censored);
            const double n = 25, k = fit.k;
            EXPECT_NEAR(fit.aicc, -2 * best + 2 * k + 2 * k * (k + 1) / (n - k - 1), 1e-6 * std::fabs(best));
            EXPECT_NEAR(fit.bic, -2 * best + k * std::log(n), 1e-6 * std::fabs(best));
            if (censored) continue;
            // A2 from ln(1 - F) of the direct forms: a single suspended unit's log-likelihood.
            auto logS = [&](double t) { return directLogL(d, makeSample({t}, {1}), fit.parameters); };
            double sum = 0;
            for (std::size_t i = 0; i < 25; ++i) {
                sum += static_cast<double>(2 * i + 1) *
                       (std::log(-std::expm1(logS(s.times[i]))) + logS(s.times[24 - i]));
            }
            EXPECT_NEAR(fit.andersonDarling, -n - sum / n, 1e-9);
        }
    }
}

TEST(Distributions, FailedFitsAreListed) {
    PassPool pool(1);
    Sample s = makeSample({5, 5, 5, 5});
    const std::vector<DistributionFit> fits = compareDistributions(s, 0, pool).fits;
    ASSERT_EQ(fits.size(), static_cast<std::size_t>(distributionCount));
    // The exponential first; every other fit fails.
    EXPECT_EQ(fits.front().distribution, Distribution::exponential);
    EXPECT_TRUE(std::all_of(fits.begin() + 1, fits.end(), [](const DistributionFit& f) { return !f.error.empty(); }));
    Sample negative = makeSample({-3, 1, 4, 6});
    EXPECT_NE(fitDistribution(Distribution::lognormal, negative, 0, pool).error, "");
    EXPECT_EQ(fitDistribution(Distribution::normal, negative, 0, pool).error, "");
}

TEST(Distributions, LikelihoodLocationAgainstAScanOfTheProfile) {
    PassPool pool(1);
    struct Row {
        double m, eta, gamma;
        bool interior;
    };
    for (const Row row : {Row{2.5, 100, 50, true}, Row{3.5, 40, -20, true}, Row{0.8, 100, 10, false}}) {
        SCOPED_TRACE(testing::Message() << "m = " << row.m << ", gamma = " << row.gamma);
        const Sample s = makeSample(weibullQuantiles(30, row.m, row.eta, row.gamma));
        const LocationProfile profile = maximizeLocationProfile(s, pool);
        ASSERT_EQ(profile.interior, row.interior);
        if (!row.interior) continue;
        const double t1 = s.times.front(), step = (s.times.back() - t1) / 2000;
        double scanned = -INFINITY, scannedAt = 0;
        for (int j = 1; j <= 4000; ++j) {
            const double logL = fitWeibullAt(s, t1 - j * step, pool).logLikelihood;
            if (logL > scanned) scanned = logL, scannedAt = t1 - j * step;
        }
        EXPECT_GE(profile.logLikelihood, scanned - 1e-12 * std::fabs(scanned));
        EXPECT_NEAR(profile.gamma, scannedAt, step);
    }
}

TEST(Distributions, LocationStandardErrorAgainstDifferencedInformation) {
    const Sample s = makeSample(weibullQuantiles(40, 3.2, 60, 25));
    const double m = 3.1, eta = 62, gamma = 24;
    auto logL = [&s](const double* v) {  // v = (m, eta, gamma)
        double sum = 0;
        for (const double t : s.times) {
            const double u = (t - v[2]) / v[1];
            sum += std::log(v[0] / v[1]) + (v[0] - 1) * std::log(u) - std::pow(u, v[0]);
        }
        return sum;
    };
    const double at[3] = {m, eta, gamma}, h[3] = {1e-4 * m, 1e-4 * eta, 1e-4 * gamma};
    double info[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            double f[4];
            for (int k = 0; k < 4; ++k) {
                double v[3] = {at[0], at[1], at[2]};
                v[i] += (k & 1 ? -1 : 1) * h[i];
                v[j] += (k & 2 ? -1 : 1) * h[j];
                f[k] = logL(v);
            }
            info[i][j] = -(f[0] - f[1] - f[2] + f[3]) / (4 * h[i] * h[j]);
        }
    }
    const double det = info[0][0] * (info[1][1] * info[2][2] - info[1][2] * info[2][1]) -
                       info[0][1] * (info[1][0] * info[2][2] - info[1][2] * info[2][0]) +
                       info[0][2] * (info[1][0] * info[2][1] - info[1][1] * info[2][0]);
    const double varGamma = (info[0][0] * info[1][1] - info[0][1] * info[1][0]) / det;
    EXPECT_NEAR(locationStandardError(s, gamma, m, eta), std::sqrt(varGamma), 1e-5 * std::sqrt(varGamma));
}

TEST(RankRegression, AgainstALeastSquaresLine) {
    // Johnson's ranks and the median position (rank 3), the line by the
    // uncentred normal equations.
    struct Row {
        bool censored;
        RegressionAxis axis;
        double gamma;
    };
    for (const Row row : {Row{false, RegressionAxis::yOnX, 0}, Row{false, RegressionAxis::xOnY, 20},
                          Row{true, RegressionAxis::yOnX, 10}, Row{true, RegressionAxis::xOnY, 0}}) {
        SCOPED_TRACE(testing::Message() << "censored " << row.censored << ", axis " << static_cast<int>(row.axis));
        std::vector<std::uint8_t> marks;
        for (int i = 0; row.censored && i < 20; ++i) marks.push_back(i % 3 == 1 ? 1 : 0);
        Sample s = makeSample(weibullQuantiles(20, 2.2, 80, 30), marks);
        double n = 20, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0, j = 0, count = 0;
        for (int i = 0; i < 20; ++i) {
            if (row.censored && i % 3 == 1) continue;
            j += (n + 1 - j) / (1 + (n - i));
            const double x = std::log(s.times[static_cast<std::size_t>(i)] - row.gamma);
            const double y = std::log(-std::log(1 - (j - 0.3) / (n + 0.4)));
            sx += x, sy += y, sxx += x * x, syy += y * y, sxy += x * y, count += 1;
        }
        const double m = row.axis == RegressionAxis::yOnX ? (count * sxy - sx * sy) / (count * sxx - sx * sx)
                                                          : (count * syy - sy * sy) / (count * sxy - sx * sy);
        const double eta = std::exp((sx - sy / m) / count);
        const RegressionFit fit = rankRegression(s, row.gamma, 3, row.axis);
        EXPECT_NEAR(fit.m, m, 1e-10 * m);
        EXPECT_NEAR(fit.eta, eta, 1e-10 * eta);
        EXPECT_NEAR(fit.t0, std::pow(eta, m), 1e-9 * std::pow(eta, m));
    }
}

}  // namespace
