// The command line's output formats: the warnings of a fit, shortest number
// texts, CSV quoting, and a golden file of all three formats (which pins
// every field, its column and key, and non-finite values as null and empty).
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "datafiles/report.h"
#include "datafiles/result_formats.h"
#include "run/run_outputs.h"
#include "tests/recording_front_end.h"
#include "tests/test_support.h"

namespace {

using Json = nlohmann::ordered_json;
const double nan = std::numeric_limits<double>::quiet_NaN();

// Fits `bytes` through the run layer, as one file of the command line does.
RunOutcome fit(const char* bytes, RankMethod method, bool autoGamma) {
    RunOutcome run = runWith({tempFileWith("formats.dat", bytes), method, autoGamma});
    run.dataFile = "sample.dat";
    return run;
}

const char* const inputs[] = {
    "11\n12.5\n13\n14\n16\n18\n19\n21\n23\n26\n28\n30\n31\n35\n40\n55\n",
    "0.5\n3\n9\n16\n22\n27\n31\n34\n36.5\n38.5\n40\n41.2\n42.2\n",
};

// The fits of the golden file below pin the lower-end warning and a fit
// without warnings.
TEST(ResultFormats, WarningsOfAFit) {
    const std::string upper = "the gamma search ended at its upper end (gamma = 0.99 x the smallest value)";
    const std::string lowM = "m <= 1: the density has no maximum at t > gamma, and gamma is not a likelihood estimate";
    const std::string censored = "anderson_darling is not defined for a censored sample";
    // Away from the estimate (m set by hand) -H is not positive definite: no bounds.
    const std::string noBounds = "non-finite result: m_lo, m_hi, eta_lo, eta_hi, B10_lo, B10_hi";
    const std::vector<std::uint8_t> none, mask = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1}, middle = {0, 1, 0};
    const struct {
        const char* bytes;
        RankMethod method;
        bool autoGamma;
        double m;                                    // 0: as fitted
        const std::vector<std::uint8_t>& suspended;  // empty: no suspensions
        std::vector<std::string> expected;
    } rows[] = {
        {inputs[1], 1, false, 0, none, {}},
        {"100\n100.1\n100.2\n101\n103\n110\n130\n200\n", 1, true, 0, none, {upper, lowM}},
        {"1\n2\n5\n20\n100\n400\n", 1, false, 0, none, {lowM}},
        {inputs[0], 1, true, 1, none, {lowM, noBounds}},
        {inputs[0], 1, true, 1.0000000000000002, none, {noBounds}},
        {"1\n2\n3\n", 2, false, 0, none, {"non-finite result: r2"}},
        {inputs[0], 1, true, 0, mask, {censored}},
        {"1\n2\n3\n", 2, false, 0, middle, {censored, "non-finite result: r2"}},
    };
    for (const auto& row : rows) {
        RunOutcome run = fit(row.bytes, row.method, row.autoGamma);
        if (row.m != 0) run.result.m = row.m;
        run.sample = makeSample(run.sample.times, row.suspended);
        const FitResult& r = run.result;
        run.quality = computeFitQuality({run.sample, r.gamma, r.m, r.t0, row.method, 0.9});
        run.lifeFigures = computeLifeFigures(
            {run.sample, r.gamma, r.m, r.t0, run.quality.eta, run.quality.covariance, 0.9, run.life});
        EXPECT_EQ(runWarnings(run), row.expected) << row.bytes << " m " << row.m;
    }
}

// Not a number and the infinities give "": the golden file's last CSV row;
// the shortest digits of the ordinary figures (0.9, 17-digit ones): its JSON.
TEST(ResultFormats, ShortestTexts) {
    const struct {
        double value;
        const char* text;
    } rows[] = {
        {100, "100"},
        {-0.0, "-0"},
        {1e21, "1e+21"},
        {5e-324, "5e-324"},
        {1.7976931348623157e308, "1.7976931348623157e+308"},
        {123456.5, "123456.5"},
    };
    for (const auto& row : rows) EXPECT_EQ(shortestText(row.value), row.text) << row.text;
}

TEST(ResultFormats, FileNamesQuotedInCsvAndValidInJson) {
    const std::string tail(27, ',');  // the empty columns after the file name
    const struct {
        const char* file;
        std::string row;
    } rows[] = {
        {"plain.dat", "plain.dat" + tail + "\n"},
        {"a,b.dat", "\"a,b.dat\"" + tail + "\n"},
        {"say \"x\".dat", "\"say \"\"x\"\".dat\"" + tail + "\n"},
        {"q\",.dat", "\"q\"\",.dat\"" + tail + "\n"},
        {"=cmd|x.dat", "'=cmd|x.dat" + tail + "\n"},
        {"@a,b", "\"'@a,b\"" + tail + "\n"},
    };
    RunOutcome refused;
    for (const auto& row : rows) {
        refused.dataFile = row.file;
        EXPECT_EQ(refusalCsvRow(refused), row.row);
    }
    // A name that is not UTF-8 still gives valid JSON.
    refused.dataFile = "caf\xe9.dat";
    const Json json = Json::parse(refusalJson(refused));
    EXPECT_EQ(json.at("file").get<std::string>(), "caf\xef\xbf\xbd.dat");
}

// All three formats of two fits (the text output is the result lines and the
// quality block), against a golden file written on one platform: the same
// text, keys in the same order, must come out on every other.
TEST(ResultFormats, SameTextOnEveryPlatform) {
    std::string results = csvHeader();
    for (const char* input : inputs) {
        const RunOutcome run = fit(input, 1, true);
        const FitReport report{run, runWarnings(run)};
        const std::string path = uniqueTempPath("text.txt");
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        writeResultLines(file, reportInputOf(run));
        writeQualityLines(file, report);
        std::fclose(file);
        results += fileBytes(path) + reportJson(report) + "\n" + reportCsvRow(report);
    }
    // A figure that is not a number and a bound at -infinity: null in JSON, empty in CSV.
    RunOutcome run = fit(inputs[1], 3, true);
    run.quality.r2 = nan;
    run.lifeFigures.bLives.at(1).bounds.hi = -std::numeric_limits<double>::infinity();
    const FitReport report{run, {}};
    results += reportJson(report) + "\n" + reportCsvRow(report);
    expectMatchesGolden(results, "result_formats.txt", 1 + 2 * (10 + 12 + 2) + 2);
}

}  // namespace
