// The command line's output formats: JSON and CSV read back (nlohmann for
// JSON, a plain split for CSV) against the text output, the warnings of a
// fit, non-finite numbers, shortest number texts, and a golden file of all
// three formats.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "datafiles/number_format.h"
#include "datafiles/report.h"
#include "datafiles/result_formats.h"
#include "run/analysis_state.h"
#include "run/calculation_run.h"
#include "run/fit_summary.h"
#include "tests/recording_front_end.h"
#include "tests/test_support.h"

namespace {

using Json = nlohmann::ordered_json;
const double nan = std::numeric_limits<double>::quiet_NaN();

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(text);
    while (std::getline(in, field, separator)) fields.push_back(field);
    if (!text.empty() && text.back() == separator) fields.emplace_back();
    return fields;
}

double readDouble(const std::string& text) {
    double value = nan;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Fits `bytes` through the run layer, as one file of the command line does.
FitSummary fit(const char* bytes, RankMethod method, bool autoGamma, double gamma = 0) {
    const std::string path = uniqueTempPath("formats.dat");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f != nullptr) {
        std::fputs(bytes, f);
        std::fclose(f);
    }
    resetRecording();
    clearRunResults();
    std::snprintf(analysisState.dataFilePath, sizeof analysisState.dataFilePath, "%s", path.c_str());
    analysisState.rankMethod = method;
    analysisState.autoGamma = autoGamma ? 1 : 0;
    analysisState.result.gamma = gamma;
    analysisState.initialM = 1;
    runCalculation();
    FitSummary s = summarizeLastRun(0.9, false);
    s.dataFile = "sample.dat";
    return s;
}

// The text output of a fit: the result lines and the quality block.
std::string textOutput(const FitSummary& s) {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) return "";
    writeResultLines(file, {"sample.dat", s.rankMethod, s.result, analysisState.sample});
    writeQualityLines(file, s);
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

// The numbers of the text output by the name between ':' and '=' ("m",
// "lnL", ...), each line's numbers in order; bounds come second under a name.
std::multimap<std::string, std::vector<std::string>> textNumbers(const std::string& text) {
    std::multimap<std::string, std::vector<std::string>> numbers;
    for (const std::string& line : split(text, '\n')) {
        const std::size_t colon = line.find(" : "), equals = line.find(" = ");
        if (colon == std::string::npos || equals == std::string::npos) continue;
        std::string name = line.substr(colon + 3, equals - colon - 3);
        name.erase(name.find_last_not_of(' ') + 1);
        std::vector<std::string> tokens;
        std::istringstream in(line.substr(equals + 3));
        for (std::string token; in >> token;) tokens.push_back(token);
        numbers.emplace(name, tokens);
    }
    return numbers;
}

std::string reportText(double value) {
    char text[numberTextSize];
    formatReportNumber(value, text);
    std::string trimmed = text;
    return trimmed.substr(trimmed.find_first_not_of(' '));
}

const char* const inputs[] = {
    "11\n12.5\n13\n14\n16\n18\n19\n21\n23\n26\n28\n30\n31\n35\n40\n55\n",
    "0.5\n3\n9\n16\n22\n27\n31\n34\n36.5\n38.5\n40\n41.2\n42.2\n",
};

TEST(ResultFormats, JsonAndCsvReadBackAsTheTextOutput) {
    // JSON key (path) -> text name, and whether it is the second line of that name.
    const struct {
        const char* json;
        const char* csv;
        const char* text;
        int line, index;
    } rows[] = {
        {"/m", "m", "m", 0, 0},        {"/t0", "t0", "t0", 0, 0},         {"/gamma", "gamma", "gamma", 0, 0},
        {"/mu", "mu", "mu", 0, 0},     {"/xi", "xi", "xi", 0, 0},         {"/tm", "tm", "tm", 0, 0},
        {"/sigma2", "sigma2", "sigma2", 0, 0}, {"/eta", "eta", "eta", 0, 0},
        {"/log_likelihood", "log_likelihood", "lnL", 0, 0}, {"/r2", "r2", "r2", 0, 0},
        {"/anderson_darling", "anderson_darling", "A2", 0, 0}, {"/b_lives/B1", "B1", "B1", 0, 0},
        {"/b_lives/B10", "B10", "B10", 0, 0}, {"/b_lives/B50", "B50", "B50", 0, 0},
        {"/bounds/m/0", "m_lo", "m", 1, 0},   {"/bounds/m/1", "m_hi", "m", 1, 1},
        {"/bounds/eta/0", "eta_lo", "eta", 1, 0}, {"/bounds/eta/1", "eta_hi", "eta", 1, 1},
        {"/bounds/B10/0", "B10_lo", "B10", 1, 0}, {"/bounds/B10/1", "B10_hi", "B10", 1, 1},
    };
    resetAnalysisState();
    for (const char* input : inputs) {
        const FitSummary s = fit(input, 3, true);
        const Json json = Json::parse(summaryJson(s));
        const std::vector<std::string> header = split(split(csvHeader(), '\n')[0], ',');
        const std::vector<std::string> values = split(split(summaryCsvRow(s), '\n')[0], ',');
        ASSERT_EQ(header.size(), values.size());
        std::map<std::string, std::string> csv;
        for (std::size_t i = 0; i < header.size(); ++i) csv[header[i]] = values[i];
        const auto text = textNumbers(textOutput(s));
        for (const auto& row : rows) {
            const double value = json.at(Json::json_pointer(row.json)).get<double>();
            EXPECT_TRUE(sameBits(readDouble(csv.at(row.csv)), value)) << row.csv << " " << csv.at(row.csv);
            auto line = text.lower_bound(row.text);
            for (int k = 0; k < row.line; ++k) ++line;
            ASSERT_NE(line, text.end()) << row.text;
            EXPECT_EQ(line->second.at(static_cast<std::size_t>(row.index)), reportText(value)) << row.json;
        }
        // Every number reads back as the double it was written from.
        for (const NamedNumber& number : summaryNumbers(s)) {
            EXPECT_TRUE(sameBits(readDouble(csv.at(number.name)), number.value)) << number.name;
        }
        EXPECT_EQ(csv.at("file"), json.at("file").get<std::string>());
        EXPECT_EQ(csv.at("n"), std::to_string(json.at("n").get<int>()));
        EXPECT_EQ(csv.at("rank"), "3");
        EXPECT_EQ(json.at("rank").get<int>(), 3);
        EXPECT_EQ(csv.at("gamma_source"), json.at("gamma_source").get<std::string>());
        EXPECT_EQ(csv.at("ending"), json.at("ending").get<std::string>());
        EXPECT_EQ(json.at("bounds").at("confidence").get<double>(), 0.9);
    }
    resetAnalysisState();
}

TEST(ResultFormats, JsonKeysInOrder) {
    resetAnalysisState();
    const Json json = Json::parse(summaryJson(fit(inputs[0], 1, true)));
    std::vector<std::string> keys, lives, bounds;
    for (const auto& item : json.items()) keys.push_back(item.key());
    for (const auto& item : json.at("b_lives").items()) lives.push_back(item.key());
    for (const auto& item : json.at("bounds").items()) bounds.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"file", "n", "rank", "gamma_source", "m", "t0", "gamma", "mu", "xi", "tm",
                                              "sigma2", "eta", "ending", "log_likelihood", "r2", "anderson_darling",
                                              "b_lives", "bounds", "warnings", "failures",
                                              "suspensions"}));
    EXPECT_EQ(lives, (std::vector<std::string>{"B1", "B10", "B50"}));
    EXPECT_EQ(bounds, (std::vector<std::string>{"confidence", "m", "eta", "B10"}));
    resetAnalysisState();
}

TEST(ResultFormats, WarningsOfAFit) {
    const std::string lower = "the gamma search ended at its lower end (gamma = 0)";
    const std::string upper = "the gamma search ended at its upper end (gamma = 0.99 x the smallest value)";
    const std::string lowM = "m <= 1: the density has no maximum at t > gamma, and gamma is not a likelihood estimate";
    const std::string censored = "anderson_darling is not defined for a censored sample";
    // Away from the estimate (m set by hand) -H is not positive definite: no bounds.
    const std::string noBounds = "non-finite result: m_lo, m_hi, eta_lo, eta_hi, B10_lo, B10_hi";
    const std::vector<std::uint8_t> none, mask = {1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0}, middle = {1, 0, 1};
    const struct {
        const char* bytes;
        RankMethod method;
        bool autoGamma;
        double m;  // 0: as fitted
        const std::vector<std::uint8_t>& failed;
        std::vector<std::string> expected;
    } rows[] = {
        {inputs[1], 1, true, 0, none, {lower}},
        {inputs[1], 1, false, 0, none, {}},
        {"100\n100.1\n100.2\n101\n103\n110\n130\n200\n", 1, true, 0, none, {upper, lowM}},
        {"1\n2\n5\n20\n100\n400\n", 1, false, 0, none, {lowM}},
        {inputs[0], 1, true, 1, none, {lowM, noBounds}},
        {inputs[0], 1, true, 1.0000000000000002, none, {noBounds}},
        {"1\n2\n3\n", 2, false, 0, none, {"non-finite result: r2"}},
        {inputs[0], 1, true, 0, none, {}},
        {inputs[0], 1, true, 0, mask, {censored}},
        {"1\n2\n3\n", 2, false, 0, middle, {censored, "non-finite result: r2"}},
    };
    resetAnalysisState();
    for (const auto& row : rows) {
        fit(row.bytes, row.method, row.autoGamma);
        if (row.m != 0) analysisState.result.m = row.m;
        analysisState.suspended.clear();
        for (const std::uint8_t failed : row.failed) analysisState.suspended.push_back(failed == 0 ? 1 : 0);
        EXPECT_EQ(summarizeLastRun(0.9, false).warnings, row.expected) << row.bytes << " m " << row.m;
    }
    resetAnalysisState();
}

TEST(ResultFormats, NonFiniteNumbersAreNullAndEmpty) {
    resetAnalysisState();
    FitSummary s = fit(inputs[0], 1, true);
    resetAnalysisState();
    s.quality.r2 = nan;
    s.quality.b10Bounds.hi = std::numeric_limits<double>::infinity();
    const Json json = Json::parse(summaryJson(s));
    EXPECT_TRUE(json.at("r2").is_null());
    EXPECT_TRUE(json.at("bounds").at("B10").at(1).is_null());
    EXPECT_TRUE(json.at("bounds").at("B10").at(0).is_number());
    const std::vector<std::string> values = split(split(summaryCsvRow(s), '\n')[0], ',');
    ASSERT_EQ(values.size(), 27u);
    EXPECT_EQ(values[13], "");  // r2
    EXPECT_EQ(values[23], "");  // B10_hi
    EXPECT_NE(values[22], "");
}

TEST(ResultFormats, ShortestTexts) {
    const struct {
        double value;
        const char* text;
    } rows[] = {
        {0.1, "0.1"}, {100, "100"}, {-0.0, "-0"}, {1e21, "1e+21"}, {1.0 / 3, "0.3333333333333333"},
        {5e-324, "5e-324"}, {1.7976931348623157e308, "1.7976931348623157e+308"}, {123456.5, "123456.5"},
        {nan, ""}, {-std::numeric_limits<double>::infinity(), ""},
    };
    for (const auto& row : rows) EXPECT_EQ(shortestText(row.value), row.text) << row.text;
    Xorshift g{12345};
    for (int i = 0; i < 10000; ++i) {
        const double x = (g.unit() - 0.5) * std::pow(10.0, g.between(-300, 300));
        const std::string text = shortestText(x);
        EXPECT_TRUE(sameBits(readDouble(text), x)) << text;
        // One digit fewer no longer reads back (the text is the shortest).
        std::string shorter = text;
        const std::size_t e = shorter.find('e');
        const std::size_t last = (e == std::string::npos ? shorter.size() : e) - 1;
        if (shorter[last] >= '0' && shorter[last] <= '9' && last > 1 && shorter.find('.') < last) {
            shorter.erase(last, 1);
            EXPECT_FALSE(sameBits(readDouble(shorter), x)) << text;
        }
    }
}

TEST(ResultFormats, CsvQuotesFileNames) {
    const std::string tail(26, ',');  // the empty columns after the file name
    const struct {
        const char* file;
        std::string row;
    } rows[] = {
        {"plain.dat", "plain.dat" + tail + "\n"},
        {"a,b.dat", "\"a,b.dat\"" + tail + "\n"},
        {"say \"x\".dat", "\"say \"\"x\"\".dat\"" + tail + "\n"},
        {"q\",.dat", "\"q\"\",.dat\"" + tail + "\n"},
    };
    for (const auto& row : rows) EXPECT_EQ(refusalCsvRow(row.file), row.row);
    // A name that is not UTF-8 still gives valid JSON.
    const Json json = Json::parse(refusalJson("caf\xe9.dat", "c", "t"));
    EXPECT_EQ(json.at("file").get<std::string>(), "caf\xef\xbf\xbd.dat");
}

// All three formats of two fits, against a golden file written on one
// platform: the same text must come out on every other.
TEST(ResultFormats, SameTextOnEveryPlatform) {
    resetAnalysisState();
    std::string results = csvHeader();
    for (const char* input : inputs) {
        const FitSummary s = fit(input, 1, true);
        results += textOutput(s) + summaryJson(s) + "\n" + summaryCsvRow(s);
    }
    resetAnalysisState();
    expectMatchesGolden(results, "result_formats.txt", 1 + 2 * (10 + 12 + 2));
}

}  // namespace
