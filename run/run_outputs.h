// The outputs of a run: one table of output fields, and the text block,
// JSON Lines and CSV written from it; the report input; the warnings.
//
// A field has a name (also its CSV column), its JSON key (and the JSON
// object it sits in), its place among the CSV columns, its line label in the
// text block, its place in the plot legend, and how its value is read from a
// RunOutcome. Adding a figure is one row of the table.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "datafiles/report.h"
#include "run/calculation_run.h"

// What a field holds.
enum class FieldKind : int {
    text,      // a string ("file", "gamma_source", "ending")
    count,     // a whole number ("n", "rank", "failures", "suspensions")
    number,    // a double; non-finite: null in JSON, empty in CSV
    interval,  // [lower, upper]: two CSV columns NAME_lo and NAME_hi
    list,      // strings (JSON only)
    flag,      // true or false
};

struct FieldValue {
    std::string text;
    std::uint64_t count = 0;
    double number = 0;
    Interval interval{};
    std::vector<std::string> list;
    bool flag = false;
};

// A run with the warnings its outputs carry.
struct FitReport {
    const RunOutcome& run;
    std::vector<std::string> warnings;  // in the order shown
};

struct OutputField {
    const char* name;         // the field's name and CSV column
    FieldKind kind;
    const char* jsonGroup;    // "" top level, else the object ("b_lives", "bounds") it is a key of
    const char* jsonKey;      // its key in that object, or nullptr: not in JSON
    int csvPosition;          // order of its CSV column(s), or 0: not in CSV
    const char* textLabel;    // its line label in the text block, or nullptr: not there
    const char* legendLabel;  // "LABEL = value" in the plot legend, or nullptr: not there
    int legendPosition;       // order in the legend (the plot adds n at 4, r^2 at 5 and F at 6)
    FieldValue (*value)(const FitReport&);
};

// Every output field, in the order of the JSON object.
const std::vector<OutputField>& outputFields();

// The field of this name, or nullptr.
const OutputField* findOutputField(const char* name);

// The warnings about a fitted run, in the order shown: why the point reached
// is no valid fit, how the iteration
// ended when it did not end by itself, the gamma search ending at an end of
// its bracket, m <= 1, A2 undefined for a censored sample, non-finite
// results, and status words read as failures.
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

// The lines of the optional methods after the block (the shape method,
// the likelihood location's standard error and bounds); nothing for a run
// that asked for neither. False on a write error.
bool writeMethodLines(std::FILE* out, const RunOutcome& run);

// The ranked distributions as a text table after a blank line; nothing
// without a comparison. False on a write error.
bool writeComparisonTable(std::FILE* out, const RunOutcome& run);

// One JSON object without a line end, keys in table order. Non-finite
// numbers are null; bytes of the file name that are not UTF-8 become U+FFFD.
// Runs that asked for them also carry "shape_method", "gamma_se",
// "bounds"."gamma" and "compare" (the ranked fits, best first).
std::string reportJson(const FitReport& report);

// {"file": ..., "error": {"caption": ..., "text": ..., "cause": ...}}.
std::string refusalJson(const RunOutcome& run);

// The CSV header row and the rows of a fitted and of a refused file (every
// column empty but the file), each with a '\n' line end.
std::string csvHeader();
std::string reportCsvRow(const FitReport& report);
std::string refusalCsvRow(const RunOutcome& run);
