// One whole calculation: data file to the seven results.
#pragma once

#include "datafiles/report.h"

// Reads analysisState.dataFilePath, sorts, fixes gamma, solves m, derives t0
// and the statistics, and shows the results through the front end. Ends with
// reportRunDone() on every path. Preconditions: initialM > 0, rankMethod
// 1..4, stopFlag 0.
void runCalculation();

// What a report of the last run is written from (the record's sample,
// inputs and results).
ReportInput currentReport();

// Formats the seven results for the screen and hands them to the front end.
void showResults();
