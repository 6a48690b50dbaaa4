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
//
// How the sums are formed:
// - storageOrder: x_i^m in storage order, the desktop program's sums and
//   digits (the damped iteration, the tests' plain loops);
// - scaledBlocks: u_i = x_i / x_max and L' = L - n ln x_max, in blocks
//   (blockedShapeSums), for Newton's method. The equation
//   n/m + L' - n S1'/S0' and its derivative are exactly those of the x_i,
//   so the root is the same whatever the unit of the times, and no sum
//   overflows however large m grows (every u^m <= 1).
enum class ShapeSumOrder : int { storageOrder = 0, scaledBlocks = 1 };

struct ShapeProblem {
    ShapeTable table;  // ln x_i in double-double, and L
    PassPool* pool = nullptr;
    double count = 0;  // n (r failures when censored) as a double
    ShapeSumOrder order = ShapeSumOrder::storageOrder;
    double maxX = 1;     // scaledBlocks: the largest x (1 where its log is not finite)
    LogScale logMaxX;    // its table entry ({0, 0} with maxX = 1)
    double scaledL = 0;  // L - n ln maxX, rounded once
    mutable double lastM = 0;
    mutable ShapeSums lastSums;
    mutable bool hasLast = false;
};

// The problem of the sample's times (sorted or not) at location gamma, with
// its failure count as n. The pool must outlive the problem.
ShapeProblem makeShapeProblem(const Sample& sample, double gamma, PassPool& pool,
                              ShapeSumOrder order = ShapeSumOrder::storageOrder);

// The sums at m: storageOrder, the same bits as one pass in storage order;
// scaledBlocks, the sums of the u_i.
ShapeSums shapeSums(const ShapeProblem& problem, double m);

// True when the sums are finite and S0 is a normal double (> 0, no digits
// lost to underflow): the equation, t0 and the statistics are then formed
// from numbers, not from an overflow or an underflow. The sums
// in storage order overflow once x_max^m passes the range of a double (m
// above about 51 for times near 10^6): the damped iteration's results are
// then no fit. Costs nothing after a pass at the same m.
bool sumsInRange(const ShapeSums& sums);

// True when the damped iteration's point m was held by an overflow, not by
// the root: the sums at m are out of range, the equation or the step
// divisor there is not finite (n S2 overflowing makes every step 0), or the
// full step from m lands where the sums are out of range (it then creeps up
// to the edge of the range and rests there, m far below the root). False
// at a root of the equation. One pass more at the most.
bool heldByOverflow(const ShapeProblem& problem, double m);

// g(m) = n/m + L - n S1/S0.
double likelihoodEquation(const ShapeProblem& problem, double m);

// The damped iteration's step divisor: -n/m^2 - n S2/S0 + (S1/S0)^2 (steeper than g'(m)).
double likelihoodSlope(const ShapeProblem& problem, double m);

// The exact derivative g'(m) = -n/m^2 - n (S2/S0 - (S1/S0)^2).
double likelihoodDerivative(const ShapeProblem& problem, double m);

// t0 = (1/n) sum x_i^m; with scaledBlocks (S0'/n) x_max^m.
double scaleFromShape(const ShapeProblem& problem, double m);

// eta = t0^(1/m), formed without t0: x_max (S0'/n)^(1/m) (x_max = 1 for
// storageOrder). Finite where t0 = eta^m over- or underflows.
double scaleParameter(const ShapeProblem& problem, double m);

// True when t0 is a normal double (and no overflow or underflow took its digits).
bool scaleInRange(double t0);

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

// True when the stop flag is 1 or the time-out clock says the time is up
// (the flag first: a time-out is only consulted while no Stop is pending).
bool stopRequested(const SolveControl& control);

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
// Converged means a point with a finite g next to a change of sign of g
// between two finite values; a bracket whose high side is a not-a-number
// edge ends as bound, at its low end.
SolveOutcome bracketedNewton(double m0, const ShapeFunction& equation, const ShapeFunction& derivative,
                             const SolveControl& control);
