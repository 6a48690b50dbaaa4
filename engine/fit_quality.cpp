// Fit quality, life figures and Fisher-matrix bounds.
//
// Every sum runs over the values in storage order from 0; powers and
// logarithms come from the engine's kernels and squares are plain products,
// so the same sample gives the same bits on every platform.
#include "engine/fit_quality.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <limits>
#include <system_error>
#include <vector>

#include "engine/batch_math.h"
#include "engine/life_figures.h"
#include "engine/pass_pool.h"
#include "engine/passes.h"
#include "engine/portable_math.h"
#include "engine/portable_math_detail.h"
#include "engine/sample.h"
#include "engine/solver.h"
#include "engine/probability_kernels.h"

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

bool isFailure(const Sample& sample, std::size_t i) { return sample.suspended.empty() || sample.suspended[i] == 0; }

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

// The per-point sums of computeFitQuality on the engine's exact passes and
// batch kernels: the same bits as the plain loops of the functions below
// (which stay as their reference), in a fraction of the time.
struct FastFigures {
    double logLikelihood;
    ShapeScaleMatrix hessian;
    double r2;
    double andersonDarling;
};

// The squared correlation of plotCorrelation, with ln(t - gamma) of each
// failure from the shape table (the bits of portableLog(t - gamma)) and the
// ordinates formed once, by the caller or here.
double fastPlotCorrelation(const FitQualityInput& in, const ShapeTable& table) {
    const Sample& sample = in.sample;
    const std::size_t n = sample.times.size();
    std::vector<double> own;
    const std::vector<double>* y = in.ordinates;
    if (y == nullptr) {
        own = plotOrdinates(sample.suspended, static_cast<std::uint32_t>(n), in.rankMethod);
        y = &own;
    }
    CoMoments moments;
    std::size_t k = 0;  // the failure's number
    for (std::size_t i = 0; i < n; ++i) {
        if (!isFailure(sample, i)) continue;
        const double ordinate = (*y)[k++];
        if (std::isfinite(ordinate)) moments.add(logFromTable(table.logHi[i], table.logLo[i]), ordinate);
    }
    return moments.sxy * moments.sxy / (moments.sxx * moments.syy);
}

// A2 from the powers z = x^m / t0 of the table (the values of portablePow).
double fastAndersonDarling(const ShapeTable& table, double m, double t0, PassPool& pool) {
    const double count = static_cast<double>(table.logHi.size());
    return -count - andersonDarlingSum(table, m, t0, pool) / count;
}

// One shape table serves every figure in turn: ln(t - gamma) for r2, the
// log-likelihood and A2, then ln u, u = (t - gamma) / eta, for the Hessian.
// With a scale eta given in place of an out-of-range t0, the log-likelihood
// and A2 are formed from the u instead: x^m / t0 = u^m, ln t0 = m ln eta.
FastFigures fastFigures(const FitQualityInput& in, double eta, bool fromEta) {
    PassPool pool;
    const Sample& sample = in.sample;
    const std::size_t n = sample.times.size();
    const std::uint8_t* suspended = sample.suspended.empty() ? nullptr : sample.suspended.data();
    FastFigures f{};
    const double r = sample.failures;
    const double m = in.m;
    const bool complete = sample.failures == n;
    f.andersonDarling = notANumber;
    ShapeTable own;
    ShapeTable& table = in.table != nullptr ? *in.table : own;
    if (in.table == nullptr) prepareShapeTable(sample.times.data(), n, in.gamma, suspended, pool, own);
    // r2 is one serial chain of divisions: it runs on a thread of its own
    // beside the passes below, which read the same table and write nothing
    // into it.
    std::future<double> r2;
    try {
        r2 = std::async(std::launch::async, [&in, &table] { return fastPlotCorrelation(in, table); });
    } catch (const std::system_error&) {
        r2 = std::async(std::launch::deferred, [&in, &table] { return fastPlotCorrelation(in, table); });
    }
    const double logSum = table.L;
    if (!fromEta) {
        const ShapeSums s = shapeSums(table, m, pool);
        f.logLikelihood = ((r * portableLog(m) - r * portableLog(in.t0)) + (m - 1) * logSum) - s.S0 / in.t0;
        if (complete) f.andersonDarling = fastAndersonDarling(table, m, in.t0, pool);
    }
    f.r2 = r2.get();  // before the table is overwritten below
    prepareScaledTable(sample.times.data(), n, in.gamma, eta, pool, table);
    const ShapeSums s = shapeSums(table, m, pool);
    if (fromEta) {
        f.logLikelihood = ((r * portableLog(m) - r * (m * portableLog(eta))) + (m - 1) * logSum) - s.S0;
        if (complete) f.andersonDarling = fastAndersonDarling(table, m, 1, pool);
    }
    const double eta2 = integerPower(eta, 2);
    f.hessian = {
        -r / integerPower(m, 2) - s.S2,
        r * m / eta2 - m * (m + 1) / eta2 * s.S0,
        (-r / eta + s.S0 / eta) + m / eta * s.S1,
    };
    return f;
}

}  // namespace

double weibullLogLikelihood(const Sample& sample, double gamma, double m, double t0) {
    double logSum = 0;    // over failures
    double powerSum = 0;  // over all values
    for (std::size_t i = 0; i < sample.times.size(); ++i) {
        double lnX = 0;
        powerSum += portablePowAndLog(sample.times[i] - gamma, m, lnX);
        if (isFailure(sample, i)) logSum += lnX;
    }
    const double r = sample.failures;
    return ((r * portableLog(m) - r * portableLog(t0)) + (m - 1) * logSum) - powerSum / t0;
}

ShapeScaleMatrix logLikelihoodHessian(const Sample& sample, double gamma, double m, double eta) {
    double U0 = 0, U1 = 0, U2 = 0;  // sums of u^m, u^m ln u, u^m (ln u)^2
    for (const double t : sample.times) {
        double lnU = 0;
        const double um = portablePowAndLog((t - gamma) / eta, m, lnU);
        U0 += um;
        U1 += um * lnU;
        U2 += um * integerPower(lnU, 2);
    }
    const double r = sample.failures;
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

double plotCorrelation(const Sample& sample, double gamma, RankMethod method) {
    const double n = static_cast<double>(sample.times.size());
    CoMoments moments;
    double j = 0;  // Johnson's adjusted rank of the last failure
    for (std::size_t k = 0; k < sample.times.size(); ++k) {
        if (!isFailure(sample, k)) continue;
        const double reverseRank = n - static_cast<double>(k);
        j = j + (n + 1 - j) / (1 + reverseRank);
        const double y = weibullPlotY(plottingPosition(method, j, n));
        if (std::isfinite(y)) moments.add(weibullPlotX(sample.times[k], gamma), y);
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

double bLifeOfScale(double p, double gamma, double m, double eta) {
    return gamma + eta * portablePow(-portableLog1p(-p), 1 / m);
}

FitQuality computeFitQuality(const FitQualityInput& in) {
    FitQuality q{};
    const bool fromEta = !std::isnan(in.eta);
    q.eta = fromEta ? in.eta : portablePow(in.t0, 1 / in.m);
    const FastFigures fast = fastFigures(in, q.eta, fromEta);
    q.logLikelihood = fast.logLikelihood;
    q.r2 = fast.r2;
    q.andersonDarling = fast.andersonDarling;
    auto life = [&](double p) {
        return fromEta ? bLifeOfScale(p, in.gamma, in.m, in.eta) : bLife(p, in.gamma, in.m, in.t0);
    };
    q.b1 = life(0.01);
    q.b10 = life(0.10);
    q.b50 = life(0.50);

    q.z = boundQuantile(in.confidence, BoundSides::two);
    q.covariance = covarianceFromHessian(fast.hessian);
    q.mBounds = fisherShapeBounds(in.m, q.covariance, q.z);
    q.etaBounds = fisherScaleBounds(q.eta, q.covariance, q.z);
    q.b10Bounds = fisherBLifeBounds(0.10, in.gamma, in.m, q.eta, q.covariance, q.z);
    return q;
}
