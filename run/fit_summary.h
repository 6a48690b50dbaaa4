// The figures of the last run for the command line's outputs.
#pragma once

#include <cstdint>
#include <span>

#include "datafiles/result_formats.h"

// Summarizes the run in analysisState (data file, sorted sample, rank
// method, gamma source, results, how the iteration ended) with the
// fit-quality figures at `confidence` and the warnings about the fit: the
// gamma search ended at an end of its bracket, m <= 1, A2 undefined for a
// censored sample, non-finite results.
// Precondition: runCalculation() fitted the sample (it was not refused).
// `timedOut`: a stop came from the time-out clock rather than from Stop.
// Suspensions of a censored run count as such (the record's suspended flags).
FitSummary summarizeLastRun(double confidence, bool timedOut);
