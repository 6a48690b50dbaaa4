// Maximum-likelihood shape and scale for a fixed location, and the two
// iterations that solve the likelihood equation.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>

#include "engine/fit_types.h"

// x^k by repeated squaring; k = 0 gives 1, k < 0 gives 1 / x^|k|.
double integerPower(double x, std::int32_t k);

// The power sums of one pass at a shape m, x_i = t_i - gamma:
// S0 = sum x_i^m, S1 = sum x_i^m ln x_i, S2 = sum x_i^m (ln x_i)^2.
struct ShapeSums {
    double S0 = 0;
    double S1 = 0;
    double S2 = 0;
};

// The likelihood in m for a fixed location: the sorted times, gamma (below
// the smallest time), the count n and L = sum ln x_i. With suspensions
// (right-censored times) n is the count r of failures and L sums over the
// failures only, while S0, S1 and S2 still run over every time: the
// equation becomes r/m + L - r S1/S0 and t0 = S0/r. The last pass is kept,
// so that the slope at the m the equation has just been evaluated at costs
// nothing.
struct ShapeProblem {
    std::span<const double> times;
    double gamma = 0;
    double count = 0;    // n (r failures when censored) as a double
    double logSum = 0;   // L
    mutable double lastM = 0;
    mutable ShapeSums lastSums;
    mutable bool hasLast = false;
};

// suspended[i] = 1 marks times[i] as a suspension; empty = all failures.
ShapeProblem makeShapeProblem(std::span<const double> times, double gamma,
                              std::span<const std::uint8_t> suspended = {});

// The sums at m: the same bits as one pass in storage order.
ShapeSums shapeSums(const ShapeProblem& problem, double m);

// g(m) = n/m + L - n S1/S0.
double likelihoodEquation(const ShapeProblem& problem, double m);

// The damped iteration's step divisor: -n/m^2 - n S2/S0 + (S1/S0)^2 (steeper than g'(m)).
double likelihoodSlope(const ShapeProblem& problem, double m);

// The exact derivative g'(m) = -n/m^2 - n (S2/S0 - (S1/S0)^2).
double likelihoodDerivative(const ShapeProblem& problem, double m);

// t0 = (1/n) sum x_i^m.
double scaleFromShape(const ShapeProblem& problem, double m);

// What an iteration may consult while it runs.
struct SolveControl {
    const std::atomic<int>* stopFlag = nullptr;  // 1 = end at the next outer step
    bool stopAtFixedPoint = false;               // also end where a step changes nothing
    std::uint32_t (*readTick)() = nullptr;       // milliseconds, wrapping at 2^32
    // Shows a trial point at most every 500 ms (outer step counted from 1).
    void (*showPoint)(std::uint64_t outerStep, double m, double g) = nullptr;
};

struct SolveOutcome {
    double m;
    SolveEnding ending;
};

using ShapeFunction = std::function<double(double)>;

// Solves equation(m) = 0 from m0 by damped Newton steps; see solver.cpp for
// every way it ends. Polls the stop flag once per outer step.
SolveOutcome dampedNewton(double m0, const ShapeFunction& equation, const ShapeFunction& slope,
                          const SolveControl& control);

// Solves equation(m) = 0 from m0 by Newton steps on the exact derivative,
// kept inside a bracket of the root (equation must be strictly decreasing).
SolveOutcome bracketedNewton(double m0, const ShapeFunction& equation, const ShapeFunction& derivative,
                             const SolveControl& control);
