// Reports for the reference data sets, byte for byte (CR LF line ends), for
// every plotting position and both gamma modes; and reports that fail.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "datafiles/number_text.h"
#include "datafiles/report.h"
#include "run/calculation_run.h"
#include "run/run_outputs.h"
#include "tests/recording_front_end.h"
#include "tests/test_support.h"

namespace {

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

// Runs the data set `data` of tests/data; `gamma` nullptr for the search.
RunOutcome run(const char* data, RankMethod method, const char* gamma, ShapeSolver solver = ShapeSolver::damped) {
    return runWith({std::string(TARQUEL_TEST_DATA) + "/" + data + ".dat", method, gamma == nullptr,
                    gamma == nullptr ? 0 : textToNumber(gamma), 1, solver});
}

TEST(Report, MatchesTheReferenceReports) {
    const struct {
        const char* data;    // data set in tests/data
        const char* gamma;   // typed gamma text, or nullptr for the search
        const char* golden;  // golden name without the rank part
    } cases[] = {
        {"n3", nullptr, "auto"},
        {"n3", "5", "gamma5"},
        {"headers_crlf", nullptr, "auto"},
        {"headers_crlf", "500", "gamma500"},
        {"repeated", nullptr, "auto"},
        {"repeated", "10", "gamma10"},
        {"zero_min", nullptr, "auto"},
        {"zero_min", "-0.5", "gamma-0.5"},
        {"zero_min", "0", "gamma0"},
        {"concave_up", nullptr, "auto"},
        {"concave_up", "0.25", "gamma0.25"},
        {"two_values", nullptr, "auto"},
        {"two_values", "1", "gamma1"},
    };
    // Every report is written over the one before, the first over a longer file.
    const std::string reportPath = tempFileWith("report.txt", std::string(100000, '#'));
    for (const auto& c : cases) {
        for (RankMethod method = 1; method <= 4; ++method) {
            const std::string name = std::string(c.data) + ".rank" + std::to_string(method) + "." + c.golden;
            SCOPED_TRACE(name);
            std::vector<std::string> expected = splitLines(
                fileBytes(std::string(TARQUEL_TEST_GOLDEN) + "/" + name + ".txt"), "\n");
            ASSERT_FALSE(expected.empty());
            const RunOutcome damped = run(c.data, method, c.gamma);
            if (!fitted(damped)) {
                // A refused run: "Caption: Text", and no sample kept.
                EXPECT_EQ(std::vector<std::string>{damped.refusal.caption + ": " + damped.refusal.text}, expected);
                EXPECT_TRUE(damped.sample.times.empty());
                continue;
            }
            ASSERT_TRUE(writeReport(reportPath.c_str(), reportInputOf(damped)));
            const std::string written = fileBytes(reportPath);
            EXPECT_EQ(written.substr(written.size() - 2), "\r\n");  // the last row's line end too
            std::vector<std::string> lines = splitLines(written, "\r\n");
            ASSERT_EQ(lines.size(), expected.size());
            ASSERT_GE(lines.size(), 13u);
            lines[1] = expected[1];  // the notice
            expected[3] = "Data file          : RFile  = " + damped.dataFile;
            EXPECT_EQ(lines, expected);

            // Newton's bracketed solver: the same root, every result within one
            // unit of the ninth significant digit (lines 6-8 and 10-13).
            const FitResult r = run(c.data, method, c.gamma, ShapeSolver::newton).result;
            const double got[7] = {r.m, r.t0, r.gamma, r.mu, r.xi, r.tm, r.sigma2};
            const std::size_t at[7] = {5, 6, 7, 9, 10, 11, 12};
            for (int k = 0; k < 7; ++k) {
                const std::string& line = expected[at[k]];
                const double reference = std::strtod(line.c_str() + line.find('=') + 1, nullptr);
                const double unit = reference == 0 ? 0
                                                   : std::pow(10.0, std::floor(std::log10(std::fabs(reference))) - 8);
                EXPECT_LE(std::fabs(got[k] - reference), 1.5 * unit) << line;
            }
        }
    }
}

#ifdef __linux__
// A device that refuses every write: the error shows up when the file is
// flushed and closed.
TEST(Report, UnwritableFileIsAFailure) { EXPECT_FALSE(writeReport("/dev/full", reportInputOf(run("n3", 1, nullptr)))); }
#endif

}  // namespace
