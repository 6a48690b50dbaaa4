// Life figures and their bounds against independent forms: the likelihood-
// ratio bounds against a direct scan of the log-likelihood, the Fisher
// bounds against the delta method written as a gradient, and one-sided
// bounds against two-sided ones at 2C - 1.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "engine/fit_quality.h"
#include "engine/life_figures.h"
#include "tests/recording_front_end.h"
#include "tests/test_support.h"

namespace {

// A complete sample and the remission times (9 failures, 12 suspended),
// fitted with gamma typed, as the run does it.
RunOutcome fitted(const char* file, double gamma, bool censored) {
    return runWith({.path = std::string(TARQUEL_TEST_DATA) + "/" + file,
                    .autoGamma = false,
                    .gamma = gamma,
                    .solver = ShapeSolver::newton,
                    .censored = censored});
}

TEST(LifeFigures, LikelihoodBoundsWhereTheScannedProfileFallsByZSquaredOverTwo) {
    const struct {
        const char* file;
        double gamma;
        bool censored;
    } rows[] = {{"repeated.dat", 10, false}, {"remission.dat", 0, true}};
    const double z = boundQuantile(0.9, BoundSides::two);
    for (const auto& row : rows) {
        const RunOutcome run = fitted(row.file, row.gamma, row.censored);
        ASSERT_TRUE(fitted(run)) << row.file;
        const Sample& s = run.sample;
        const double g = run.result.gamma, mHat = run.result.m, etaHat = run.quality.eta;
        auto lnL = [&](double m, double eta) { return weibullLogLikelihood(s, g, m, std::pow(eta, m)); };
        const double top = lnL(mHat, etaHat);
        const LikelihoodProfile profile = makeLikelihoodProfile(s, g, mHat, etaHat);
        const double w10 = std::log(-std::log(0.9));
        const double t = run.result.xi;  // R there is 1/2
        // Each bound with the profile at it: eta scanned for m, m scanned for the others.
        const struct {
            const char* figure;
            Interval bounds;
            std::function<double(double, double)> profileAt;  // (bound, m) -> lnL
            bool overM;
        } figures[] = {
            {"m", likelihoodShapeBounds(profile, z), [&](double b, double e) { return lnL(b, e); }, false},
            {"eta", likelihoodScaleBounds(profile, z), [&](double b, double m) { return lnL(m, b); }, true},
            {"B10", likelihoodBLifeBounds(profile, g, 0.1, z),
             [&](double b, double m) { return lnL(m, (b - g) * std::exp(-w10 / m)); }, true},
            {"R(xi)", likelihoodReliabilityBounds(profile, g, t, z),
             [&](double b, double m) { return lnL(m, (t - g) * std::exp(-std::log(-std::log(b)) / m)); }, true},
        };
        for (const auto& f : figures) {
            for (const double bound : {f.bounds.lo, f.bounds.hi}) {
                auto along = [&](double x) { return f.profileAt(bound, x); };
                const double at = f.overM ? mHat : etaHat;
                double x;
                const double best = goldenMax(along, at / 4, at * 4, x);
                EXPECT_NEAR(2 * (top - best), z * z, 1e-9) << row.file << " " << f.figure << " at " << bound;
            }
        }
    }
}

TEST(LifeFigures, FisherBoundsAsTheDeltaMethodsGradient) {
    const RunOutcome run = fitted("repeated.dat", 8, false);
    const double g = run.result.gamma, m = run.result.m, eta = run.quality.eta, z = 1.6448536269514722;
    const ShapeScaleMatrix& V = run.quality.covariance;
    auto spread = [&](double dm, double de) {
        return z * std::sqrt(dm * dm * V.mm + de * de * V.ee + 2 * dm * de * V.me);
    };
    const struct {
        double p, t;  // B-life fraction, time for R
    } rows[] = {{0.001, 9}, {0.1, 15}, {0.5, 25}, {0.632, 40}, {0.99, 80}};
    for (const auto& row : rows) {
        // ln(B - g) = ln eta + w/m: gradient (-w/m^2, 1/eta).
        const double w = std::log(-std::log1p(-row.p));
        const double u = std::log(eta) + w / m, su = spread(-w / (m * m), 1 / eta);
        const Interval b = fisherBLifeBounds(row.p, g, m, eta, V, z);
        EXPECT_NEAR(b.lo, g + std::exp(u - su), 1e-12 * b.lo) << row.p;
        EXPECT_NEAR(b.hi, g + std::exp(u + su), 1e-12 * b.hi) << row.p;
        // v = m ln((t - g)/eta): gradient (v/m, -m/eta).
        const double v = m * std::log((row.t - g) / eta), sv = spread(v / m, -m / eta);
        const Interval r = fisherReliabilityBounds(row.t, g, m, eta, V, z);
        EXPECT_NEAR(r.lo, std::exp(-std::exp(v + sv)), 1e-12) << row.t;
        EXPECT_NEAR(r.hi, std::exp(-std::exp(v - sv)), 1e-12) << row.t;
        EXPECT_NEAR(reliabilityAt(row.t, g, m, eta), std::exp(-std::exp(v)), 1e-14) << row.t;
    }
    EXPECT_EQ(reliabilityAt(g, g, m, eta), 1.0);
}

TEST(LifeFigures, OneSidedAtCAsTwoSidedAtTwoCMinusOne) {
    const RunOutcome run = fitted("remission.dat", 0, true);
    for (const BoundMethod method : {BoundMethod::fisher, BoundMethod::likelihood}) {
        for (const double confidence : {0.8, 0.9, 0.975}) {
            LifeRequest request;
            request.method = method;
            request.atTimes = {5, 20};
            request.boundEveryBLife = true;
            // Every bound the figures give: m, eta, each B life, each R(t).
            auto bounds = [&](double level, BoundSides sides) {
                request.sides = sides;
                const FitQuality& q = run.quality;
                const FitResult& r = run.result;
                const LifeFigures f = computeLifeFigures(
                    {run.sample, r.gamma, r.m, r.t0, q.eta, q.covariance, level, request});
                std::vector<Interval> list = {f.mBounds, f.etaBounds};
                for (const BLifeFigure& b : f.bLives) list.push_back(b.bounds);
                for (const ReliabilityFigure& figure : f.at) list.push_back(figure.bounds);
                return list;
            };
            const std::vector<Interval> all[] = {bounds(2 * confidence - 1, BoundSides::two),
                                                 bounds(confidence, BoundSides::lower),
                                                 bounds(confidence, BoundSides::upper)};
            for (std::size_t k = 0; k < all[0].size(); ++k) {
                EXPECT_NEAR(all[1][k].lo, all[0][k].lo, 1e-10 * all[0][k].lo) << confidence << " figure " << k;
                EXPECT_NEAR(all[2][k].hi, all[0][k].hi, 1e-10 * all[0][k].hi) << confidence << " figure " << k;
                EXPECT_TRUE(std::isnan(all[1][k].hi) && std::isnan(all[2][k].lo)) << confidence << " figure " << k;
            }
        }
    }
}

}  // namespace
