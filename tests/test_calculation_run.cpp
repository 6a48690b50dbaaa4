// The calculation run through the recording front end: the two refusals,
// the results shown, Stop before the solve, and what happens to the sample.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "datafiles/number_format.h"
#include "run/analysis_state.h"
#include "run/calculation_run.h"
#include "tests/recording_front_end.h"
#include "tests/test_support.h"

namespace {

const std::string readError = "Read data error: Invalid data type";
const std::string gammaError = "Parameter error: Invalid gamma";

class CalculationRun : public ::testing::Test {
protected:
    void SetUp() override { resetAnalysisState(); }
    void TearDown() override { resetAnalysisState(); }

    // Writes `bytes` to a data file (nullptr: a file that does not exist), sets
    // the inputs as the dialog would and runs.
    void run(const char* bytes, bool autoGamma, double gamma = 0, double initialM = 1, int stop = 0) {
        const std::string path = uniqueTempPath(bytes == nullptr ? "no such file.dat" : "run.dat");
        if (bytes != nullptr) std::ofstream(path, std::ios::binary) << bytes;
        runWith({path, 3, autoGamma, gamma, initialM, ShapeSolver::damped, stop});
    }

    void expectRefused(const std::string& error) {
        EXPECT_EQ(recording.errors, std::vector<std::string>{error});
        EXPECT_EQ(recording.doneCount, 1);
        EXPECT_EQ(recording.resultWrites, 0);
        EXPECT_EQ(analysisState.sampleLoaded, 0);
        EXPECT_TRUE(analysisState.sample.empty());
    }
};

TEST_F(CalculationRun, ShowsTheSevenResultsInOrder) {
    run("35\n10\n20\n", true);
    EXPECT_EQ(recording.doneCount, 1);
    EXPECT_EQ(recording.resultWrites, 7);
    const FitResult& r = analysisState.result;
    const double values[7] = {r.m, r.t0, r.gamma, r.mu, r.xi, r.tm, r.sigma2};
    for (int i = 0; i < 7; ++i) {
        char text[numberTextSize];
        formatScreenNumber(values[i], text);
        EXPECT_EQ(recording.results[i], text) << "field " << i;
    }
    // The sample stays, sorted, for the report.
    EXPECT_EQ(analysisState.sampleLoaded, 1);
    EXPECT_EQ(analysisState.sample, (std::vector<double>{10, 20, 35}));
}

TEST_F(CalculationRun, RefusalsAndTheGammaLeft) {
    const double belowTen = std::nextafter(10.0, 0.0);
    const std::string accepted;
    const struct {
        const char* bytes;
        bool autoGamma;
        double gamma, gammaAfter;
        const std::string& error;
    } rows[] = {
        {"", true, 0, 0, readError},
        {"1.5\n2.5\n", true, 0, 0, readError},
        {"35\n10\n20\n", false, 10, 10, gammaError},  // gamma must lie below the smallest value
        {"35\n10\n20\n", false, 11, 11, gammaError},
        {"35\n10\n20\n", false, belowTen, belowTen, accepted},
        {"1.5\n0\n2.5\n3.5\n", true, 123, 0, gammaError},  // the searched gamma is left
    };
    for (const auto& row : rows) {
        run(row.bytes, row.autoGamma, row.gamma);
        SCOPED_TRACE(std::string(row.bytes) + " gamma " + std::to_string(row.gamma));
        EXPECT_EQ(analysisState.result.gamma, row.gammaAfter);
        if (row.error.empty()) {
            EXPECT_TRUE(recording.errors.empty());
            EXPECT_EQ(analysisState.sampleLoaded, 1);
        } else {
            expectRefused(row.error);
        }
    }
}

TEST_F(CalculationRun, UnopenableFileDiscardsTheEarlierSample) {
    run("10\n20\n35\n", true);
    ASSERT_EQ(analysisState.sampleLoaded, 1);
    const FitResult before = analysisState.result;
    run(nullptr, false, before.gamma);
    expectRefused(readError);
    EXPECT_EQ(std::memcmp(&before, &analysisState.result, sizeof before), 0);
}

TEST_F(CalculationRun, StopBeforeTheSolveUsesTheInitialShape) {
    run("10\n20\n35\n47\n", false, 2, 1.75, 1);
    EXPECT_EQ(analysisState.result.m, 1.75);
    EXPECT_EQ(recording.resultWrites, 7);
    EXPECT_EQ(analysisState.sampleLoaded, 1);
    EXPECT_EQ(analysisState.solveEnding, SolveEnding::stopped);
}

}  // namespace
