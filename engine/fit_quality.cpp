// Fit quality, life figures and Fisher-matrix bounds.
//
// Every sum runs over the values in storage order from 0; powers and
// logarithms come from the engine's kernels and squares are plain products,
// so the same sample gives the same bits on every platform.
#include "engine/fit_quality.h"

#include <cmath>
#include <limits>
#include <vector>

#include "engine/portable_math.h"
#include "engine/sample.h"
#include "engine/solver.h"
#include "engine/special_functions.h"

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

bool isFailure(std::span<const std::uint8_t> failed, std::size_t i) { return failed.empty() || failed[i] != 0; }

double failureCount(std::span<const double> times, std::span<const std::uint8_t> failed) {
    if (failed.empty()) return static_cast<double>(times.size());
    double r = 0;
    for (std::size_t i = 0; i < times.size(); ++i) r += failed[i] != 0 ? 1 : 0;
    return r;
}

// F at a (possibly fractional) rank j of n, by the formulas of engine/sample:
// for a whole j the same bits as rankFunctionOf(method)(j, n).
double plottingPosition(RankMethod method, double j, double n) {
    switch (method) {
        case 1: return j / (n + 1.0);
        case 2: return (j - 1.0) / (n - 1.0);
        case 3: return (j - 0.3) / (n + 0.4);
        case 4: return (j - 0.5) / n;
        default: return notANumber;
    }
}

// Running means and co-moments of a stream of points (Welford's update):
// one pass, no cancellation between large sums.
struct CoMoments {
    double count = 0;
    double meanX = 0, meanY = 0;
    double sxx = 0, syy = 0, sxy = 0;

    void add(double x, double y) {
        count += 1;
        const double dx = x - meanX;
        const double dy = y - meanY;
        meanX += dx / count;
        meanY += dy / count;
        sxx += dx * (x - meanX);
        syy += dy * (y - meanY);
        sxy += dx * (y - meanY);
    }
};

}  // namespace

double weibullLogLikelihood(std::span<const double> sortedTimes, std::span<const std::uint8_t> failed,
                            double gamma, double m, double t0) {
    double logSum = 0;  // over failures
    double powerSum = 0;  // over all values
    for (std::size_t i = 0; i < sortedTimes.size(); ++i) {
        double lnX = 0;
        powerSum += portablePowAndLog(sortedTimes[i] - gamma, m, lnX);
        if (isFailure(failed, i)) logSum += lnX;
    }
    const double r = failureCount(sortedTimes, failed);
    return ((r * portableLog(m) - r * portableLog(t0)) + (m - 1) * logSum) - powerSum / t0;
}

ShapeScaleMatrix logLikelihoodHessian(std::span<const double> sortedTimes, std::span<const std::uint8_t> failed,
                                      double gamma, double m, double eta) {
    double U0 = 0, U1 = 0, U2 = 0;  // sums of u^m, u^m ln u, u^m (ln u)^2
    for (const double t : sortedTimes) {
        double lnU = 0;
        const double um = portablePowAndLog((t - gamma) / eta, m, lnU);
        U0 += um;
        U1 += um * lnU;
        U2 += um * integerPower(lnU, 2);
    }
    const double r = failureCount(sortedTimes, failed);
    const double eta2 = integerPower(eta, 2);
    return {
        -r / integerPower(m, 2) - U2,
        r * m / eta2 - m * (m + 1) / eta2 * U0,
        (-r / eta + U0 / eta) + m / eta * U1,
    };
}

ShapeScaleMatrix covarianceFromHessian(const ShapeScaleMatrix& hessian) {
    const double imm = -hessian.mm;
    const double iee = -hessian.ee;
    const double ime = -hessian.me;
    const double det = imm * iee - ime * ime;
    if (!(imm > 0 && det > 0)) return {notANumber, notANumber, notANumber};
    return {iee / det, imm / det, -ime / det};
}

double plotCorrelation(std::span<const double> sortedTimes, std::span<const std::uint8_t> failed, double gamma,
                       RankMethod method) {
    const double n = static_cast<double>(sortedTimes.size());
    CoMoments moments;
    double j = 0;  // Johnson's adjusted rank of the last failure
    for (std::size_t k = 0; k < sortedTimes.size(); ++k) {
        if (!isFailure(failed, k)) continue;
        const double reverseRank = n - static_cast<double>(k);
        j = j + (n + 1 - j) / (1 + reverseRank);
        const double y = weibullPlotY(plottingPosition(method, j, n));
        if (std::isfinite(y)) moments.add(weibullPlotX(sortedTimes[k], gamma), y);
    }
    return moments.sxy * moments.sxy / (moments.sxx * moments.syy);
}

double andersonDarling(std::span<const double> sortedTimes, double gamma, double m, double t0) {
    const std::size_t n = sortedTimes.size();
    std::vector<double> z(n);
    for (std::size_t i = 0; i < n; ++i) z[i] = portablePow(sortedTimes[i] - gamma, m) / t0;
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double logF = portableLog(-portableExpm1(-z[i]));
        const double logSurvival = -z[n - 1 - i];
        sum += static_cast<double>(2 * i + 1) * (logF + logSurvival);
    }
    const double count = static_cast<double>(n);
    return -count - sum / count;
}

double bLife(double p, double gamma, double m, double t0) {
    return gamma + portablePow(t0 * -portableLog1p(-p), 1 / m);
}

FitQuality computeFitQuality(const FitQualityInput& in) {
    FitQuality q{};
    const double r = failureCount(in.sortedTimes, in.failed);
    q.failures = static_cast<std::uint32_t>(r);
    q.eta = portablePow(in.t0, 1 / in.m);
    q.logLikelihood = weibullLogLikelihood(in.sortedTimes, in.failed, in.gamma, in.m, in.t0);
    q.r2 = plotCorrelation(in.sortedTimes, in.failed, in.gamma, in.rankMethod);
    const bool complete = r == static_cast<double>(in.sortedTimes.size());
    q.andersonDarling = complete ? andersonDarling(in.sortedTimes, in.gamma, in.m, in.t0) : notANumber;
    q.b1 = bLife(0.01, in.gamma, in.m, in.t0);
    q.b10 = bLife(0.10, in.gamma, in.m, in.t0);
    q.b50 = bLife(0.50, in.gamma, in.m, in.t0);

    q.z = -normalQuantile((1 - in.confidence) / 2);
    q.covariance = covarianceFromHessian(logLikelihoodHessian(in.sortedTimes, in.failed, in.gamma, in.m, q.eta));
    const double m = in.m;
    const double eta = q.eta;
    const ShapeScaleMatrix& V = q.covariance;
    const double spreadM = q.z * std::sqrt(V.mm) / m;
    q.mBounds = {m * portableExp(-spreadM), m * portableExp(spreadM)};
    const double spreadEta = q.z * std::sqrt(V.ee) / eta;
    q.etaBounds = {eta * portableExp(-spreadEta), eta * portableExp(spreadEta)};
    // ln(B10 - gamma) = ln eta + w/m with w = ln(-ln 0.9); its variance by
    // the delta method.
    const double w = portableLog(-portableLog1p(-0.10));
    const double u = portableLog(eta) + w / m;
    const double m2 = integerPower(m, 2);
    const double varU = (V.ee / integerPower(eta, 2) + integerPower(w, 2) * V.mm / integerPower(m2, 2)) -
                        2 * w * V.me / (m2 * eta);
    const double spreadU = q.z * std::sqrt(varU);
    q.b10Bounds = {in.gamma + portableExp(u - spreadU), in.gamma + portableExp(u + spreadU)};
    return q;
}
