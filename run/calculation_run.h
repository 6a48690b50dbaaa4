// One whole calculation: data file to the seven results.
#pragma once

// Reads analysisState.dataFilePath, sorts, fixes gamma, solves m, derives t0
// and the statistics, and shows the results through the front end. Ends with
// reportRunDone() on every path. Preconditions: initialM > 0, rankMethod
// 1..4, stopFlag 0.
void runCalculation();

// Formats the seven results for the screen and hands them to the front end.
void showResults();
