// The calculation run: the body of the worker thread (or of the command
// line's single call). It reaches the screen only through the front-end seam.
#include "engine/calculation_run.h"

#include <cstdlib>
#include <cstring>

#include "datafiles/data_file.h"
#include "datafiles/number_format.h"
#include "engine/analysis_state.h"
#include "engine/front_end.h"
#include "engine/gamma_search.h"
#include "engine/sample.h"
#include "engine/solver.h"
#include "engine/statistics.h"

namespace {

// A run needs at least three failure times to fit three parameters.
constexpr std::uint32_t minimumSampleSize = 3;

// Drops the sample, shows the error and ends the run.
void refuseRun(const char* text, const char* caption) {
    releaseSample();
    showRunError(text, caption);
    reportRunDone();
}

// Replaces the held sample with the values of the data file; false when the
// file cannot be read or the values cannot be held.
bool loadSample(const char* path) {
    releaseSample();
    const DataFileContents contents = readDataFile(path, false);
    if (!contents.opened) return false;
    const std::size_t n = contents.times.size();
    // One element at least, so that an empty sample is still a held block.
    void* block = std::malloc((n == 0 ? 1 : n) * sizeof(double));
    if (block == nullptr) return false;
    if (n > 0) std::memcpy(block, contents.times.data(), n * sizeof(double));
    analysisState.sample.t = static_cast<double*>(block);
    analysisState.sample.n = static_cast<std::uint32_t>(n);
    analysisState.sampleLoaded = 1;
    return true;
}

}  // namespace

void showResults() {
    const FitResult& r = analysisState.result;
    const double values[7] = {r.m, r.t0, r.gamma, r.mu, r.xi, r.tm, r.sigma2};
    for (int index = 0; index < 7; ++index) {
        char text[numberTextSize];
        formatScreenNumber(values[index], text);
        showResultText(index, text);
    }
}

void runCalculation() {
    Sample& sample = analysisState.sample;
    if (!loadSample(analysisState.dataFilePath)) sample.n = 0;
    if (sample.n < minimumSampleSize) {
        refuseRun("Invalid data type", "Read data error");
        return;
    }
    std::qsort(sample.t, sample.n, sizeof(double), compareTimes);

    FitResult& r = analysisState.result;
    if (analysisState.autoGamma == 1) {
        r.gamma = searchGamma();
    }
    // Every reduced time t_i - gamma must be positive; written so that a NaN
    // gamma is refused as well.
    if (!(r.gamma < sample.t[0])) {
        refuseRun("Invalid gamma", "Parameter error");
        return;
    }

    r.m = dampedNewton(analysisState.initialM, likelihoodEquation, likelihoodSlope);
    r.t0 = scaleFromShape(r.m);
    computeStatistics();
    showResults();
    reportRunDone();
}
