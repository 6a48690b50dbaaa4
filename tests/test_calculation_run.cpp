// The calculation run: on the desktop program's record (the refusals, the
// results shown, Stop before the solve, what happens to the sample), as a
// plain function with the causes of its refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "datafiles/number_format.h"
#include "engine/pass_pool.h"
#include "engine/rank_regression.h"
#include "run/analysis_state.h"
#include "run/calculation_run.h"
#include "run/run_outputs.h"
#include "tests/recording_front_end.h"
#include "tests/test_support.h"

namespace {

const std::string readError = "Read data error: Invalid data type";
const std::string gammaError = "Parameter error: Invalid gamma";

// Writes `bytes` to a data file (nullptr: a path with no file).
std::string dataFile(const char* bytes) {
    return bytes == nullptr ? uniqueTempPath("no such file.dat") : tempFileWith("run.dat", bytes);
}

class CalculationRun : public ::testing::Test {
protected:
    RecordingFrontEnd recording;
    Refusal refusal;

    void SetUp() override { resetAnalysisState(); }
    void TearDown() override { resetAnalysisState(); }

    // Sets the inputs as the dialog would and runs as its worker does.
    void run(const char* bytes, bool autoGamma, double gamma = 0, double initialM = 1, int stop = 0) {
        recording = RecordingFrontEnd();
        refusal = runOnTheRecord({dataFile(bytes), 3, autoGamma, gamma, initialM, ShapeSolver::damped, stop},
                                 recording);
    }

    void expectRefused(const std::string& error) {
        EXPECT_EQ(refusal.caption + ": " + refusal.text, error);
        EXPECT_EQ(recording.resultWrites, 0);
        EXPECT_EQ(analysisState.sampleLoaded, 0);
        EXPECT_TRUE(analysisState.lastRun.sample.times.empty());
    }
};

// The seven results in order and the sample kept; Stop before the solve
// shows the initial shape; a file that cannot be opened then discards the
// sample and leaves the results shown.
TEST_F(CalculationRun, ResultsShownAndSampleKept) {
    run("35\n10\n20\n", true);
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
    EXPECT_EQ(analysisState.lastRun.sample.times, (std::vector<double>{10, 20, 35}));
    run("10\n20\n35\n47\n", false, 2, 1.75, 1);
    EXPECT_EQ(analysisState.result.m, 1.75);
    EXPECT_EQ(recording.resultWrites, 7);
    EXPECT_EQ(analysisState.sampleLoaded, 1);
    EXPECT_EQ(analysisState.lastRun.ending, SolveEnding::stopped);
    const FitResult before = analysisState.result;
    run(nullptr, false, before.gamma);
    expectRefused(readError);
    EXPECT_EQ(std::memcmp(&before, &analysisState.result, sizeof before), 0);
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
            EXPECT_EQ(refusal.kind, RefusalKind::none);
            EXPECT_EQ(analysisState.sampleLoaded, 1);
        } else {
            expectRefused(row.error);
        }
    }
}

// Each refusal names its real cause for the command line. A point the
// iteration reached that is no Weibull fit is shown, never as one: a
// negative shape (the damped iteration on a small sample of low shape), and
// an iteration that came to rest where larger shapes overflow.
TEST(RunFunction, RefusalCausesAndPointsThatAreNoFit) {
    const char* const large = "990000\n1000000\n1010000\n1005000\n995000\n";
    const ShapeSolver damped = ShapeSolver::damped, newton = ShapeSolver::newton;
    const struct {
        const char* bytes;  // nullptr: no such file
        bool censored, autoGamma, refuseZeroSpread;
        double gamma;
        ShapeSolver solver;
        RefusalKind kind;
        const char* cause;  // the refusal's, or the start of the point's that is no fit
        bool bySums;
    } rows[] = {
        {nullptr, false, true, false, 0, damped, RefusalKind::cannotOpen, "the file cannot be opened", false},
        {"1\n2\n", false, true, false, 0, damped, RefusalKind::tooFewValues, "fewer than 3 values (2)", false},
        {"1\n2 S\n3\n4 S\n", true, true, false, 0, damped, RefusalKind::tooFewFailures,
         "fewer than 3 failures (2 of 4 values)", false},
        {"0\n2\n3\n", false, true, false, 0, damped, RefusalKind::searchedNotBelow,
         "the smallest time is 0: the location must lie below it; type a negative gamma with -g", false},
        {"4\n2.5\n3\n", false, false, false, 2.5, damped, RefusalKind::gammaNotBelow,
         "the typed gamma 2.5 is not below the smallest time 2.5", false},
        {"7\n7\n7\n9 S\n", true, true, true, 0, damped, RefusalKind::zeroSpread,
         "all failure times are equal: there is no Weibull fit to zero spread", false},
        // The desktop program fits it (and rests where x^m overflows).
        {"7\n7\n7\n", false, true, false, 0, damped, RefusalKind::none, "the iteration came to rest at m = 362.9",
         true},
        {"5\n7\n7\n7\n", false, true, true, 0, damped, RefusalKind::none, "", false},  // only the first differs
        {"0.5\n0.001\n0.002\n", false, false, false, 0, damped, RefusalKind::none,
         "m = -0.5288902418096852 is not a positive finite shape", false},
        {"0.5\n0.001\n0.002\n", false, false, false, 0, newton, RefusalKind::none, "", false},
        {large, false, false, false, 0, damped, RefusalKind::none,
         "the iteration came to rest at m = 50.758244020073455, short of the root", true},
        {large, false, false, false, 0, newton, RefusalKind::none, "", false},  // scaled sums: m = 158.182051083
    };
    for (const auto& row : rows) {
        const RunOutcome run = runWith({.path = dataFile(row.bytes),
                                        .autoGamma = row.autoGamma,
                                        .gamma = row.gamma,
                                        .solver = row.solver,
                                        .censored = row.censored,
                                        .refuseZeroSpread = row.refuseZeroSpread});
        EXPECT_EQ(run.refusal.kind, row.kind) << row.cause;
        EXPECT_EQ(fitted(run) ? run.invalidCause.substr(0, std::strlen(row.cause)) : run.refusal.cause, row.cause);
        EXPECT_EQ(validFit(run), fitted(run) && row.cause[0] == '\0') << row.cause;
        EXPECT_EQ(run.invalidBySums, row.bySums) << row.cause;
    }
}

// A shape beyond the range of x^m in the unit of the times (m = 158 for
// times near 10^6): Newton's run finds the root of every unit; t0 = eta^m
// overflows and says so, and the statistics follow eta in the times' unit.
TEST(RunFunction, LargeShapeInAnyUnit) {
    RunOutcome runs[2];
    for (const double unit : {1.0, 1e6}) {
        runs[unit == 1 ? 0 : 1] = runWith({.autoGamma = false,
                                           .solver = ShapeSolver::newton,
                                           .times = {0.99 * unit, 1 * unit, 1.01 * unit, 1.005 * unit, 0.995 * unit}});
    }
    const FitResult &one = runs[0].result, &mega = runs[1].result;
    EXPECT_NEAR(one.m, 158.182051083, 1e-9);
    EXPECT_TRUE(std::isfinite(one.t0) && std::isinf(mega.t0));
    // {unit 1, unit 10^6, their ratio, relative tolerance}; sigma2 loses five
    // digits to G(1 + 2/m) - G(1 + 1/m)^2 at m = 158.
    const double rows[][4] = {{one.m, mega.m, 1, 1e-11},
                              {one.mu, mega.mu, 1e6, 1e-11},
                              {one.tm, mega.tm, 1e6, 1e-11},
                              {one.sigma2, mega.sigma2, 1e12, 1e-9},
                              {runs[0].quality.b10, runs[1].quality.b10, 1e6, 1e-11}};
    for (const auto& p : rows) EXPECT_NEAR(p[1] / (p[0] * p[2]), 1, p[3]) << &p - rows;
    const std::string note = "t0 = eta^m is out of the range of a double and prints as inf or 0: use eta";
    const std::vector<std::string> plain = runWarnings(runs[0]), overflow = runWarnings(runs[1]);
    EXPECT_EQ(std::count(plain.begin(), plain.end(), note), 0);
    EXPECT_EQ(std::count(overflow.begin(), overflow.end(), note), 1);
}

}  // namespace

// The model options through the run: the location is the profile's maximum
// (or the curvature's where it has none), rank regression on x gives m and
// t0 at it, and the comparison holds every family.
TEST(RunFunction, ModelOptions) {
    struct Row {
        double m, gamma;
        LikelihoodLocation expected;
    };
    for (const Row row : {Row{3.2, 25, LikelihoodLocation::maximum}, Row{0.8, 10, LikelihoodLocation::noMaximum}}) {
        SCOPED_TRACE(testing::Message() << "m = " << row.m);
        RunInputs in;
        in.given = true;
        in.sample = makeSample(weibullQuantiles(30, row.m, 60, row.gamma));
        in.solver = ShapeSolver::newton;
        FrontEnd quiet;
        const double curvatureGamma = runCalculation(in, quiet).result.gamma;
        in.gammaMethod = GammaMethod::mle;
        in.shapeMethod = ShapeMethod::rrx;
        in.compare = true;
        const RunOutcome run = runCalculation(in, quiet);
        PassPool pool(1);
        const LocationProfile profile = maximizeLocationProfile(run.sample, pool);
        ASSERT_EQ(run.likelihoodLocation, row.expected);
        const double gamma = row.expected == LikelihoodLocation::maximum ? profile.gamma : curvatureGamma;
        EXPECT_EQ(run.result.gamma, gamma);
        EXPECT_EQ(run.result.m, rankRegression(run.sample, gamma, 1, RegressionAxis::xOnY).m);
        EXPECT_EQ(std::isfinite(run.gammaStandardError), row.expected == LikelihoodLocation::maximum);
        EXPECT_EQ(run.comparison.size(), static_cast<std::size_t>(distributionCount));
    }
}
