// The outputs of a run: one table of output fields, and the text block,
// JSON Lines and CSV written from it; the report input; the warnings.
//
// A field has a name (also its CSV column), its JSON key (and the JSON
// object it sits in), its place among the CSV columns, its line label in the
// text block, its place in the plot legend, and how its value is read from a
// RunOutcome. Adding a figure is one row of the table. A run's fields are
// the fixed rows plus the rows its life request makes (one per B-life, one
// bound per bounded B-life, one per time of R(t)).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "datafiles/report.h"
#include "run/calculation_run.h"

// What a field holds.
enum class FieldKind : int {
    text,         // a string ("file", "gamma_source", "ending")
    count,        // a whole number ("n", "rank", "failures", "suspensions")
    number,       // a double; non-finite: null in JSON, empty in CSV
    interval,     // [lower, upper]: two CSV columns NAME_lo and NAME_hi
    list,         // strings (JSON only)
    flag,         // true or false
    reliability,  // R(t) with [lower, upper]: an object {"t", "R", "bounds"} of a JSON
                  // array, CSV columns NAME, NAME_lo and NAME_hi
};

struct FieldValue {
    std::string text;
    std::uint64_t count = 0;
    double number = 0;
    Interval interval{};
    std::vector<std::string> list;
    bool flag = false;
    bool bounded = true;  // reliability: bounds exist (not at t <= gamma)
    double at = 0;        // reliability: the time t
};

// A run with the warnings its outputs carry.
struct FitReport {
    const RunOutcome& run;
    std::vector<std::string> warnings;  // in the order shown
};

struct OutputField {
    std::string name;  // the field's name and CSV column
    FieldKind kind;
    std::string jsonGroup;    // "" top level, else the object ("b_lives", "bounds") it is a key of
    std::string jsonKey;      // its key in that object, or "": not in JSON
    int csvPosition;          // order of its CSV column(s), or 0: not in CSV
    std::string textLabel;    // its line label in the text block, or "": not there
    std::string legendLabel;  // "LABEL = value" in the plot legend, or "": not there
    int legendPosition;       // order in the legend (the plot adds n at 4, r^2 at 5 and F at 6)
    std::function<FieldValue(const FitReport&)> value;
    int csvOrder = 0;  // order among the columns of one position (rows made from options)
};

// The fields of a run with this life request, in the order of the JSON
// object: the fixed rows and the rows the request makes; with rootGap, the
// JSON-only root_gap rows too.
std::vector<OutputField> outputFieldsOf(const LifeRequest& request, bool lifeOptionsNamed = false,
                                        bool rootGap = false);

// The fields of this run.
std::vector<OutputField> outputFieldsOf(const RunOutcome& run);

// "B" and the percentage's shortest text: B1, B10, B0.1, B63.2.
std::string bLifeName(double percent);

// The warnings about a fitted run, in the order shown: why the point reached
// is no valid fit, how the iteration
// ended when it did not end by itself, the gamma search ending at an end of
// its bracket, m <= 1, A2 undefined for a censored sample, t0 out of the
// range of a double, non-finite results, and status words read as failures.
std::vector<std::string> runWarnings(const RunOutcome& run);

// The name of a run's ending in the outputs: "converged", "fixed point",
// "stopped", "time-out", "bound".
const char* endingName(const RunOutcome& run);

// What the report of a fitted run is written from.
ReportInput reportInputOf(const RunOutcome& run);

// The block after the result lines: a blank line, each number field with a
// text label, the bounds line, each interval field with a text label;
// numbers in the report's "% 12.8e", '\n' line ends. False on a write error.
bool writeQualityLines(std::FILE* out, const FitReport& report);
std::string qualityLinesText(const FitReport& report);

// What the command line prints for a fitted run in the text format: the
// result lines (report lines 4 to 13), the quality lines, the method lines
// and the comparison table. '\n' line ends. The desktop program's Results
// window shows the same text: both front ends form it here.
std::string resultsText(const FitReport& report);

// The notes the command line writes to standard error about a fitted run,
// in order: that the iteration settled on a fixed point, then the warnings.
std::vector<std::string> runNotes(const FitReport& report);

// The lines of the optional methods after the quality lines (the shape
// method, the likelihood location's standard error and bounds); "" for a
// run that asked for neither.
std::string methodLinesText(const RunOutcome& run);

// The ranked distributions as a text table after a blank line; "" without
// a comparison or after a stopped one (no ranking: the warnings say why).
std::string comparisonTableText(const RunOutcome& run);

// One JSON object without a line end, keys in table order. Non-finite
// numbers are null; bytes of the file name that are not UTF-8 become U+FFFD.
// Runs that asked for them also carry "shape_method", "gamma_se",
// "bounds"."gamma" and "compare" (the ranked fits, best first); a stopped
// comparison gives "compare_ending" ("stopped" or "time-out") instead.
std::string reportJson(const FitReport& report);

// {"file": ..., "error": {"caption": ..., "text": ..., "cause": ...}}.
std::string refusalJson(const RunOutcome& run);

// The CSV header row and the rows of a fitted and of a refused file (every
// column empty but the file), each with a '\n' line end.
std::string csvHeader(const LifeRequest& request = LifeRequest{});
std::string reportCsvRow(const FitReport& report);
std::string refusalCsvRow(const RunOutcome& run);
