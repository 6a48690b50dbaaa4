// Maximum-likelihood fits of the life distributions and their ranking; see
// the header for the families, the figures and their conventions.
#include "engine/distributions.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/fit_quality.h"
#include "engine/incomplete_gamma.h"
#include "engine/pass_pool.h"
#include "engine/portable_math.h"
#include "engine/probability_kernels.h"
#include "engine/solver.h"

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// 0.5 ln(2 pi) and 1/sqrt(2).
constexpr double halfLogTwoPi = 0.91893853320467274178032973640562;
constexpr double inverseSqrtTwo = 0.70710678118654752440084436210485;
// pi, Euler's constant: the moments of the logistic and extreme-value laws.
constexpr double pi = 3.14159265358979323846264338327950;
constexpr double eulerGamma = 0.57721566490153286060651209008240;

// The profile search's grid of d = t(1) - gamma.
constexpr int profileGridPoints = 64;
constexpr double profileNearest = 1e-7;  // times t(n) - t(1)
constexpr double profileFarthest = 1e3;  // times t(n) - t(1) + |t(1)|
// Golden sections end once the bracket in ln d is this narrow.
constexpr double profileTolerance = 1e-9;
const double goldenRatio = (std::sqrt(5.0) - 1) / 2;

// Newton's method on a location-scale likelihood: at most this many steps,
// each halved at most this often until the likelihood does not fall.
constexpr int newtonSteps = 500;
constexpr int newtonHalvings = 60;
constexpr double newtonTolerance = 1e-14;

// The simplex search of the gamma law ends once its diameter in
// (ln shape, ln scale) is below this, or after this many steps (twice).
constexpr double simplexTolerance = 1e-11;
constexpr int simplexSteps = 5000;

bool isSuspended(const Sample& s, std::size_t i) { return !s.suspended.empty() && s.suspended[i] != 0; }

// ln(1 - e^(-z)) for z >= 0: ln F of a hazard integral z.
double logOneMinusExpMinus(double z) { return portableLog(-portableExpm1(-z)); }

// The three standard laws of a location-scale family in z = (y - mu)/sigma.
enum class Standard { normal, logistic, sev };

// ln(1 - F0(z)) of the logistic law without overflow.
double logisticLogSurvival(double z) {
    return z > 0 ? -z - portableLog1p(portableExp(-z)) : -portableLog1p(portableExp(z));
}

double standardLogCdf(Standard law, double z, bool lower) {
    switch (law) {
        case Standard::normal: return portableLog(0.5 * portableErfc((lower ? -z : z) * inverseSqrtTwo));
        case Standard::logistic: return logisticLogSurvival(lower ? -z : z);
        case Standard::sev: return lower ? logOneMinusExpMinus(portableExp(z)) : -portableExp(z);
    }
    return notANumber;
}

double standardLogDensity(Standard law, double z) {
    switch (law) {
        case Standard::normal: return -0.5 * z * z - halfLogTwoPi;
        case Standard::logistic: return logisticLogSurvival(-z) + logisticLogSurvival(z);
        case Standard::sev: return z - portableExp(z);
    }
    return notANumber;
}

// The first and second derivatives in z of ln f0 (a failure) or ln(1 - F0)
// (a suspension).
void standardScores(Standard law, double z, bool failure, double& first, double& second) {
    switch (law) {
        case Standard::normal: {
            if (failure) {
                first = -z;
                second = -1;
                return;
            }
            // The inverse Mills ratio phi/Q; z itself where Q underflows.
            const double logQ = standardLogCdf(law, z, false);
            const double ratio = std::isfinite(logQ) ? portableExp(-0.5 * z * z - halfLogTwoPi - logQ) : z;
            first = -ratio;
            second = -ratio * (ratio - z);
            return;
        }
        case Standard::logistic: {
            const double F = portableExp(logisticLogSurvival(-z));
            const double spread = F * (1 - F);
            first = failure ? 1 - 2 * F : -F;
            second = failure ? -2 * spread : -spread;
            return;
        }
        case Standard::sev: {
            const double w = portableExp(z);
            first = failure ? 1 - w : -w;
            second = -w;
            return;
        }
    }
}

struct LocationScale {
    double mu, sigma;
};

// ln L of the values y (sigma > 0): failures ln f0(z) - ln sigma, suspensions ln(1 - F0(z)).
double locationScaleLogLikelihood(Standard law, const std::vector<double>& y, const Sample& s, LocationScale p) {
    const double logSigma = portableLog(p.sigma);
    double sum = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        const double z = (y[i] - p.mu) / p.sigma;
        sum += isSuspended(s, i) ? standardLogCdf(law, z, false) : standardLogDensity(law, z) - logSigma;
    }
    return std::isnan(sum) ? -inf : sum;
}

// Mean and standard deviation of the failures' values (divisor r).
LocationScale failureMoments(const std::vector<double>& y, const Sample& s) {
    double sum = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        if (!isSuspended(s, i)) sum += y[i];
    }
    const double mean = sum / s.failures;
    double squares = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        if (!isSuspended(s, i)) squares += (y[i] - mean) * (y[i] - mean);
    }
    return {mean, std::sqrt(squares / s.failures)};
}

// Maximum likelihood of a location-scale law by Newton's method in
// (mu, sigma), each step halved until the likelihood does not fall; where
// the Hessian is not negative definite, a gradient step instead. Starts from
// the law's moments matched to the failures'. sigma is 0 when they have no spread.
// Polls the control before each step: `stopped` is set when it ends the fit.
LocationScale fitLocationScale(Standard law, const std::vector<double>& y, const Sample& s, const SolveControl& control,
                               bool& stopped) {
    const LocationScale moments = failureMoments(y, s);
    if (!(moments.sigma > 0)) return {moments.mu, 0};
    LocationScale p = moments;
    if (law == Standard::logistic) p.sigma = moments.sigma * std::sqrt(3.0) / pi;
    if (law == Standard::sev) {
        p.sigma = moments.sigma * std::sqrt(6.0) / pi;
        p.mu = moments.mu + eulerGamma * p.sigma;
    }
    const double r = s.failures;
    double logL = locationScaleLogLikelihood(law, y, s, p);
    for (int step = 0; step < newtonSteps; ++step) {
        if (stopRequested(control)) {
            stopped = true;
            break;
        }
        double sumA = 0, sumAz = 0, sumB = 0, sumAbz = 0, sumQuad = 0;
        for (std::size_t i = 0; i < y.size(); ++i) {
            const double z = (y[i] - p.mu) / p.sigma;
            double a = 0, b = 0;
            standardScores(law, z, !isSuspended(s, i), a, b);
            sumA += a;
            sumAz += a * z;
            sumB += b;
            sumAbz += a + b * z;
            sumQuad += 2 * a * z + b * z * z;
        }
        const double s2 = p.sigma * p.sigma;
        const double g1 = -sumA / p.sigma;
        const double g2 = -r / p.sigma - sumAz / p.sigma;
        const double h11 = sumB / s2, h12 = sumAbz / s2, h22 = r / s2 + sumQuad / s2;
        const double det = h11 * h22 - h12 * h12;
        double dMu, dSigma;
        if (h11 < 0 && det > 0) {
            dMu = -(h22 * g1 - h12 * g2) / det;
            dSigma = -(h11 * g2 - h12 * g1) / det;
        } else {
            dMu = g1 * s2 / static_cast<double>(y.size());
            dSigma = g2 * s2 / static_cast<double>(y.size());
        }
        bool accepted = false;
        double scale = 1;
        for (int halving = 0; halving < newtonHalvings && !accepted; ++halving, scale /= 2) {
            const LocationScale trial{p.mu + scale * dMu, p.sigma + scale * dSigma};
            if (!(trial.sigma > 0)) continue;
            const double trialLogL = locationScaleLogLikelihood(law, y, s, trial);
            if (trialLogL >= logL) {
                accepted = true;
                p = trial;
                logL = trialLogL;
            }
        }
        if (!accepted) break;
        if (std::fabs(scale * dMu) <= newtonTolerance * (std::fabs(p.mu) + p.sigma) &&
            std::fabs(scale * dSigma) <= newtonTolerance * p.sigma) {
            break;
        }
    }
    return p;
}

// ln L of the gamma law with shape a and scale b.
double gammaLogLikelihood(const Sample& s, double a, double b) {
    const double logB = portableLog(b);
    const double logGammaA = logGamma(a);
    double sum = 0;
    for (std::size_t i = 0; i < s.times.size(); ++i) {
        const double t = s.times[i];
        sum += isSuspended(s, i) ? logRegularizedGammaQ(a, t / b)
                                 : (a - 1) * portableLog(t) - t / b - logGammaA - a * logB;
    }
    return std::isnan(sum) ? -inf : sum;
}

// Nelder and Mead's simplex search for the largest ln L in (ln a, ln b),
// started from the moments, and started again once from where it ended.
// Polls the control before each step: `stopped` is set when it ends the search.
void fitGammaLaw(const Sample& s, double& a, double& b, const SolveControl& control, bool& stopped) {
    struct Vertex {
        double u, v, cost;
    };
    auto cost = [&s](double u, double v) { return -gammaLogLikelihood(s, portableExp(u), portableExp(v)); };
    double u = portableLog(a), v = portableLog(b);
    for (int round = 0; round < 2 && !stopped; ++round) {
        Vertex simplex[3] = {{u, v, cost(u, v)}, {u + 0.1, v, cost(u + 0.1, v)}, {u, v + 0.1, cost(u, v + 0.1)}};
        for (int step = 0; step < simplexSteps; ++step) {
            if (stopRequested(control)) {
                stopped = true;
                break;
            }
            std::sort(simplex, simplex + 3, [](const Vertex& p, const Vertex& q) { return p.cost < q.cost; });
            const double diameter = std::max(
                {std::fabs(simplex[1].u - simplex[0].u), std::fabs(simplex[2].u - simplex[0].u),
                 std::fabs(simplex[1].v - simplex[0].v), std::fabs(simplex[2].v - simplex[0].v)});
            if (diameter < simplexTolerance) break;
            const double cu = (simplex[0].u + simplex[1].u) / 2, cv = (simplex[0].v + simplex[1].v) / 2;
            auto along = [&](double factor) {
                const double pu = cu + factor * (simplex[2].u - cu), pv = cv + factor * (simplex[2].v - cv);
                return Vertex{pu, pv, cost(pu, pv)};
            };
            const Vertex reflected = along(-1);
            if (reflected.cost < simplex[0].cost) {
                const Vertex expanded = along(-2);
                simplex[2] = expanded.cost < reflected.cost ? expanded : reflected;
            } else if (reflected.cost < simplex[1].cost) {
                simplex[2] = reflected;
            } else {
                const Vertex contracted = reflected.cost < simplex[2].cost ? along(-0.5) : along(0.5);
                if (contracted.cost < std::min(reflected.cost, simplex[2].cost)) {
                    simplex[2] = contracted;
                } else {
                    for (int k = 1; k < 3; ++k) {
                        const double ku = (simplex[0].u + simplex[k].u) / 2, kv = (simplex[0].v + simplex[k].v) / 2;
                        simplex[k] = {ku, kv, cost(ku, kv)};
                    }
                }
            }
        }
        std::sort(simplex, simplex + 3, [](const Vertex& p, const Vertex& q) { return p.cost < q.cost; });
        u = simplex[0].u;
        v = simplex[0].v;
    }
    a = portableExp(u);
    b = portableExp(v);
}

// The criteria of a fit with its ln L and k, over n units.
void setCriteria(DistributionFit& fit, const Sample& s) {
    const double n = static_cast<double>(s.times.size());
    const double k = fit.k;
    fit.aicc = n - k - 1 > 0 ? -2 * fit.logLikelihood + 2 * k + 2 * k * (k + 1) / (n - k - 1) : notANumber;
    fit.bic = -2 * fit.logLikelihood + k * portableLog(n);
    fit.andersonDarling = notANumber;
    if (!s.suspended.empty()) return;
    const std::size_t count = s.times.size();
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += static_cast<double>(2 * i + 1) *
               (fittedLogCdf(fit, s.times[i], true) + fittedLogCdf(fit, s.times[count - 1 - i], false));
    }
    fit.andersonDarling = -n - sum / n;
}

DistributionFit failedFit(DistributionFit fit, std::string error) {
    fit.error = std::move(error);
    fit.logLikelihood = fit.aicc = fit.bic = fit.andersonDarling = notANumber;
    return fit;
}

constexpr char stoppedCause[] = "stopped before the fit ended";

DistributionFit stoppedFit(DistributionFit fit) {
    fit.stopped = true;
    return failedFit(std::move(fit), stoppedCause);
}

// ln t of every time, the values of the log families.
std::vector<double> logTimes(const Sample& s) {
    std::vector<double> y(s.times.size());
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = portableLog(s.times[i]);
    return y;
}

// The profile ln L at d = t(1) - gamma = e^u; -inf where there is no fit.
double profileAt(const Sample& s, double u, PassPool& pool) {
    const double gamma = s.times[0] - portableExp(u);
    if (!(gamma < s.times[0])) return -inf;
    const double logL = fitWeibullAt(s, gamma, pool).logLikelihood;
    return std::isnan(logL) ? -inf : logL;
}

}  // namespace

const char* distributionName(Distribution distribution) {
    static const char* const names[distributionCount] = {"weibull2",    "weibull3", "exponential", "lognormal",
                                                         "loglogistic", "normal",   "sev",         "gamma"};
    return names[static_cast<int>(distribution)];
}

std::vector<const char*> parameterNames(Distribution distribution) {
    switch (distribution) {
        case Distribution::weibull2: return {"m", "t0"};
        case Distribution::weibull3: return {"m", "t0", "gamma"};
        case Distribution::exponential: return {"theta"};
        case Distribution::gamma: return {"shape", "scale"};
        case Distribution::lognormal:
        case Distribution::loglogistic:
        case Distribution::normal:
        case Distribution::sev: return {"mu", "sigma"};
    }
    return {};
}

DistributionFit fitWeibullAt(const Sample& sorted, double gamma, PassPool& pool) {
    DistributionFit fit;
    fit.distribution = Distribution::weibull3;
    fit.k = 3;
    const ShapeProblem problem = makeShapeProblem(sorted, gamma, pool);
    auto equation = [&problem](double m) { return likelihoodEquation(problem, m); };
    auto derivative = [&problem](double m) { return likelihoodDerivative(problem, m); };
    const SolveOutcome solved = bracketedNewton(1, equation, derivative, SolveControl{});
    const bool root = solved.ending == SolveEnding::rootFound || solved.ending == SolveEnding::converged;
    const double m = root && solved.m > 0 ? solved.m : notANumber;
    const double t0 = scaleFromShape(problem, m);
    fit.parameters[0] = m;
    fit.parameters[1] = t0;
    fit.parameters[2] = gamma;
    fit.logLikelihood = weibullLogLikelihood(sorted, gamma, m, t0);
    return fit;
}

LocationProfile maximizeLocationProfile(const Sample& sorted, PassPool& pool, const SolveControl& control) {
    LocationProfile profile;
    const double first = sorted.times.front();
    const double span = sorted.times.back() - first;
    if (!(span > 0)) return profile;
    const double lo = portableLog(profileNearest * span);
    const double hi = portableLog(profileFarthest * (span + std::fabs(first)));
    const double width = (hi - lo) / (profileGridPoints - 1);
    int best = 0;
    double bestLogL = -inf;
    for (int j = 0; j < profileGridPoints; ++j) {
        if (stopRequested(control)) {
            profile.stopped = true;
            return profile;
        }
        const double logL = profileAt(sorted, lo + j * width, pool);
        if (logL > bestLogL) {
            best = j;
            bestLogL = logL;
        }
    }
    if (best == 0 || best == profileGridPoints - 1) return profile;
    double a = lo + (best - 1) * width, b = lo + (best + 1) * width;
    double c = b - goldenRatio * (b - a), d = a + goldenRatio * (b - a);
    double fc = profileAt(sorted, c, pool), fd = profileAt(sorted, d, pool);
    while (b - a > profileTolerance * (1 + std::fabs(a))) {
        if (stopRequested(control)) {
            profile.stopped = true;
            return profile;
        }
        if (fc >= fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - goldenRatio * (b - a);
            fc = profileAt(sorted, c, pool);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + goldenRatio * (b - a);
            fd = profileAt(sorted, d, pool);
        }
    }
    const double u = fc >= fd ? c : d;
    const DistributionFit fit = fitWeibullAt(sorted, first - portableExp(u), pool);
    profile.interior = std::isfinite(fit.logLikelihood);
    profile.m = fit.parameters[0];
    profile.t0 = fit.parameters[1];
    profile.gamma = fit.parameters[2];
    profile.logLikelihood = fit.logLikelihood;
    return profile;
}

DistributionFit fitDistribution(Distribution distribution, const Sample& sorted, double fallbackGamma, PassPool& pool,
                                const SolveControl& control) {
    DistributionFit fit;
    fit.distribution = distribution;
    fit.k = static_cast<int>(parameterNames(distribution).size());
    const bool positiveSupport = distribution != Distribution::normal && distribution != Distribution::sev &&
                                 distribution != Distribution::weibull3;
    if (positiveSupport && !(sorted.times.front() > 0)) {
        return failedFit(fit, "a time is 0 or below, outside the range of this distribution");
    }
    // Every family but the one-parameter law needs failures at two times at least.
    if (distribution != Distribution::exponential && !(failureMoments(sorted.times, sorted).sigma > 0)) {
        return failedFit(fit, "the failures have no spread (variance 0)");
    }
    switch (distribution) {
        case Distribution::weibull2:
        case Distribution::weibull3: {
            double gamma = 0;
            if (distribution == Distribution::weibull3) {
                const LocationProfile profile = maximizeLocationProfile(sorted, pool, control);
                if (profile.stopped) return stoppedFit(fit);
                gamma = profile.interior ? profile.gamma : fallbackGamma;
                if (!profile.interior) fit.note = "no likelihood maximum below the smallest time: the run's gamma";
                if (!(gamma < sorted.times.front())) return failedFit(fit, "no location below the smallest time");
            }
            const DistributionFit weibull = fitWeibullAt(sorted, gamma, pool);
            std::copy(weibull.parameters, weibull.parameters + 3, fit.parameters);
            fit.logLikelihood = weibull.logLikelihood;
            if (!std::isfinite(fit.logLikelihood)) return failedFit(fit, "the likelihood equation has no root");
            break;
        }
        case Distribution::exponential: {
            double total = 0;
            for (const double t : sorted.times) total += t;
            const double theta = total / sorted.failures;
            fit.parameters[0] = theta;
            fit.logLikelihood = -static_cast<double>(sorted.failures) * portableLog(theta) - total / theta;
            break;
        }
        case Distribution::lognormal:
        case Distribution::loglogistic:
        case Distribution::normal:
        case Distribution::sev: {
            const bool logScale = distribution == Distribution::lognormal || distribution == Distribution::loglogistic;
            const Standard law = distribution == Distribution::sev           ? Standard::sev
                                 : distribution == Distribution::loglogistic ? Standard::logistic
                                                                             : Standard::normal;
            const std::vector<double> y = logScale ? logTimes(sorted) : sorted.times;
            bool stopped = false;
            const LocationScale p = fitLocationScale(law, y, sorted, control, stopped);
            if (stopped) return stoppedFit(fit);
            if (!(p.sigma > 0)) return failedFit(fit, "the failures have no spread (variance 0)");
            fit.parameters[0] = p.mu;
            fit.parameters[1] = p.sigma;
            fit.logLikelihood = locationScaleLogLikelihood(law, y, sorted, p);
            // The density of t is that of ln t divided by t.
            for (std::size_t i = 0; logScale && i < y.size(); ++i) {
                if (!isSuspended(sorted, i)) fit.logLikelihood -= y[i];
            }
            break;
        }
        case Distribution::gamma: {
            const std::vector<double>& t = sorted.times;
            const LocationScale moments = failureMoments(t, sorted);
            if (!(moments.sigma > 0)) return failedFit(fit, "the failures have no spread (variance 0)");
            double shape = moments.mu * moments.mu / (moments.sigma * moments.sigma);
            double scale = moments.sigma * moments.sigma / moments.mu;
            bool stopped = false;
            fitGammaLaw(sorted, shape, scale, control, stopped);
            if (stopped) return stoppedFit(fit);
            fit.parameters[0] = shape;
            fit.parameters[1] = scale;
            fit.logLikelihood = gammaLogLikelihood(sorted, shape, scale);
            break;
        }
    }
    if (!std::isfinite(fit.logLikelihood)) return failedFit(fit, "the likelihood is not finite at the fit");
    setCriteria(fit, sorted);
    return fit;
}

double fittedLogCdf(const DistributionFit& fit, double t, bool lower) {
    const double* p = fit.parameters;
    switch (fit.distribution) {
        case Distribution::weibull2:
        case Distribution::weibull3:
        case Distribution::exponential: {
            const bool exponential = fit.distribution == Distribution::exponential;
            const double x = exponential ? t : t - p[2];
            if (!(x > 0)) return lower ? -inf : 0;
            const double z = exponential ? x / p[0] : portablePow(x, p[0]) / p[1];
            return lower ? logOneMinusExpMinus(z) : -z;
        }
        case Distribution::lognormal: return standardLogCdf(Standard::normal, (portableLog(t) - p[0]) / p[1], lower);
        case Distribution::loglogistic:
            return standardLogCdf(Standard::logistic, (portableLog(t) - p[0]) / p[1], lower);
        case Distribution::normal: return standardLogCdf(Standard::normal, (t - p[0]) / p[1], lower);
        case Distribution::sev: return standardLogCdf(Standard::sev, (t - p[0]) / p[1], lower);
        case Distribution::gamma:
            return lower ? logRegularizedGammaP(p[0], t / p[1]) : logRegularizedGammaQ(p[0], t / p[1]);
    }
    return notANumber;
}

DistributionComparison compareDistributions(const Sample& sorted, double fallbackGamma, PassPool& pool,
                                            const SolveControl& control) {
    DistributionComparison comparison;
    std::vector<DistributionFit>& fits = comparison.fits;
    for (int d = 0; d < distributionCount; ++d) {
        const auto distribution = static_cast<Distribution>(d);
        if (comparison.stopped || stopRequested(control)) {
            DistributionFit notReached;
            notReached.distribution = distribution;
            notReached.k = static_cast<int>(parameterNames(distribution).size());
            fits.push_back(stoppedFit(notReached));
        } else {
            fits.push_back(fitDistribution(distribution, sorted, fallbackGamma, pool, control));
        }
        comparison.stopped = comparison.stopped || fits.back().stopped;
    }
    if (comparison.stopped) return comparison;
    auto tier = [](const DistributionFit& f) { return !f.error.empty() ? 2 : std::isfinite(f.aicc) ? 0 : 1; };
    std::stable_sort(fits.begin(), fits.end(), [&tier](const DistributionFit& a, const DistributionFit& b) {
        if (tier(a) != tier(b)) return tier(a) < tier(b);
        return tier(a) == 0 && a.aicc < b.aicc;
    });
    return comparison;
}

double locationStandardError(const Sample& sorted, double gamma, double m, double eta) {
    const double r = sorted.failures;
    double sumU = 0, sumUL = 0, sumULL = 0, sumUx = 0, sumULx = 0, sumUxx = 0, sumInvX = 0, sumInvXX = 0;
    for (std::size_t i = 0; i < sorted.times.size(); ++i) {
        const double x = sorted.times[i] - gamma;
        const double logU = portableLog(x / eta);
        const double um = portableExp(m * logU);
        sumU += um;
        sumUL += um * logU;
        sumULL += um * logU * logU;
        sumUx += um / x;
        sumULx += um * logU / x;
        sumUxx += um / (x * x);
        if (!isSuspended(sorted, i)) {
            sumInvX += 1 / x;
            sumInvXX += 1 / (x * x);
        }
    }
    // Minus the Hessian, a symmetric 3 x 3 matrix in (m, eta, gamma).
    const double a = r / (m * m) + sumULL;
    const double b = -(r * m / (eta * eta) - m * (m + 1) / (eta * eta) * sumU);
    const double c = (m - 1) * sumInvXX + m * (m - 1) * sumUxx;
    const double d = -(-r / eta + sumU / eta + m / eta * sumUL);
    const double e = -(-sumInvX + sumUx + m * sumULx);
    const double f = m * m / eta * sumUx;
    // The gamma entry of the inverse: the cofactor over the determinant.
    const double cofactor = a * b - d * d;
    const double determinant = a * (b * c - f * f) - d * (d * c - f * e) + e * (d * f - b * e);
    if (!(a > 0) || !(cofactor > 0) || !(determinant > 0)) return notANumber;
    return std::sqrt(cofactor / determinant);
}
