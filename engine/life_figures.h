// Life figures on demand, with gamma held fixed: the reliability at a time,
// the B-life at any fraction, and their bounds, one- or two-sided, from the
// Fisher matrix or from the likelihood ratio.
//
// With x = t - gamma, r failures among n values and u = x / eta, the
// (censored) log-likelihood in (m, eta) is
//   lnL(m, eta) = r ln m - r m ln eta + (m - 1) sum_failures ln x - sum_all u^m,
// the same function as weibullLogLikelihood's at t0 = eta^m. Without
// suspensions every figure is that of the complete sample.
#pragma once

#include <vector>

#include "engine/fit_quality.h"
#include "engine/sample.h"

// Which sides of a bound are given.
enum class BoundSides : int {
    two = 0,  // both, at confidence C each side leaving (1 - C)/2 out
    lower,    // the lower one at confidence C; the upper one absent (NaN)
    upper,    // the upper one at confidence C; the lower one absent (NaN)
};

// How bounds are formed.
enum class BoundMethod : int {
    fisher = 0,  // the delta method on the inverse Fisher matrix
    likelihood,  // where the profile log-likelihood falls by z^2 / 2
};

// The standard normal quantile of the bounds: Phi^-1((1 + C)/2) for two
// sides, formed as -normalQuantile((1 - C)/2), and Phi^-1(C) for one,
// formed as -normalQuantile(1 - C). 0 < C < 1.
double boundQuantile(double confidence, BoundSides sides);

// The interval with the side that is not asked for set to NaN.
Interval keepSides(Interval bounds, BoundSides sides);

// w = ln(-ln(1 - p)), the B-life's offset on the Weibull plot's y axis;
// ln(1 - p) by log1p. 0 < p < 1.
double bLifeOffset(double p);

// R(t) = exp(-((t - gamma)/eta)^m); 1 at t <= gamma.
double reliabilityAt(double t, double gamma, double m, double eta);

// Fisher bounds, V the covariance of (m, eta) and z the quantile. Each is
// the exact expression stated, evaluated in that order; NaN when V is.
//   m:   m exp(-+z sqrt(V_mm)/m)
//   eta: eta exp(-+z sqrt(V_ee)/eta)
//   B-life at p: gamma + exp(u -+ z sqrt(Var u)), u = ln eta + w/m,
//        Var u = V_ee/eta^2 + w^2 V_mm/m^4 - 2 w V_me/(m^2 eta)
//   R(t): v = m (ln(t - gamma) - ln eta),
//        Var v = (v/m)^2 V_mm + (m/eta)^2 V_ee - 2 (v/m)(m/eta) V_me,
//        exp(-exp(v +- z sqrt(Var v))): the lower R from the upper v.
Interval fisherShapeBounds(double m, const ShapeScaleMatrix& V, double z);
Interval fisherScaleBounds(double eta, const ShapeScaleMatrix& V, double z);
Interval fisherBLifeBounds(double p, double gamma, double m, double eta, const ShapeScaleMatrix& V, double z);
Interval fisherReliabilityBounds(double t, double gamma, double m, double eta, const ShapeScaleMatrix& V, double z);

// The log-likelihood of a sorted sample at a fixed gamma, prepared for the
// profile searches: ln x of every value, formed once.
struct LikelihoodProfile {
    std::vector<double> logX;  // ln(t - gamma), every value
    double failures = 0;       // r
    double logSum = 0;         // sum of ln x over the failures, in storage order
    double largestLogX = 0;    // the largest ln x
    double m = 0;              // the estimate of m ...
    double eta = 0;            // ... and of eta, where the searches start
};

LikelihoodProfile makeLikelihoodProfile(const Sample& sample, double gamma, double m, double eta);

// lnL(m, eta) as above, from ln eta; every sum in storage order.
double profileLogLikelihood(const LikelihoodProfile& profile, double m, double logEta);

// Likelihood-ratio bounds: the two values of a figure theta where
//   2 (lnL(m^, eta^) - max over the other parameter of lnL with theta held) = z^2.
// Method: the profile is maximised over m (eta tied to the figure) by a
// bracketed root search on its derivative (to 1e-12 relative in m), or in
// closed form (t0 = sum x^m / r) for the profile of m. Each bound is
// bracketed by doubling steps away from the estimate (in ln theta, or in w
// for R) and then narrowed by the Illinois method (false position, bisecting
// where the secant fails) until the bracket is narrower than 1e-13 in that
// variable: about 12 correct digits when the profile is smooth there. A side the profile never falls far enough on
// (a flat likelihood) is +inf (upper) or 0 (lower); R's are 0 and 1.
// Domain: a sample with at least 2 failures and spread, m, eta the estimate.
Interval likelihoodShapeBounds(const LikelihoodProfile& profile, double z);
Interval likelihoodScaleBounds(const LikelihoodProfile& profile, double z);
Interval likelihoodBLifeBounds(const LikelihoodProfile& profile, double gamma, double p, double z);
Interval likelihoodReliabilityBounds(const LikelihoodProfile& profile, double gamma, double t, double z);

// What a run asks of the life figures.
struct LifeRequest {
    std::vector<double> bLifePercents = {1, 10, 50};  // 0 < P < 100
    bool boundEveryBLife = false;                     // else bounds on B10 only (the default list)
    std::vector<double> atTimes;                      // times t for R(t)
    BoundSides sides = BoundSides::two;
    BoundMethod method = BoundMethod::fisher;
};

struct BLifeFigure {
    double percent;
    double value;  // gamma + (t0 (-ln(1 - p)))^(1/m), p = percent / 100
    bool bounded;  // bounds were formed for it
    Interval bounds;
};

struct ReliabilityFigure {
    double t;
    double value;  // R(t)
    bool bounded;  // false at t <= gamma (R = 1) or when not asked
    Interval bounds;
};

struct LifeFigures {
    double z = 0;  // the quantile of the bounds
    Interval mBounds{};
    Interval etaBounds{};
    std::vector<BLifeFigure> bLives;
    std::vector<ReliabilityFigure> at;
};

struct LifeFiguresInput {
    const Sample& sample;      // sorted
    double gamma, m, t0, eta;  // the fit
    const ShapeScaleMatrix& covariance;
    double confidence;  // 0 < C < 1
    const LifeRequest& request;
};

// Every figure the request names, with its bounds by the request's method;
// the absent side of one-sided bounds is NaN.
LifeFigures computeLifeFigures(const LifeFiguresInput& input);

// The bounds of the B-life at p as the request's method and sides form them
// (for the plot's band).
Interval bLifeBoundsOf(const LifeFiguresInput& input, const LikelihoodProfile* profile, double p);
