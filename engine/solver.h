// Maximum-likelihood shape and scale for a fixed location, and the two
// iterations that solve the likelihood equation.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>

#include "engine/fit_types.h"
#include "engine/passes.h"
#include "engine/sample.h"

// x^k by repeated squaring; k = 0 gives 1, k < 0 gives 1 / x^|k|.
double integerPower(double x, std::int32_t k);

// The likelihood in m for a fixed location: the sorted times, gamma (below
// the smallest time), the count n and L = sum ln x_i. With suspensions
// (right-censored times) n is the count r of failures and L sums over the
// failures only, while S0, S1 and S2 still run over every time: the
// equation becomes r/m + L - r S1/S0 and t0 = S0/r. The logarithms ln x_i
// are formed once (the table); each pass then costs one power per point, on
// every thread of the pool. The last pass is kept, so that the slope at the
// m the equation has just been evaluated at costs nothing.
struct ShapeProblem {
    ShapeTable table;      // ln x_i in double-double, and L
    PassPool* pool = nullptr;
    double count = 0;      // n (r failures when censored) as a double
    mutable double lastM = 0;
    mutable ShapeSums lastSums;
    mutable bool hasLast = false;
};

// The problem of the sample's times (sorted or not) at location gamma, with
// its failure count as n. The pool must outlive the problem.
ShapeProblem makeShapeProblem(const Sample& sample, double gamma, PassPool& pool);

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
    std::function<std::uint32_t()> readTick;     // milliseconds, wrapping at 2^32
    // Shows a trial point at most every 500 ms (outer step counted from 1).
    std::function<void(std::uint64_t outerStep, double m, double g)> showPoint;
    // Polled with the stop flag: true ends the iteration as a stop does (a time-out).
    std::function<bool()> timeUp;
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
