// Fit quality, life figures and Fisher-matrix bounds.
//
// Every sum runs over the values in storage order from 0; powers and
// logarithms come from the engine's kernels and squares are plain products,
// so the same sample gives the same bits on every platform.
#include "engine/fit_quality.h"

#include <algorithm>
#include <cmath>
#include <limits>
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

// e^v over an array: the power kernel at exponent 1 of a table entry
// {v, 0} is exp(v) to the bit (the product v * 1 is exact, and the range
// guards agree with exp's). Done in pieces, so the zero parts take little room.
void batchExp(std::vector<double>& values) {
    constexpr std::size_t piece = 4096;
    const std::vector<double> zeros(piece, 0.0);
    for (std::size_t i = 0; i < values.size(); i += piece) {
        const std::size_t count = std::min(piece, values.size() - i);
        batchPowFromLog(values.data() + i, zeros.data(), count, 1.0, values.data() + i);
    }
}

double fastPlotCorrelation(const FitQualityInput& in) {
    const Sample& sample = in.sample;
    const std::size_t n = sample.times.size();
    std::vector<double> x;
    x.reserve(sample.failures);
    for (std::size_t i = 0; i < n; ++i) {
        if (isFailure(sample, i)) x.push_back(sample.times[i]);
    }
    batchLogOfDifference(x.data(), in.gamma, x.size(), x.data());
    const std::vector<double> y = plotOrdinates(sample.suspended, static_cast<std::uint32_t>(n), in.rankMethod);
    CoMoments moments;
    for (std::size_t k = 0; k < x.size(); ++k) {
        if (std::isfinite(y[k])) moments.add(x[k], y[k]);
    }
    return moments.sxy * moments.sxy / (moments.sxx * moments.syy);
}

// A2 from the powers z = x^m / t0 (the values of portablePow): ln F =
// ln(-expm1(-z)) with expm1 by Kahan's formula as portableExpm1 forms it.
double fastAndersonDarling(const std::vector<double>& z) {
    const std::size_t n = z.size();
    std::vector<double> u(n);
    for (std::size_t i = 0; i < n; ++i) u[i] = -z[i];
    batchExp(u);
    std::vector<double> logF(n);
    batchLog(u.data(), n, logF.data());  // ln u, for the expm1 quotient
    for (std::size_t i = 0; i < n; ++i) {
        const double v = -z[i];
        double expm1 = 0;
        if (v > portableMath::expOverflow) {
            expm1 = std::numeric_limits<double>::infinity();
        } else if (u[i] == 1) {
            expm1 = v;
        } else if (u[i] - 1 == -1) {
            expm1 = -1;
        } else {
            expm1 = (u[i] - 1) * (v / logF[i]);
        }
        logF[i] = -expm1;
    }
    batchLog(logF.data(), n, logF.data());
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double logSurvival = -z[n - 1 - i];
        sum += static_cast<double>(2 * i + 1) * (logF[i] + logSurvival);
    }
    const double count = static_cast<double>(n);
    return -count - sum / count;
}

FastFigures fastFigures(const FitQualityInput& in, double eta) {
    PassPool pool;
    const Sample& sample = in.sample;
    const std::size_t n = sample.times.size();
    const std::uint8_t* suspended = sample.suspended.empty() ? nullptr : sample.suspended.data();
    FastFigures f{};
    const double r = sample.failures;
    const bool complete = sample.failures == n;
    std::vector<double> z;  // x^m / t0, for A2
    {
        const ShapeTable table = prepareShapeTable(sample.times.data(), n, in.gamma, suspended, pool);
        const ShapeSums s = shapeSums(table, in.m, pool);
        f.logLikelihood =
            ((r * portableLog(in.m) - r * portableLog(in.t0)) + (in.m - 1) * table.L) - s.S0 / in.t0;
        if (complete) {
            z.resize(n);
            batchPowFromLog(table.logHi.data(), table.logLo.data(), n, in.m, z.data());
            for (double& value : z) value = value / in.t0;
        }
    }  // the table's memory goes before A2 takes its own
    f.andersonDarling = complete ? fastAndersonDarling(z) : notANumber;
    std::vector<double>().swap(z);
    std::vector<double> u(n);
    for (std::size_t i = 0; i < n; ++i) u[i] = (sample.times[i] - in.gamma) / eta;
    const ShapeTable table = prepareShapeTable(u.data(), n, 0.0, nullptr, pool);  // u - 0 is u
    const ShapeSums s = shapeSums(table, in.m, pool);
    const double m = in.m;
    const double eta2 = integerPower(eta, 2);
    f.hessian = {
        -r / integerPower(m, 2) - s.S2,
        r * m / eta2 - m * (m + 1) / eta2 * s.S0,
        (-r / eta + s.S0 / eta) + m / eta * s.S1,
    };
    f.r2 = fastPlotCorrelation(in);
    return f;
}

}  // namespace

double weibullLogLikelihood(const Sample& sample, double gamma, double m, double t0) {
    double logSum = 0;  // over failures
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

FitQuality computeFitQuality(const FitQualityInput& in) {
    FitQuality q{};
    q.eta = portablePow(in.t0, 1 / in.m);
    const FastFigures fast = fastFigures(in, q.eta);
    q.logLikelihood = fast.logLikelihood;
    q.r2 = fast.r2;
    q.andersonDarling = fast.andersonDarling;
    q.b1 = bLife(0.01, in.gamma, in.m, in.t0);
    q.b10 = bLife(0.10, in.gamma, in.m, in.t0);
    q.b50 = bLife(0.50, in.gamma, in.m, in.t0);

    q.z = boundQuantile(in.confidence, BoundSides::two);
    q.covariance = covarianceFromHessian(fast.hessian);
    q.mBounds = fisherShapeBounds(in.m, q.covariance, q.z);
    q.etaBounds = fisherScaleBounds(q.eta, q.covariance, q.z);
    q.b10Bounds = fisherBLifeBounds(0.10, in.gamma, in.m, q.eta, q.covariance, q.z);
    return q;
}
