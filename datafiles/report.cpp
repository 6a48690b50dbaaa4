// The result report: title, notice, inputs, the seven results in "% 12.8e",
// and the Weibull-plot coordinates of every point of the sorted sample.
//
// Lines are composed with '\n' and written through a small sink that turns
// each line feed into CR LF for the report file (the platform's text mode on
// Windows, emulated elsewhere) and leaves it alone for the terminal.
#include "datafiles/report.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "datafiles/number_format.h"
#include "engine/sample.h"
#include "tarquel_version.h"

namespace {

constexpr char reportTitle[] = "Tarquel  Version " TARQUEL_VERSION_TEXT "  -  Output file\n";
constexpr char reportNotice[] = "Three-parameter Weibull analysis\n\n";

struct TextSink {
    std::FILE* file;
    bool crlf;                    // write each '\n' as "\r\n"
    bool ok;                      // no write has failed so far
    std::string* text = nullptr;  // when set, the lines go here instead of `file`, as they are
    std::string pending{};        // lines not yet handed to `file`
};

// Hands the pending lines to the file in one call.
void flush(TextSink& sink) {
    if (sink.ok && !sink.pending.empty()) {
        sink.ok = std::fwrite(sink.pending.data(), 1, sink.pending.size(), sink.file) == sink.pending.size();
    }
    sink.pending.clear();
}

// The lines gather in the sink and go to the file 64 KiB at a time: a
// report of millions of points is tens of millions of short pieces, and a
// library call (and its stream lock) for each piece, or for each character
// where line feeds become CR LF, took longer than the whole fit.
void put(TextSink& sink, const char* text) {
    if (!sink.ok) return;
    std::string& out = sink.text != nullptr ? *sink.text : sink.pending;
    if (!sink.crlf) {
        out += text;
    } else {
        for (const char* p = text; *p != '\0'; ++p) {
            if (*p == '\n') out += '\r';
            out += *p;
        }
    }
    if (sink.text == nullptr && sink.pending.size() >= 65536) flush(sink);
}

// "label" followed by the number in "% 12.8e" and `ending`.
void putValue(TextSink& sink, const char* label, double value, const char* ending) {
    char number[numberTextSize];
    formatReportNumber(value, number);
    put(sink, label);
    put(sink, number);
    put(sink, ending);
}

// "Censoring          : r/n    = 17/23": failures over values.
void putCensoring(TextSink& sink, const ReportInput& input) {
    const Sample& sample = input.sample;
    const std::string counts = std::to_string(sample.failures) + "/" + std::to_string(sample.times.size());
    put(sink, "Censoring          : r/n    = ");
    put(sink, counts.c_str());
    put(sink, "\n");
}

void putResultLines(TextSink& sink, const ReportInput& input) {
    const FitResult& r = input.result;
    put(sink, "Data file          : RFile  = ");
    put(sink, input.dataFilePath);
    put(sink, "\nRank method        : Fi     = ");
    put(sink, rankLabelOf(input.rankMethod));
    put(sink, "\n");
    if (input.censored) putCensoring(sink, input);
    putValue(sink, "Shape    parameter : m      = ", r.m, "\n");
    putValue(sink, "Scale    parameter : t0     = ", r.t0, "\n");
    putValue(sink, "Location parameter : gamma  = ", r.gamma, "\n\n");
    putValue(sink, "Expected value     : mu     = ", r.mu, "\n");
    putValue(sink, "Median   value     : xi     = ", r.xi, "\n");
    putValue(sink, "Mode     value     : tm     = ", r.tm, "\n");
    putValue(sink, "Variance           : sigma2 = ", r.sigma2, "\n");
}

void putPlotTable(TextSink& sink, const ReportInput& input) {
    put(sink, "Input data reduced by gamma\n");
    put(sink, "ln(t)               ln(ln(1/(1-F)))\n");
    if (rankFunctionOf(input.rankMethod) == nullptr) return;
    // The failures only, with their (adjusted) plotting positions.
    const Sample& sample = input.sample;
    const auto n = static_cast<std::uint32_t>(sample.times.size());
    const std::vector<double> ordinates = plotOrdinates(sample.suspended, n, input.rankMethod);
    std::size_t failure = 0;
    for (std::uint32_t i = 0; i < n && sink.ok; ++i) {
        if (!sample.suspended.empty() && sample.suspended[i] != 0) continue;
        putValue(sink, "", weibullPlotX(sample.times[i], input.result.gamma), "    ");
        putValue(sink, "", ordinates[failure++], "\n");
    }
}

}  // namespace

const char* rankLabelOf(RankMethod method) {
    static const char* const labels[4] = {"i/(n+1)", "(i-1)/(n-1)", "(i-0.3)/(n+0.4)", "(i-0.5)/n"};
    if (method < 1 || method > 4) return "";
    return labels[method - 1];
}

bool writeResultLines(std::FILE* out, const ReportInput& input) {
    TextSink sink{out, false, true};
    putResultLines(sink, input);
    flush(sink);
    return sink.ok;
}

std::string resultLinesText(const ReportInput& input) {
    std::string text;
    TextSink sink{nullptr, false, true, &text};
    putResultLines(sink, input);
    return text;
}

bool writeReport(const char* path, const ReportInput& input) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    TextSink sink{file, true, true};
    put(sink, reportTitle);
    put(sink, reportNotice);
    putResultLines(sink, input);
    put(sink, "\n\n");
    putPlotTable(sink, input);
    flush(sink);
    const bool closed = std::fclose(file) == 0;
    return sink.ok && closed;
}
