// Other life distributions fitted by maximum likelihood, and their ranking.
//
// Every fit takes the sorted sample (times, suspension marks, failure count):
// a failure adds ln f(t), a suspension ln(1 - F(t)), the density f in the
// time unit of the data, so that the log-likelihoods of all families can be
// compared. With k parameters and n units (suspended ones included):
//   AICc = -2 lnL + 2k + 2k(k + 1)/(n - k - 1)   (NaN when n <= k + 1)
//   BIC  = -2 lnL + k ln n
//   A2   the Anderson-Darling statistic with the fitted F, complete samples only
// The families and their parameters:
//   weibull2     m, t0           F = 1 - exp(-t^m / t0)
//   weibull3     m, t0, gamma    F = 1 - exp(-(t - gamma)^m / t0), gamma by likelihood
//   exponential  theta           F = 1 - exp(-t / theta)
//   lognormal    mu, sigma       ln t normal
//   loglogistic  mu, sigma       F = 1 / (1 + exp(-(ln t - mu) / sigma))
//   normal       mu, sigma
//   sev          mu, sigma       F = 1 - exp(-exp((t - mu) / sigma))
//   gamma        shape, scale    F = P(shape, t / scale)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/sample.h"
#include "engine/solver.h"

class PassPool;

enum class Distribution : int { weibull2, weibull3, exponential, lognormal, loglogistic, normal, sev, gamma };

constexpr int distributionCount = 8;

// "weibull2", "weibull3", "exponential", ...
const char* distributionName(Distribution distribution);

// The parameter names of a family, in the order of DistributionFit::parameters.
std::vector<const char*> parameterNames(Distribution distribution);

struct DistributionFit {
    Distribution distribution = Distribution::weibull2;
    int k = 0;                  // the number of parameters
    double parameters[3] = {};  // the first k in the order of parameterNames
    double logLikelihood = 0;   // at the parameters, density in the unit of the times
    double aicc = 0;
    double bic = 0;
    double andersonDarling = 0;  // NaN with suspensions
    std::string error;           // "" = fitted; else why there is no fit
    std::string note;            // "" or a remark on how the fit was formed
    bool stopped = false;        // a Stop or the time-out ended the fit (error says so)
};

// The location that maximises the Weibull profile log-likelihood
//   lnL(gamma) = max over m, t0 of lnL(m, t0, gamma), gamma < t(1),
// and the fit there. The inner fit is the bracketed Newton solver of the
// likelihood equation; gamma = t(1) - d is searched over d on a logarithmic
// grid of 64 points from 1e-7 (t(n) - t(1)) to 1e3 (t(n) - t(1) + |t(1)|),
// then by golden sections between the best point's neighbours. `interior`
// is false where the best grid point is an end of the grid: the profile then
// keeps rising toward t(1) (or toward -infinity), and no maximum is given.
// The control's stop flag and time-out are polled before every profile
// point; a stop ends the search with `stopped` and no maximum.
struct LocationProfile {
    bool interior = false;
    bool stopped = false;
    double gamma = 0;
    double m = 0;
    double t0 = 0;
    double logLikelihood = 0;
};

LocationProfile maximizeLocationProfile(const Sample& sorted, PassPool& pool, const SolveControl& control = {});

// The Weibull fit by likelihood at a fixed location below t(1): m by the
// bracketed solver, t0 = (1/r) sum x^m. m is NaN when no root was found.
DistributionFit fitWeibullAt(const Sample& sorted, double gamma, PassPool& pool);

// The fit of one family. weibull3 takes its location from
// maximizeLocationProfile, or, with no interior maximum, uses `fallbackGamma`
// (and says so in the note). The control is polled at every step of the
// iterative fits (the profile search, Newton's and the simplex steps); a stop
// gives no fit, with `stopped` set.
DistributionFit fitDistribution(Distribution distribution, const Sample& sorted, double fallbackGamma, PassPool& pool,
                                const SolveControl& control = {});

// ln F(t) (lower = true) or ln(1 - F(t)) of a fitted family.
double fittedLogCdf(const DistributionFit& fit, double t, bool lower);

// Every family fitted, ranked by AICc (smallest first); fits without a
// finite AICc follow in family order, failed fits last. The control is
// polled between the fits and inside them. A stopped comparison is no
// ranking: `stopped` is set and the fits stay in family order, those the
// stop ended or never reached with `stopped` set and no fit.
struct DistributionComparison {
    std::vector<DistributionFit> fits;
    bool stopped = false;
};

DistributionComparison compareDistributions(const Sample& sorted, double fallbackGamma, PassPool& pool,
                                            const SolveControl& control = {});

// The standard error of gamma from the 3 x 3 observed information in
// (m, eta, gamma) at a likelihood maximum, eta = t0^(1/m), x = t - gamma,
// u = x / eta, r failures, sums over every unit unless marked F (failures):
//   d2/dm2          = -r/m^2 - sum u^m (ln u)^2
//   d2/deta2        = r m/eta^2 - m(m + 1)/eta^2 sum u^m
//   d2/dgamma2      = -(m - 1) sum_F 1/x^2 - m(m - 1) sum u^m / x^2
//   d2/dm deta      = -r/eta + sum u^m / eta + (m/eta) sum u^m ln u
//   d2/dm dgamma    = -sum_F 1/x + sum u^m / x + m sum u^m ln u / x
//   d2/deta dgamma  = -(m^2/eta) sum u^m / x
// The square root of the gamma entry of the inverse of minus that matrix;
// NaN unless it is positive definite. Meaningful only for m > 2, where the
// maximum is regular.
double locationStandardError(const Sample& sorted, double gamma, double m, double eta);
