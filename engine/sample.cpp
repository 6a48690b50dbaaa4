// Plotting positions F(i) and the Weibull-plot coordinates.
//
// Each rank formula forms its numerator and its denominator first and then
// divides once; i and n convert from 32-bit unsigned counts to doubles
// exactly. Nothing is clamped: method 2 gives F(1) = 0 and F(n) = 1, whose
// ordinates are -inf and +inf, and those infinities are meant to reach the
// report and the location search unchanged.
#include "engine/sample.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/batch_math.h"
#include "engine/portable_math.h"

namespace {

double asDouble(std::uint32_t k) { return static_cast<double>(k); }

// The sort key of a double: its bits, with the order of the signed values
// turned into the order of unsigned integers (negative values flipped whole,
// positive ones with the sign bit set).
std::uint64_t sortKey(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

double fromSortKey(std::uint64_t key) {
    const std::uint64_t bits = (key >> 63) != 0 ? key & ~(std::uint64_t{1} << 63) : ~key;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Below this count a comparison sort is quicker than the eight passes.
constexpr std::size_t radixThreshold = 4096;

// Least-significant-digit radix sort on the keys, eight passes of one byte;
// a pass whose byte is the same for every key is skipped.
void radixSort(std::span<double> times) {
    const std::size_t n = times.size();
    std::vector<std::uint64_t> keys(n);
    std::vector<std::uint64_t> scratch(n);
    for (std::size_t i = 0; i < n; ++i) keys[i] = sortKey(times[i]);
    for (int shift = 0; shift < 64; shift += 8) {
        std::size_t count[257] = {};
        for (std::uint64_t k : keys) ++count[((k >> shift) & 0xff) + 1];
        if (count[((keys[0] >> shift) & 0xff) + 1] == n) continue;
        for (int b = 0; b < 256; ++b) count[b + 1] += count[b];
        for (std::uint64_t k : keys) scratch[count[(k >> shift) & 0xff]++] = k;
        keys.swap(scratch);
    }
    for (std::size_t i = 0; i < n; ++i) times[i] = fromSortKey(keys[i]);
}

}  // namespace

double rankMeanI(double i, std::uint32_t n) { return i / (asDouble(n) + 1.0); }

double rankEndpoints(double i, std::uint32_t n) { return (i - 1.0) / (asDouble(n) - 1.0); }

double rankMedian(double i, std::uint32_t n) { return (i - 0.3) / (asDouble(n) + 0.4); }

double rankHazen(double i, std::uint32_t n) { return (i - 0.5) / asDouble(n); }

std::vector<double> adjustedRanks(std::span<const std::uint8_t> suspended, std::uint32_t n) {
    std::vector<double> ranks;
    ranks.reserve(n);
    double previous = 0;
    for (std::uint32_t k = 1; k <= n; ++k) {
        if (!suspended.empty() && suspended[k - 1] != 0) continue;
        // Without suspensions the step is (n - k + 2) / (n - k + 2) = 1
        // exactly, so j = k to the bit.
        const double reverseRank = asDouble(n - k + 1);
        previous = previous + (asDouble(n) + 1 - previous) / (1 + reverseRank);
        ranks.push_back(previous);
    }
    return ranks;
}

std::vector<double> plotOrdinates(std::span<const std::uint8_t> suspended, std::uint32_t n, RankMethod method) {
    const RankFunction F = rankFunctionOf(method);
    std::vector<double> y = adjustedRanks(suspended, n);
    // weibullPlotY over the whole array: 1/(1 - F), then the batch logarithm
    // twice (the same bits as the scalar one, a fraction of its time).
    for (double& value : y) {
        const double survival = 1.0 - F(value, n);
        value = 1.0 / survival;
    }
    batchLog(y.data(), y.size(), y.data());
    batchLog(y.data(), y.size(), y.data());
    return y;
}

RankFunction rankFunctionOf(RankMethod method) {
    switch (method) {
        case 1: return rankMeanI;
        case 2: return rankEndpoints;
        case 3: return rankMedian;
        case 4: return rankHazen;
        default: return nullptr;
    }
}

double weibullPlotX(double t, double g) { return portableLog(t - g); }

double weibullPlotY(double F) {
    const double survival = 1.0 - F;
    const double inverse = 1.0 / survival;
    return portableLog(portableLog(inverse));
}

void sortCensored(std::vector<double>& times, std::vector<std::uint8_t>& suspended) {
    struct Unit {
        double t;
        std::uint8_t suspended;
    };
    std::vector<Unit> units(times.size());
    for (std::size_t i = 0; i < units.size(); ++i) units[i] = {times[i], suspended[i]};
    std::sort(units.begin(), units.end(), [](const Unit& a, const Unit& b) {
        return a.t < b.t || (a.t == b.t && a.suspended < b.suspended);
    });
    for (std::size_t i = 0; i < units.size(); ++i) {
        times[i] = units[i].t;
        suspended[i] = units[i].suspended;
    }
}

void sortTimes(std::span<double> times) {
    if (times.size() < radixThreshold) {
        std::sort(times.begin(), times.end());
        return;
    }
    radixSort(times);
}

Sample makeSample(std::vector<double> times, std::vector<std::uint8_t> suspended) {
    Sample sample;
    sample.failures = static_cast<std::uint32_t>(times.size());
    for (const std::uint8_t s : suspended) sample.failures -= s != 0 ? 1 : 0;
    sample.times = std::move(times);
    if (sample.failures != sample.times.size()) sample.suspended = std::move(suspended);
    return sample;
}

void sortSample(Sample& sample) {
    if (sample.suspended.empty()) {
        sortTimes(sample.times);
    } else {
        sortCensored(sample.times, sample.suspended);
    }
}
