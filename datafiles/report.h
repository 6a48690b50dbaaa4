// The result report and the result lines shared with the command line.
#pragma once

#include <cstdio>

// Writes the data file, rank method and seven result lines (report lines 4
// to 13) with plain '\n' line ends; returns false on a write error.
bool writeResultLines(std::FILE* out);

// Writes the report for analysisState to analysisState.reportFilePath with
// CR LF line ends. Returns true only when the whole file was written and
// closed without error.
bool writeReport();
