// Reports for the reference data sets, byte for byte (CR LF line ends), for
// every plotting position and both gamma modes; and reports that fail.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "datafiles/number_text.h"
#include "datafiles/report.h"
#include "run/analysis_state.h"
#include "run/calculation_run.h"
#include "tests/recording_front_end.h"
#include "tests/test_support.h"

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> splitLines(const std::string& text, const char* ending) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    const std::size_t step = std::string(ending).size();
    for (std::size_t end; (end = text.find(ending, start)) != std::string::npos; start = end + step) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

struct Case {
    const char* data;    // data set in tests/data
    const char* gamma;   // typed gamma text, or nullptr for the search
    const char* golden;  // golden name without the rank part
};

const Case cases[] = {
    {"n3", nullptr, "auto"},           {"n3", "5", "gamma5"},
    {"headers_crlf", nullptr, "auto"}, {"headers_crlf", "500", "gamma500"},
    {"repeated", nullptr, "auto"},     {"repeated", "10", "gamma10"},
    {"zero_min", nullptr, "auto"},     {"zero_min", "-0.5", "gamma-0.5"},
    {"zero_min", "0", "gamma0"},       {"concave_up", nullptr, "auto"},
    {"concave_up", "0.25", "gamma0.25"}, {"two_values", nullptr, "auto"},
    {"two_values", "1", "gamma1"},
};

class Report : public ::testing::Test {
protected:
    void SetUp() override {
        resetAnalysisState();
        resetRecording();
    }
    void TearDown() override { resetAnalysisState(); }

    void run(const std::string& dataPath, RankMethod method, const char* gamma) {
        resetRecording();
        std::snprintf(analysisState.dataFilePath, sizeof analysisState.dataFilePath, "%s", dataPath.c_str());
        analysisState.rankMethod = method;
        analysisState.autoGamma = gamma == nullptr ? 1 : 0;
        if (gamma != nullptr) analysisState.result.gamma = textToNumber(gamma);
        analysisState.initialM = 1;
        analysisState.stopFlag.store(0);
        runCalculation();
    }

    std::string reportPath() const { return uniqueTempPath("report.txt"); }

    static ReportInput input() { return currentReport(); }
};

TEST_F(Report, MatchesTheReferenceReports) {
    int compared = 0;
    for (const Case& c : cases) {
        for (RankMethod method = 1; method <= 4; ++method) {
            const std::string name = std::string(c.data) + ".rank" + std::to_string(method) + "." + c.golden;
            SCOPED_TRACE(name);
            run(std::string(TARQUEL_TEST_DATA) + "/" + c.data + ".dat", method, c.gamma);
            const std::vector<std::string> expected =
                splitLines(readAll(std::string(TARQUEL_TEST_GOLDEN) + "/" + name + ".txt"), "\n");
            ASSERT_FALSE(expected.empty());
            if (!recording.errors.empty()) {
                EXPECT_EQ(recording.errors, expected);  // a refused run: "Caption: Text"
                EXPECT_EQ(analysisState.sampleLoaded, 0);
                ++compared;
                continue;
            }
            ASSERT_TRUE(writeReport(reportPath().c_str(), input()));
            const std::string written = readAll(reportPath());
            // CR LF throughout, ending with the last row's line end.
            ASSERT_GE(written.size(), 2u);
            EXPECT_EQ(written.substr(written.size() - 2), "\r\n");
            EXPECT_EQ(written.find('\n'), written.find("\r\n") + 1);
            std::vector<std::string> lines = splitLines(written, "\r\n");
            EXPECT_EQ(lines.size(), 17 + analysisState.sample.size());
            ASSERT_EQ(lines.size(), expected.size());
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (i == 1 || i == 3) continue;  // the notice and the data file path
                EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
            }
            EXPECT_EQ(lines[3], "Data file          : RFile  = " + std::string(analysisState.dataFilePath));
            ++compared;
        }
    }
    EXPECT_EQ(compared, 52);
}

TEST_F(Report, NewtonAgreesToTheLastPrintedDigit) {
    // The same root: every result within one unit of the ninth significant
    // digit of the reference report (lines 6-8 and 10-13), refusals alike.
    for (const Case& c : cases) {
        for (RankMethod method = 1; method <= 4; ++method) {
            const std::string name = std::string(c.data) + ".rank" + std::to_string(method) + "." + c.golden;
            SCOPED_TRACE(name);
            analysisState.solver = ShapeSolver::newton;
            run(std::string(TARQUEL_TEST_DATA) + "/" + c.data + ".dat", method, c.gamma);
            analysisState.solver = ShapeSolver::damped;
            const std::vector<std::string> expected =
                splitLines(readAll(std::string(TARQUEL_TEST_GOLDEN) + "/" + name + ".txt"), "\n");
            if (!recording.errors.empty()) {
                EXPECT_EQ(recording.errors, expected);
                continue;
            }
            const FitResult& r = analysisState.result;
            const double got[7] = {r.m, r.t0, r.gamma, r.mu, r.xi, r.tm, r.sigma2};
            const int lines[7] = {5, 6, 7, 9, 10, 11, 12};
            for (int k = 0; k < 7; ++k) {
                const std::string& line = expected[static_cast<std::size_t>(lines[k])];
                const double reference = std::strtod(line.c_str() + line.find('=') + 1, nullptr);
                const double unit = reference == 0 ? 0 : std::pow(10.0, std::floor(std::log10(std::fabs(reference))) - 8);
                EXPECT_LE(std::fabs(got[k] - reference), 1.5 * unit) << line;
            }
        }
    }
}

TEST_F(Report, SavingAgainReplacesTheFile) {
    run(std::string(TARQUEL_TEST_DATA) + "/repeated.dat", 1, nullptr);
    {
        std::ofstream big(reportPath(), std::ios::binary);
        big << std::string(100000, '#');
    }
    ASSERT_TRUE(writeReport(reportPath().c_str(), input()));
    const std::string first = readAll(reportPath());
    EXPECT_EQ(first.find('#'), std::string::npos);
    ASSERT_TRUE(writeReport(reportPath().c_str(), input()));
    EXPECT_EQ(readAll(reportPath()), first);
}

TEST_F(Report, UnwritableFileIsAFailure) {
    run(std::string(TARQUEL_TEST_DATA) + "/n3.dat", 1, nullptr);
    const std::string missingFolder = ::testing::TempDir() + "no such folder/report.txt";
    EXPECT_FALSE(writeReport(missingFolder.c_str(), input()));
#ifdef __linux__
    // A device that refuses every write: the error shows up when the file is
    // flushed and closed.
    EXPECT_FALSE(writeReport("/dev/full", input()));
#endif
}

TEST_F(Report, ResultLinesForTheTerminal) {
    run(std::string(TARQUEL_TEST_DATA) + "/n3.dat", 4, "5");
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(writeResultLines(f, input()));
    std::rewind(f);
    char buffer[2048] = {};
    const std::size_t got = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    const std::vector<std::string> lines = splitLines(std::string(buffer, got), "\n");
    ASSERT_EQ(lines.size(), 10u);  // report lines 4 to 13, plain line feeds
    EXPECT_EQ(lines[1], "Rank method        : Fi     = (i-0.5)/n");
    EXPECT_EQ(lines[4], "Location parameter : gamma  =  5.00000000e+000");
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(std::string(buffer, got).find('\r'), std::string::npos);
}

}  // namespace
