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
#include <memory>
#include <system_error>
#include <thread>
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

// Below this count a comparison sort is quicker than the radix passes.
constexpr std::size_t radixThreshold = 4096;

// Digits of the radix sort: six of 11 bits cover the 64 bits of a key.
constexpr int digitBits = 11;
constexpr int digitCount = 6;
constexpr std::size_t radix = std::size_t{1} << digitBits;

std::size_t digitOf(std::uint64_t key, int d) { return (key >> (d * digitBits)) & (radix - 1); }

// The keys live in the times' own memory (read and written as bits) or in
// one scratch array, turn about.
std::uint64_t loadKey(const double* at) {
    std::uint64_t key;
    std::memcpy(&key, at, sizeof key);
    return key;
}

void storeKey(double* at, std::uint64_t key) { std::memcpy(at, &key, sizeof key); }

// Least-significant-digit radix sort on the keys: the histograms of all six
// digits in the pass that forms the keys, then one scatter per digit, the
// keys moving between the times' memory and the scratch array (as long as
// the times; `counts` holds digitCount * radix entries). A digit that is the
// same for every key is skipped. Allocates nothing, so that it can run on a
// thread of its own.
void radixSort(std::span<double> times, std::uint64_t* scratch, std::size_t* counts) {
    const std::size_t n = times.size();
    std::fill(counts, counts + digitCount * radix, std::size_t{0});
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t key = sortKey(times[i]);
        scratch[i] = key;
        for (int d = 0; d < digitCount; ++d) ++counts[d * radix + digitOf(key, d)];
    }
    bool inScratch = true;  // where the keys are now
    for (int d = 0; d < digitCount; ++d) {
        std::size_t* offsets = &counts[d * radix];
        if (offsets[digitOf(inScratch ? scratch[0] : loadKey(&times[0]), d)] == n) continue;
        std::size_t total = 0;
        for (std::size_t b = 0; b < radix; ++b) {
            const std::size_t count = offsets[b];
            offsets[b] = total;
            total += count;
        }
        if (inScratch) {
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint64_t key = scratch[i];
                storeKey(&times[offsets[digitOf(key, d)]++], key);
            }
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint64_t key = loadKey(&times[i]);
                scratch[offsets[digitOf(key, d)]++] = key;
            }
        }
        inScratch = !inScratch;
    }
    for (std::size_t i = 0; i < n; ++i) times[i] = fromSortKey(inScratch ? scratch[i] : loadKey(&times[i]));
}

// Merges the sorted runs [0, half) and [half, n) of `times` through the
// scratch array, by their keys: the order the radix sort gives the whole.
void mergeHalves(std::span<double> times, std::size_t half, std::uint64_t* scratch) {
    std::size_t a = 0;
    std::size_t b = half;
    std::size_t out = 0;
    while (a < half && b < times.size()) {
        const std::uint64_t keyA = sortKey(times[a]);
        const std::uint64_t keyB = sortKey(times[b]);
        scratch[out++] = keyA < keyB ? (++a, keyA) : (++b, keyB);
    }
    while (a < half) scratch[out++] = sortKey(times[a++]);
    while (b < times.size()) scratch[out++] = sortKey(times[b++]);
    for (std::size_t i = 0; i < times.size(); ++i) times[i] = fromSortKey(scratch[i]);
}

// Above this count the two halves are sorted on two threads, then merged:
// the result is the same sorted order, in about half the time.
constexpr std::size_t twoThreadThreshold = std::size_t{1} << 18;

bool sortHalvesOnTwoThreads(std::span<double> times, std::uint64_t* scratch, std::size_t* counts) {
    const std::size_t half = times.size() / 2;
    try {
        std::thread other([&] { radixSort(times.first(half), scratch, counts); });
        radixSort(times.subspan(half), scratch + half, counts + digitCount * radix);
        other.join();
    } catch (const std::system_error&) {
        return false;  // no second thread to be had: sort the whole in one
    }
    mergeHalves(times, half, scratch);
    return true;
}

}  // namespace

double rankMeanI(double i, std::uint32_t n) { return i / (asDouble(n) + 1.0); }

double rankEndpoints(double i, std::uint32_t n) { return (i - 1.0) / (asDouble(n) - 1.0); }

double rankMedian(double i, std::uint32_t n) { return (i - 0.3) / (asDouble(n) + 0.4); }

double rankHazen(double i, std::uint32_t n) { return (i - 0.5) / asDouble(n); }

std::vector<double> adjustedRanks(std::span<const std::uint8_t> suspended, std::uint32_t n) {
    std::vector<double> ranks;
    ranks.reserve(n);
    // Without suspensions every step below is (n - k + 2) / (n - k + 2) = 1
    // exactly, so j = k to the bit: no divisions needed.
    if (std::all_of(suspended.begin(), suspended.end(), [](std::uint8_t s) { return s == 0; })) {
        for (std::uint32_t k = 1; k <= n; ++k) ranks.push_back(asDouble(k));
        return ranks;
    }
    double previous = 0;
    for (std::uint32_t k = 1; k <= n; ++k) {
        if (suspended[k - 1] != 0) continue;
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
    std::sort(units.begin(), units.end(),
              [](const Unit& a, const Unit& b) { return a.t < b.t || (a.t == b.t && a.suspended < b.suspended); });
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
    const std::size_t n = times.size();
    const std::unique_ptr<std::uint64_t[]> scratch(new std::uint64_t[n]);  // written whole before it is read
    std::vector<std::size_t> counts(2 * digitCount * radix);
    if (n >= twoThreadThreshold && std::thread::hardware_concurrency() > 1 &&
        sortHalvesOnTwoThreads(times, scratch.get(), counts.data())) {
        return;
    }
    radixSort(times, scratch.get(), counts.data());
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
