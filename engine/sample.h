// Plotting positions, Weibull-plot coordinates and the order of the sample.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/fit_types.h"

// The times of a fit and which of them are suspensions (units still running
// when observation ended, right-censored). One convention everywhere: a mask
// entry of 1 marks a suspension, and an empty mask means every time is a
// failure. The failure count r is formed once, by makeSample.
struct Sample {
    std::vector<double> times;            // file order when read; ascending once sorted
    std::vector<std::uint8_t> suspended;  // empty, or one entry per time: 1 = suspension
    std::uint32_t failures = 0;           // r: the times that are not suspensions
};

// The sample of these times and marks (empty: all failures), with its
// failure count. A mask without a single suspension is dropped: such a
// sample is a plain one, bit for bit. At most UINT32_MAX times.
Sample makeSample(std::vector<double> times, std::vector<std::uint8_t> suspended = {});

// Sorts the sample ascending, at equal times failures before suspensions.
void sortSample(Sample& sample);

// F(i) for the 1-based rank i of n points. The rank is a double: with
// suspensions it is an adjusted rank between whole numbers; a whole i
// converts exactly, so plain samples get the very same values.
using RankFunction = double (*)(double i, std::uint32_t n);

// The four plotting positions.
double rankMeanI(double i, std::uint32_t n);      // 1: i / (n + 1)
double rankEndpoints(double i, std::uint32_t n);  // 2: (i - 1) / (n - 1)
double rankMedian(double i, std::uint32_t n);     // 3: (i - 0.3) / (n + 0.4)
double rankHazen(double i, std::uint32_t n);      // 4: (i - 0.5) / n

// The rank function of a method 1..4, or nullptr for any other value.
RankFunction rankFunctionOf(RankMethod method);

// X = ln(t - g); -inf when t == g, not a number when t < g.
double weibullPlotX(double t, double g);

// Y = ln(ln(1 / (1 - F))); -inf at F = 0, +inf at F = 1.
double weibullPlotY(double F);

// Johnson's adjusted ranks of the failures of a sorted sample (suspended[k]
// = 1 for a suspension, empty = none): walking k = 1..n, each failure gets
// j = j_prev + (n + 1 - j_prev) / (1 + (n - k + 1)), j_prev starting at 0.
// Without suspensions j = k exactly.
std::vector<double> adjustedRanks(std::span<const std::uint8_t> suspended, std::uint32_t n);

// The Weibull-plot ordinates ln ln(1/(1 - F(j))) of the failures, in order,
// with the adjusted ranks j and n as the plotting position's count.
std::vector<double> plotOrdinates(std::span<const std::uint8_t> suspended, std::uint32_t n, RankMethod method);

// Sorts the times ascending. Equal values (-0 and +0 among them) are
// interchangeable; infinities sort to the ends. Not a number must not occur
// (no reading produces one).
void sortTimes(std::span<double> times);

// Sorts times and their suspension flags together: ascending, and at equal
// times failures before suspensions.
void sortCensored(std::vector<double>& times, std::vector<std::uint8_t>& suspended);
