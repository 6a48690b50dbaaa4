// Timings of the passes (not a test): one evaluation of the likelihood
// equation's sums and one location candidate at a million points, with the
// plain scalar loop for comparison. Build and run:
//     cmake --build build/native --target tarquel-bench && build/native/tests/tarquel-bench
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/pass_pool.h"
#include "engine/passes.h"
#include "engine/portable_math.h"
#include "tests/test_support.h"

namespace {

std::vector<double> sortedTimes(std::size_t n) {
    Xorshift random{88172645463325252ULL};
    std::vector<double> t(n);
    for (std::size_t i = 0; i < n; ++i) t[i] = (i == 0 ? 10 : t[i - 1]) + random.between(0, 1e-3);
    return t;
}

void shapeSumsPass(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    PassPool pool(static_cast<unsigned>(state.range(1)));
    const std::vector<double> t = sortedTimes(n);
    const ShapeTable table = prepareShapeTable(t.data(), n, 3.5, nullptr, pool);
    double m = 2.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(shapeSums(table, m, pool));
        m += 1e-9;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

void plainShapeLoop(benchmark::State& state) {
    const std::vector<double> t = sortedTimes(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        double L = 0, S0 = 0, S1 = 0, S2 = 0;
        for (double time : t) {
            double lnX = 0;
            const double xm = portablePowAndLog(time - 3.5, 2.5, lnX);
            L += lnX;
            S0 += xm;
            S1 += xm * lnX;
            S2 += xm * (lnX * lnX);
        }
        benchmark::DoNotOptimize(L + S0 + S1 + S2);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * t.size()));
}

void shapeTable(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    PassPool pool(static_cast<unsigned>(state.range(1)));
    const std::vector<double> t = sortedTimes(n);
    ShapeTable table;
    for (auto _ : state) {
        prepareShapeTable(t.data(), n, 3.5, nullptr, pool, table);
        benchmark::DoNotOptimize(table.L);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

void curvatureCandidate(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    PassPool pool(static_cast<unsigned>(state.range(1)));
    const std::vector<double> t = sortedTimes(n);
    std::vector<double> y(n), x;
    for (std::size_t i = 0; i < n; ++i) {
        y[i] = std::log(-std::log(1 - (static_cast<double>(i) + 0.7) / (static_cast<double>(n) + 0.4)));
    }
    for (auto _ : state) benchmark::DoNotOptimize(curvatureSums(t.data(), y.data(), n, 3.5, pool, x));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

BENCHMARK(shapeSumsPass)->Args({1000000, 1})->Args({1000000, 2})->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(shapeTable)->Args({1000000, 1})->Args({1000000, 2})->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(curvatureCandidate)->Args({1000000, 1})->Args({1000000, 2})->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(plainShapeLoop)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
