// The fit of one data file in the command line's output formats: the text
// block that follows the result lines, one JSON object per line, one CSV row.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/fit_quality.h"
#include "engine/fit_types.h"

// How the iteration of a fit ended, as the outputs name it.
enum class FitEnding : int {
    converged,   // "converged": converged, or g(m) exactly 0
    fixedPoint,  // "fixed point": a further step would change nothing
    stopped,     // "stopped": Stop or Ctrl-C before it ended by itself
    timeOut,     // "time-out": stopped by the --timeout clock
    bound,       // "bound": |m| grew beyond 1e154
};

// What the outputs of a fitted file are written from.
struct FitSummary {
    std::string dataFile;               // as the user gave it
    std::uint32_t n;                    // values in the sample
    RankMethod rankMethod;              // 1..4
    bool gammaSearched;                 // gamma searched (true) or typed
    FitResult result;                   // the seven results
    FitQuality quality;                 // eta, fit quality, life figures, bounds
    double confidence;                  // level of the bounds
    FitEnding ending;                   // how the iteration ended
    std::vector<std::string> warnings;  // notes on the fit, in the order shown
};

// A number of a summary by the name of its CSV column.
struct NamedNumber {
    const char* name;
    double value;
};

// The summary's numbers that can be non-finite (m .. B10_hi), in the order
// of the CSV columns.
std::vector<NamedNumber> summaryNumbers(const FitSummary& summary);

// The name of an ending in the outputs ("converged", "fixed point", ...).
const char* endingName(FitEnding ending);

// The shortest decimal text that reads back as the same double (std::to_chars
// without a precision: the same text on every platform); "" when the value is
// not finite.
std::string shortestText(double value);

// The block after the result lines: a blank line, then eta, the
// log-likelihood, r2, A2, B1, B10, B50 and the bounds, numbers as in the
// report ("% 12.8e"), '\n' line ends. Returns false on a write error.
bool writeQualityLines(std::FILE* out, const FitSummary& summary);

// One JSON object, without a line end, keys in this order: file, n, rank,
// gamma_source, m, t0, gamma, mu, xi, tm, sigma2, eta, ending,
// log_likelihood, r2, anderson_darling, b_lives {B1, B10, B50}, bounds
// {confidence, m, eta, B10 as [lo, hi]}, warnings. Non-finite numbers are
// null; bytes of the file name that are not UTF-8 become U+FFFD.
std::string summaryJson(const FitSummary& summary);

// {"file": ..., "error": {"caption": ..., "text": ...}} for a refused file.
std::string refusalJson(const std::string& dataFile, const std::string& caption, const std::string& text);

// The CSV header row and the rows of a fitted and of a refused file (every
// column empty but the file), each with a '\n' line end. The file name is
// quoted when it holds a comma, a quote or a line end (RFC 4180).
std::string csvHeader();
std::string summaryCsvRow(const FitSummary& summary);
std::string refusalCsvRow(const std::string& dataFile);
