// The text block, JSON Lines and CSV of a fitted data file.
//
// JSON objects are built with nlohmann::ordered_json (keys stay in the order
// written) and serialized by a small walker that writes every double with
// std::to_chars: the library's own number printer does not promise the
// shortest text, to_chars does, and gives the same text on every platform.
#include "datafiles/result_formats.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "datafiles/number_format.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr char csvColumns[] =
    "file,n,rank,gamma_source,m,t0,gamma,eta,mu,xi,tm,sigma2,log_likelihood,r2,anderson_darling,"
    "B1,B10,B50,m_lo,m_hi,eta_lo,eta_hi,B10_lo,B10_hi,ending,failures,suspensions";

// Columns of a CSV row after the file name.
constexpr int csvColumnsAfterFile = 26;

// A number for JSON: non-finite values become null.
Json jsonNumber(double value) { return std::isfinite(value) ? Json(value) : Json(nullptr); }

Json jsonInterval(const Interval& interval) { return Json::array({jsonNumber(interval.lo), jsonNumber(interval.hi)}); }

void appendJson(std::string& out, const Json& value);

void appendJsonString(std::string& out, const std::string& text) {
    out += Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

void appendJsonObject(std::string& out, const Json& object) {
    out += '{';
    bool first = true;
    for (const auto& item : object.items()) {
        if (!first) out += ',';
        first = false;
        appendJsonString(out, item.key());
        out += ':';
        appendJson(out, item.value());
    }
    out += '}';
}

void appendJsonArray(std::string& out, const Json& array) {
    out += '[';
    bool first = true;
    for (const Json& element : array) {
        if (!first) out += ',';
        first = false;
        appendJson(out, element);
    }
    out += ']';
}

void appendJson(std::string& out, const Json& value) {
    switch (value.type()) {
        case Json::value_t::object: appendJsonObject(out, value); return;
        case Json::value_t::array: appendJsonArray(out, value); return;
        case Json::value_t::string: appendJsonString(out, value.get<std::string>()); return;
        case Json::value_t::number_float:
            // Always finite: jsonNumber turns the others into null.
            out += shortestText(value.get<double>());
            return;
        case Json::value_t::null:
        case Json::value_t::boolean:
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::binary:
        case Json::value_t::discarded:
            out += value.dump();
            return;
    }
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// "label" then the number in "% 12.8e", as the report's result lines.
void appendValue(std::string& text, const char* label, double value) {
    char number[numberTextSize];
    formatReportNumber(value, number);
    text += label;
    text += number;
    text += '\n';
}

void appendInterval(std::string& text, const char* label, const Interval& interval) {
    char lo[numberTextSize], hi[numberTextSize];
    formatReportNumber(interval.lo, lo);
    formatReportNumber(interval.hi, hi);
    text += label;
    text += lo;
    text += "   ";
    text += hi;
    text += '\n';
}

}  // namespace

std::vector<NamedNumber> summaryNumbers(const FitSummary& s) {
    const FitResult& r = s.result;
    const FitQuality& q = s.quality;
    return {
        {"m", r.m},
        {"t0", r.t0},
        {"gamma", r.gamma},
        {"eta", q.eta},
        {"mu", r.mu},
        {"xi", r.xi},
        {"tm", r.tm},
        {"sigma2", r.sigma2},
        {"log_likelihood", q.logLikelihood},
        {"r2", q.r2},
        {"anderson_darling", q.andersonDarling},
        {"B1", q.b1},
        {"B10", q.b10},
        {"B50", q.b50},
        {"m_lo", q.mBounds.lo},
        {"m_hi", q.mBounds.hi},
        {"eta_lo", q.etaBounds.lo},
        {"eta_hi", q.etaBounds.hi},
        {"B10_lo", q.b10Bounds.lo},
        {"B10_hi", q.b10Bounds.hi},
    };
}

const char* endingName(FitEnding ending) {
    switch (ending) {
        case FitEnding::converged: return "converged";
        case FitEnding::fixedPoint: return "fixed point";
        case FitEnding::stopped: return "stopped";
        case FitEnding::timeOut: return "time-out";
        case FitEnding::bound: return "bound";
    }
    return "";
}

std::string shortestText(double value) {
    if (!std::isfinite(value)) return "";
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

bool writeQualityLines(std::FILE* out, const FitSummary& s) {
    const FitQuality& q = s.quality;
    std::string text = "\n";
    appendValue(text, "Scale (t0^(1/m))   : eta    = ", q.eta);
    appendValue(text, "Log-likelihood     : lnL    = ", q.logLikelihood);
    appendValue(text, "Plot correlation   : r2     = ", q.r2);
    appendValue(text, "Anderson-Darling   : A2     = ", q.andersonDarling);
    appendValue(text, "B1  life           : B1     = ", q.b1);
    appendValue(text, "B10 life           : B10    = ", q.b10);
    appendValue(text, "B50 life           : B50    = ", q.b50);
    text += "Bounds, two-sided at confidence " + shortestText(s.confidence) +
            " (Fisher matrix, gamma held fixed): lower, upper\n";
    appendInterval(text, "Shape    parameter : m      = ", q.mBounds);
    appendInterval(text, "Scale (t0^(1/m))   : eta    = ", q.etaBounds);
    appendInterval(text, "B10 life           : B10    = ", q.b10Bounds);
    return std::fputs(text.c_str(), out) >= 0;
}

std::string summaryJson(const FitSummary& s) {
    const FitResult& r = s.result;
    const FitQuality& q = s.quality;
    Json object;
    object["file"] = s.dataFile;
    object["n"] = s.n;
    object["rank"] = s.rankMethod;
    object["gamma_source"] = s.gammaSearched ? "searched" : "typed";
    object["m"] = jsonNumber(r.m);
    object["t0"] = jsonNumber(r.t0);
    object["gamma"] = jsonNumber(r.gamma);
    object["mu"] = jsonNumber(r.mu);
    object["xi"] = jsonNumber(r.xi);
    object["tm"] = jsonNumber(r.tm);
    object["sigma2"] = jsonNumber(r.sigma2);
    object["eta"] = jsonNumber(q.eta);
    object["ending"] = endingName(s.ending);
    object["log_likelihood"] = jsonNumber(q.logLikelihood);
    object["r2"] = jsonNumber(q.r2);
    object["anderson_darling"] = jsonNumber(q.andersonDarling);
    object["b_lives"] = {{"B1", jsonNumber(q.b1)}, {"B10", jsonNumber(q.b10)}, {"B50", jsonNumber(q.b50)}};
    object["bounds"] = {{"confidence", jsonNumber(s.confidence)},
                        {"m", jsonInterval(q.mBounds)},
                        {"eta", jsonInterval(q.etaBounds)},
                        {"B10", jsonInterval(q.b10Bounds)}};
    object["warnings"] = s.warnings;
    object["failures"] = q.failures;
    object["suspensions"] = s.n - q.failures;
    std::string out;
    appendJson(out, object);
    return out;
}

std::string refusalJson(const std::string& dataFile, const std::string& caption, const std::string& text) {
    Json object;
    object["file"] = dataFile;
    object["error"] = {{"caption", caption}, {"text", text}};
    std::string out;
    appendJson(out, object);
    return out;
}

std::string csvHeader() { return std::string(csvColumns) + "\n"; }

std::string summaryCsvRow(const FitSummary& s) {
    // Appended piece by piece: g++ 12 warns wrongly (-Wrestrict) on chains of
    // string concatenation here.
    std::string row = csvField(s.dataFile);
    for (const std::string& field : {std::to_string(s.n), std::to_string(s.rankMethod),
                                     std::string(s.gammaSearched ? "searched" : "typed")}) {
        row += ',';
        row += field;
    }
    for (const NamedNumber& number : summaryNumbers(s)) {
        row += ',';
        row += shortestText(number.value);
    }
    row += ',';
    row += endingName(s.ending);
    for (const std::uint32_t count : {s.quality.failures, s.n - s.quality.failures}) {
        row += ',';
        row += std::to_string(count);
    }
    row += '\n';
    return row;
}

std::string refusalCsvRow(const std::string& dataFile) {
    return csvField(dataFile) + std::string(csvColumnsAfterFile, ',') + "\n";
}
