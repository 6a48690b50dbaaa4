// The result report and the result lines shared with the command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "engine/fit_types.h"
#include "engine/sample.h"

// What a report is written from.
struct ReportInput {
    const char* dataFilePath;  // as the user gave it
    RankMethod rankMethod;     // 1..4
    FitResult result;          // the seven results
    const Sample& sample;      // sorted ascending, with its suspensions
    bool censored = false;     // a censored run: the report says r/n
};

// The report label of a method 1..4 ("i/(n+1)", ...), or "" for any other.
const char* rankLabelOf(RankMethod method);

// Writes the data file, rank method and seven result lines (report lines 4
// to 13) with plain '\n' line ends; returns false on a write error.
bool writeResultLines(std::FILE* out, const ReportInput& input);

// The same lines as a string ('\n' line ends).
std::string resultLinesText(const ReportInput& input);

// Writes the report to `path` with CR LF line ends. Returns true only when
// the whole file was written and closed without error.
bool writeReport(const char* path, const ReportInput& input);
