// The calculation run through the recording front end: the two refusals,
// the results shown, Stop before the solve, and what happens to the sample.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
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
    void SetUp() override {
        resetAnalysisState();
        resetRecording();
    }
    void TearDown() override { resetAnalysisState(); }

    // Writes `bytes` to a data file and sets the inputs as the dialog would.
    void prepare(const char* bytes, RankMethod method, bool autoGamma, double gamma = 0, double initialM = 1) {
        const std::string path = uniqueTempPath("run.dat");
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(bytes, f);
        std::fclose(f);
        std::snprintf(analysisState.dataFilePath, sizeof analysisState.dataFilePath, "%s", path.c_str());
        analysisState.rankMethod = method;
        analysisState.autoGamma = autoGamma ? 1 : 0;
        analysisState.result.gamma = gamma;
        analysisState.initialM = initialM;
        analysisState.stopFlag.store(0);
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
    prepare("35\n10\n20\n", 1, true);
    runCalculation();
    EXPECT_TRUE(recording.errors.empty());
    EXPECT_EQ(recording.doneCount, 1);
    EXPECT_EQ(recording.resultWrites, 7);
    const FitResult& r = analysisState.result;
    const double values[7] = {r.m, r.t0, r.gamma, r.mu, r.xi, r.tm, r.sigma2};
    for (int i = 0; i < 7; ++i) {
        char text[numberTextSize];
        formatScreenNumber(values[i], text);
        EXPECT_EQ(recording.results[i], text) << "field " << i;
        EXPECT_EQ(recording.results[i].size(), 12u) << "field " << i;
    }
    // The sample stays, sorted, for the report.
    ASSERT_EQ(analysisState.sampleLoaded, 1);
    EXPECT_EQ(analysisState.sample[0], 10);
    EXPECT_EQ(analysisState.sample[2], 35);
    EXPECT_EQ(analysisState.solveEnding, SolveEnding::converged);
}

TEST_F(CalculationRun, TooFewValuesAreRefused) {
    for (const char* bytes : {"", "heading only\n", "1\n", "1.5\n2.5\n"}) {
        resetRecording();
        prepare(bytes, 1, true);
        runCalculation();
        SCOPED_TRACE(bytes);
        expectRefused(readError);
    }
}

TEST_F(CalculationRun, UnopenableFileDiscardsTheEarlierSample) {
    prepare("10\n20\n35\n", 1, true);
    runCalculation();
    ASSERT_EQ(analysisState.sampleLoaded, 1);
    const FitResult before = analysisState.result;
    resetRecording();
    std::snprintf(analysisState.dataFilePath, sizeof analysisState.dataFilePath, "%s/%s",
                  ::testing::TempDir().c_str(), "no such file.dat");
    runCalculation();
    expectRefused(readError);
    EXPECT_EQ(std::memcmp(&before, &analysisState.result, sizeof before), 0);
}

TEST_F(CalculationRun, GammaMustLieBelowTheSmallestValue) {
    const struct {
        double gamma;
        bool accepted;
    } rows[] = {{10, false}, {11, false}, {std::nextafter(10.0, 0.0), true}, {-50, true}, {0, true}};
    for (const auto& row : rows) {
        resetRecording();
        prepare("35\n10\n20\n", 1, false, row.gamma);
        runCalculation();
        SCOPED_TRACE(row.gamma);
        if (row.accepted) {
            EXPECT_TRUE(recording.errors.empty());
            EXPECT_EQ(analysisState.result.gamma, row.gamma);
            EXPECT_EQ(analysisState.sampleLoaded, 1);
        } else {
            expectRefused(gammaError);
        }
    }
}

TEST_F(CalculationRun, SearchedGammaAtAZeroSmallestValueIsRefused) {
    prepare("1.5\n0\n2.5\n3.5\n", 1, true, 123);
    runCalculation();
    expectRefused(gammaError);
    EXPECT_EQ(analysisState.result.gamma, 0);  // the searched value is kept
}

TEST_F(CalculationRun, StopBeforeTheSolveUsesTheInitialShape) {
    prepare("10\n20\n35\n47\n", 3, false, 2, 1.75);
    analysisState.stopFlag.store(1);
    runCalculation();
    EXPECT_EQ(analysisState.result.m, 1.75);
    EXPECT_EQ(recording.resultWrites, 7);
    EXPECT_EQ(analysisState.sampleLoaded, 1);
    EXPECT_EQ(analysisState.solveEnding, SolveEnding::stopped);
}

}  // namespace
