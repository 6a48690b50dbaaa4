// Whole fits of generated samples against a golden file of their results:
// written on one platform, the same digits must come out on every other.
#include <gtest/gtest.h>

#include <string>

#include "datafiles/number_format.h"
#include "run/analysis_state.h"
#include "engine/portable_math.h"
#include "engine/sample.h"
#include "tests/recording_front_end.h"
#include "tests/test_support.h"

namespace {

// A data file of n Weibull failure times, written with "% 12.8e".
std::string writeSample(Xorshift& g, int index) {
    const int n = 3 + static_cast<int>(g.unit() * 40);
    const double m = 0.6 + 5 * g.unit();
    const double scale = portablePow(10, -1 + 5 * g.unit());
    const double location = g.unit() < 0.5 ? 0 : 3 * scale * g.unit();
    std::string text = "generated sample\n";
    for (int i = 0; i < n; ++i) {
        const double t = location + scale * portablePow(-portableLog(1 - g.unit()), 1 / m);
        char number[numberTextSize];
        formatReportNumber(t, number);
        text += std::string(number) + "\n";
    }
    return tempFileWith("fit_" + std::to_string(index) + ".dat", text);
}

// One line per run: inputs, how the solve ended, and the seven results.
std::string fitLine(const std::string& path, int index, RankMethod method, bool autoGamma) {
    const RunOutcome run = runWith({path, method, autoGamma});
    std::string line = "sample " + std::to_string(index) + " rank " + std::to_string(method) +
                       (autoGamma ? " auto:" : " gamma 0:");
    if (!fitted(run)) return line + " " + run.refusal.caption + ": " + run.refusal.text + "\n";
    line += " ending " + std::to_string(static_cast<int>(run.ending));
    const FitResult& r = run.result;
    char number[numberTextSize];
    for (double v : {r.m, r.t0, r.gamma, r.mu, r.xi, r.tm, r.sigma2}) line += (formatReportNumber(v, number), number);
    return line + "\n";
}

TEST(FitGolden, SameDigitsOnEveryPlatform) {
    Xorshift g{0x9E3779B97F4A7C15ULL};
    std::string results;
    for (int index = 0; index < 12; ++index) {
        const std::string path = writeSample(g, index);
        for (RankMethod method = 1; method <= 4; ++method) {
            results += fitLine(path, index, method, true);
            results += fitLine(path, index, method, false);
        }
    }
    expectMatchesGolden(results, "generated_fits.txt", 12 * 4 * 2);
}

}  // namespace
