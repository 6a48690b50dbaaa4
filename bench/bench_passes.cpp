// Per-pass cost of the engine's hot loops, in points per second (and
// nanoseconds per point): the likelihood-equation pass (the damped
// iteration's storage order and Newton's scaled blocks), one curvature fit of
// the location search, their power and log kernels alone, the data-file
// reader and the sort.
//
// Timings are wall-clock (UseRealTime): a pass may run on several threads,
// and the CPU time of the calling thread alone would hide that.
//
// `tarquel-bench --sweep [COUNT]` runs no benchmark but the sweep of the
// kernels' fast paths against their double-double paths (kernel_sweep.cpp).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <unistd.h>

#include "bench/kernel_sweep.h"
#include "bench/weibull_sample.h"
#include "datafiles/data_file.h"
#include "engine/batch_math.h"
#include "engine/gamma_search.h"
#include "engine/pass_pool.h"
#include "engine/sample.h"
#include "engine/solver.h"

namespace {

// Values near 2: the shape, scale and location the script's "near 2" sample has.
constexpr WeibullLaw nearTwo{1.8, 2.0, 0.5};
constexpr std::uint64_t sampleSeed = 20240601;

// Below the location, so every t - gamma is positive: a pass at a location
// the search or the solver could visit.
constexpr double passGamma = 0.4;

// Two shapes and two locations to alternate: the engine may keep the last
// pass, and every timed call must do a fresh one.
constexpr double passShapes[2] = {1.8, 1.9};
constexpr double fitGammas[2] = {0.4, 0.45};

const std::vector<double>& unsortedSample(std::int64_t n) {
    static std::map<std::int64_t, std::vector<double>> samples;
    auto found = samples.find(n);
    if (found == samples.end())
        found = samples.emplace(n, weibullSample(static_cast<std::uint64_t>(n), nearTwo, sampleSeed)).first;
    return found->second;
}

const std::vector<double>& sortedSample(std::int64_t n) {
    static std::map<std::int64_t, std::vector<double>> samples;
    auto found = samples.find(n);
    if (found == samples.end()) {
        std::vector<double> times = unsortedSample(n);
        std::sort(times.begin(), times.end());
        found = samples.emplace(n, std::move(times)).first;
    }
    return found->second;
}

// Items per second for n points a pass, and its inverse, the time per point
// (printed with an SI prefix: "98.5ns").
void countPoints(benchmark::State& state, std::int64_t n) {
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["time_per_point"] = benchmark::Counter(
        static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// One pass of the equation's sums: in storage order (the damped iteration's)
// or scaled and in blocks (Newton's).
void shapePass(benchmark::State& state, ShapeSumOrder order) {
    const std::int64_t n = state.range(0);
    PassPool pool;
    const ShapeProblem problem = makeShapeProblem(makeSample(sortedSample(n)), passGamma, pool, order);
    ShapeSums sums;
    int which = 0;
    for (auto _ : state) {
        sums = shapeSums(problem, passShapes[which]);
        which ^= 1;
        benchmark::DoNotOptimize(sums);
    }
    if (!(sums.S0 > 0)) state.SkipWithError("the pass gave no positive S0");
    countPoints(state, n);
}

void equationPass(benchmark::State& state) { shapePass(state, ShapeSumOrder::storageOrder); }

void newtonPass(benchmark::State& state) { shapePass(state, ShapeSumOrder::scaledBlocks); }

void curvatureFit(benchmark::State& state) {
    const std::int64_t n = state.range(0);
    const std::vector<double>& times = sortedSample(n);
    const std::vector<double> ordinates = plotOrdinates({}, static_cast<std::uint32_t>(n), 1);
    PassPool pool;
    ScratchVector<double> scratch;
    double r2 = 0;
    int which = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(curvatureSign(times, ordinates, fitGammas[which], pool, scratch, &r2));
        which ^= 1;
    }
    if (!(r2 > 0 && r2 <= 1)) state.SkipWithError("r2 is not in (0, 1]");
    countPoints(state, n);
}

// The kernels alone, on the calling thread (CPU time, which a busy machine
// disturbs less than wall-clock time): x^m from the log table, the equation
// pass's kernel, log(t - gamma), the curvature fit's, and the log table.
void powerKernel(benchmark::State& state) {
    const std::int64_t n = state.range(0);
    const std::vector<double>& times = sortedSample(n);
    const std::size_t size = times.size();
    std::vector<double> hi(size), lo(size), out(size);
    batchLogTable(times.data(), passGamma, size, hi.data(), lo.data());
    int which = 0;
    for (auto _ : state) {
        batchPowFromLog(hi.data(), lo.data(), size, passShapes[which], out.data());
        which ^= 1;
        benchmark::DoNotOptimize(out.data());
    }
    if (!(out[0] > 0)) state.SkipWithError("x^m is not positive");
    countPoints(state, n);
}

// The log table of the equation pass (once a location): log(t - gamma) in
// double-double.
void logTableKernel(benchmark::State& state) {
    const std::int64_t n = state.range(0);
    const std::vector<double>& times = sortedSample(n);
    std::vector<double> hi(times.size()), lo(times.size());
    int which = 0;
    for (auto _ : state) {
        batchLogTable(times.data(), fitGammas[which], times.size(), hi.data(), lo.data());
        which ^= 1;
        benchmark::DoNotOptimize(hi.data());
    }
    if (!std::isfinite(hi[0])) state.SkipWithError("log(t - gamma) is not finite");
    countPoints(state, n);
}

void logKernel(benchmark::State& state) {
    const std::int64_t n = state.range(0);
    const std::vector<double>& times = sortedSample(n);
    std::vector<double> out(times.size());
    int which = 0;
    for (auto _ : state) {
        batchLogOfDifference(times.data(), fitGammas[which], times.size(), out.data());
        which ^= 1;
        benchmark::DoNotOptimize(out.data());
    }
    if (!std::isfinite(out[0])) state.SkipWithError("log(t - gamma) is not finite");
    countPoints(state, n);
}

// A data file of n near-2 values, written once and removed at exit.
class SampleFile {
public:
    explicit SampleFile(std::int64_t n) {
        path_ = (std::filesystem::temp_directory_path() /
                 ("tarquel-bench-" + std::to_string(::getpid()) + "-" + std::to_string(n) + ".dat"))
                    .string();
        written_ = writeSampleFile(path_.c_str(), unsortedSample(n));
        std::error_code error;
        bytes_ = written_ ? static_cast<std::int64_t>(std::filesystem::file_size(path_, error)) : 0;
    }
    ~SampleFile() { std::remove(path_.c_str()); }
    SampleFile(const SampleFile&) = delete;
    SampleFile& operator=(const SampleFile&) = delete;

    const char* path() const { return path_.c_str(); }
    bool written() const { return written_; }
    std::int64_t bytes() const { return bytes_; }

private:
    std::string path_;
    bool written_ = false;
    std::int64_t bytes_ = 0;
};

const SampleFile& sampleFile(std::int64_t n) {
    static std::map<std::int64_t, SampleFile> files;
    auto found = files.find(n);
    if (found == files.end())
        found = files.emplace(std::piecewise_construct, std::forward_as_tuple(n), std::forward_as_tuple(n)).first;
    return found->second;
}

void readFile(benchmark::State& state) {
    const std::int64_t n = state.range(0);
    const SampleFile& file = sampleFile(n);
    if (!file.written()) {
        state.SkipWithError("cannot write the sample file");
        return;
    }
    std::size_t values = 0;
    for (auto _ : state) {
        const DataFileContents contents = readDataFile(file.path(), false);
        values = contents.opened ? contents.times.size() : 0;
        benchmark::DoNotOptimize(values);
    }
    if (values != static_cast<std::size_t>(n)) state.SkipWithError("the reader did not give every value");
    state.SetBytesProcessed(state.iterations() * file.bytes());
    countPoints(state, n);
}

void sortValues(benchmark::State& state) {
    const std::int64_t n = state.range(0);
    const std::vector<double>& unsorted = unsortedSample(n);
    std::vector<double> times;
    for (auto _ : state) {
        state.PauseTiming();
        times = unsorted;
        state.ResumeTiming();
        sortTimes(times);
    }
    if (times != sortedSample(n)) state.SkipWithError("the times are not in ascending order");
    countPoints(state, n);
}

}  // namespace

BENCHMARK(equationPass)->Arg(10000)->Arg(100000)->Arg(1000000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(newtonPass)->Arg(10000)->Arg(100000)->Arg(1000000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(curvatureFit)->Arg(10000)->Arg(100000)->Arg(1000000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(powerKernel)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(logKernel)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(logTableKernel)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(readFile)->Arg(1000000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(sortValues)->Arg(1000000)->Arg(10000000)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--sweep") == 0) {
        const long count = argc >= 3 ? std::atol(argv[2]) : 100000000L;
        return runKernelSweep(count > 0 ? count : 100000000L);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
