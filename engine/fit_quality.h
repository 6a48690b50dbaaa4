// How well a fit describes its sample, the life figures read from it, and
// two-sided Fisher-matrix bounds with gamma held fixed.
//
// Every function takes the sorted sample (its times, its suspension marks and
// its failure count). With r failures among n values and x = t - gamma:
//   log-likelihood  r ln m - r ln t0 + (m - 1) sum_failures ln x - sum_all x^m / t0
//   Hessian         in (m, eta), eta = t0^(1/m), with r failures and sums over all
//   r2              over the failures' Weibull-plot points
//   A2              not defined when any value is a suspension (NaN)
// Without suspensions every figure is that of the complete sample.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "engine/fit_types.h"
#include "engine/passes.h"
#include "engine/sample.h"

// The second derivatives of the log-likelihood in (m, eta), or the
// covariance matrix of (m, eta): a symmetric 2 x 2 matrix.
struct ShapeScaleMatrix {
    double mm;  // d2/dm2, or Var m
    double ee;  // d2/deta2, or Var eta
    double me;  // d2/dm deta, or Cov(m, eta)
};

struct Interval {
    double lo;
    double hi;
};

struct FitQualityInput {
    const Sample& sample;   // ascending; at equal times failures first
    double gamma;           // below the smallest time
    double m;               // shape
    double t0;              // scale: F(t) = 1 - exp(-(t - gamma)^m / t0)
    RankMethod rankMethod;  // plotting position for r2, 1..4
    double confidence;      // two-sided level of the bounds, 0 < C < 1
    // Optional. The scale eta where t0 is out of the range of a double
    // (scaleParameter): the figures are then formed from eta, not from t0.
    // NaN: eta = t0^(1/m).
    double eta = std::numeric_limits<double>::quiet_NaN();
    // Optional, to save a pass each: the shape table of the times at gamma
    // (as the solver built it; its memory is reused and its content lost),
    // and the sample's plotOrdinates for rankMethod.
    ShapeTable* table = nullptr;
    const std::vector<double>* ordinates = nullptr;
};

struct FitQuality {
    double eta;                   // t0^(1/m), the scale in the unit of the times
    double logLikelihood;         // at (m, t0) with gamma fixed
    double r2;                    // squared correlation of the Weibull plot
    double andersonDarling;       // A2; NaN with suspensions
    double b1, b10, b50;          // times by which 1%, 10%, 50% have failed
    double z;                     // the standard normal quantile at (1 + C)/2
    ShapeScaleMatrix covariance;  // inverse of the negative Hessian at (m, eta)
    Interval mBounds;             // m exp(+-z sqrt(Var m)/m)
    Interval etaBounds;           // eta exp(+-z sqrt(Var eta)/eta)
    Interval b10Bounds;           // gamma + exp(u +- z sqrt(Var u)), u = ln(B10 - gamma)
};

// All the figures at once. Results that cannot be formed (a Hessian that is
// not negative definite, a non-finite fit) come out as NaN or infinity.
FitQuality computeFitQuality(const FitQualityInput& input);

// The log-likelihood at (m, t0); sums in storage order.
double weibullLogLikelihood(const Sample& sample, double gamma, double m, double t0);

// The second derivatives of the log-likelihood in (m, eta), u = x / eta:
//   d2/dm2     = -r/m^2 - sum u^m (ln u)^2
//   d2/deta2   = r m/eta^2 - m(m + 1)/eta^2 sum u^m
//   d2/dm deta = -r/eta + sum u^m / eta + (m/eta) sum u^m ln u
ShapeScaleMatrix logLikelihoodHessian(const Sample& sample, double gamma, double m, double eta);

// The inverse of -H; NaN in every entry unless -H is positive definite.
ShapeScaleMatrix covarianceFromHessian(const ShapeScaleMatrix& hessian);

// The squared correlation of the points (ln x, ln ln(1/(1 - F))) over the
// failures whose ordinate is finite, F the plotting position of `method` at
// Johnson's adjusted rank (the point number i when there are no suspensions).
// NaN with fewer than two such points or an unknown method.
double plotCorrelation(const Sample& sample, double gamma, RankMethod method);

// The Anderson-Darling statistic of a complete sample against the fit:
//   A2 = -n - (1/n) sum_i (2i - 1) [ln F(x_(i)) + ln(1 - F(x_(n+1-i)))],
// with ln F = ln(-expm1(-z)) and ln(1 - F) = -z, z = x^m / t0.
double andersonDarling(std::span<const double> sortedTimes, double gamma, double m, double t0);

// The time by which the fraction p of units has failed:
// gamma + (t0 (-ln(1 - p)))^(1/m), ln(1 - p) by log1p.
double bLife(double p, double gamma, double m, double t0);

// The same from the scale: gamma + eta (-ln(1 - p))^(1/m).
double bLifeOfScale(double p, double gamma, double m, double eta);
