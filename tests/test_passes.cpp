// Batch kernels and passes against the scalar kernels and the plain loops,
// bit for bit: on every level of the batch kernels, for every kind of
// argument, for sizes that leave every number of remainder lanes, and for
// 1, 2 and 4 threads around the chunk boundaries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/batch_math.h"
#include "engine/pass_pool.h"
#include "engine/passes.h"
#include "engine/portable_math.h"
#include "engine/solver.h"
#include "tests/test_support.h"

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();
const BatchLevel levels[] = {BatchLevel::scalar, BatchLevel::sse2, BatchLevel::avx2, BatchLevel::avx2fma,
                             BatchLevel::avx512};

// Special values, then random doubles of every kind: any bit pattern,
// log-uniform over the whole positive range, and close to 1.
std::vector<double> arguments(std::size_t count) {
    std::vector<double> x = {0.0, -0.0, 1.0, -1.0, inf, -inf, nan, 0x1p-1074, 0x1.fffffffffffffp-1023, 0x1p-1022,
                             std::numeric_limits<double>::max(), 1 + 0x1p-52, 1 - 0x1p-53, 0x1.6a09e667f3bccp+0,
                             0x1.6a09e667f3bcdp+0, 1 + 0.5 / 128, 0.75, 2e-300, 3e300,
                             // 700 log x, -900 log x and 41 log x at the edges 709 and -708
                             // of the vector kernel's range, 2^-890 log x at 2^-900.
                             0x1.607145cb904a8p+1, 0x1.607145cb904a9p+1, 0x1.607145cb904aap+1, 0x1.d249ed664dbddp-2,
                             0x1.d249ed664dbdep-2, 0x1.d249ed664dbdfp-2, 0x1.0fef71b2119f9p-25, 0x1.0fef71b2119fap-25,
                             0x1.00400800aab55p+0, 0x1.00400800aab56p+0};
    Xorshift random{0x9e3779b97f4a7c15ULL};
    while (x.size() < count) {
        const double u = random.unit();
        double value;
        std::memcpy(&value, &random.state, sizeof value);
        const std::size_t kind = x.size() % 3;
        x.push_back(kind == 0 ? value : kind == 1 ? std::exp((u - 0.5) * 1480) : 1 + (u - 0.5) * 1e-6);
    }
    return x;
}

TEST(BatchMath, SameBitsAsScalarKernels) {
    const double exponents[] = {0,        -0.0,      nan,     inf,     -inf,      1,          -1,    0.5,
                                2.7,      -3.3,      41,      700,     -900,      1e-300,     1e10,  1e300,
                                0x1p-890, -0x1p-890, 0x1p995, 0x1p997, 0x1p-1070, -0x1p-1022, 0x1p62};
    const std::vector<double> x = arguments(3000);
    const std::size_t n = x.size();
    // Blocks of x: sizes 0..9 from several offsets (every number of
    // remainder lanes), then sizes past the groups of 6 blocks of lanes.
    std::vector<std::pair<std::size_t, std::size_t>> blocks;
    for (std::size_t size = 0; size <= 9; ++size) {
        for (std::size_t offset : {0, 1, 3, 17}) blocks.push_back({offset, size});
    }
    for (std::size_t size : {std::size_t{13}, std::size_t{25}, std::size_t{51}, n - 5}) blocks.push_back({5, size});
    for (const BatchLevel level : levels) {
        const int name = static_cast<int>(level);  // in messages
        if (setBatchLevel(level) != level) {
            std::printf("batch level %d: not available on this processor\n", name);
            continue;
        }
        for (const auto& [offset, size] : blocks) {
            const double* in = x.data() + offset;
            std::vector<double> out(size + 1, 42.0), hi(size + 1, 42.0), lo(size + 1, 42.0), power(size + 1, 42.0),
                difference(size + 1, 42.0);
            batchLog(in, size, out.data());
            batchLogTable(in, 0, size, hi.data(), lo.data());
            batchLogOfDifference(in, 0.25, size, difference.data());
            for (std::size_t i = 0; i < size; ++i) {
                ASSERT_TRUE(sameBits(out[i], portableLog(in[i]))) << "level " << name << " log " << in[i];
                ASSERT_TRUE(sameBits(difference[i], portableLog(in[i] - 0.25))) << "level " << name << " x-g " << in[i];
            }
            for (double m : exponents) {
                batchPowFromLog(hi.data(), lo.data(), size, m, power.data());
                for (std::size_t i = 0; i < size; ++i) {
                    if (in[i] < 0 || std::isnan(in[i])) continue;  // outside the table's domain
                    double logX = 0;
                    const double expected = portablePowAndLog(in[i], m, logX);
                    ASSERT_TRUE(sameBits(power[i], expected)) << "level " << name << " " << in[i] << "^" << m;
                    ASSERT_TRUE(sameBits(logFromTable(hi[i], lo[i]), logX)) << "level " << name << " table " << in[i];
                }
            }
            for (const auto& array : {out, hi, lo, power, difference}) EXPECT_EQ(array[size], 42.0) << name << " past";
        }
    }
    setBatchLevel(bestBatchLevel());
    // The level the program uses: with FMA, a fused one (tested above).
    std::printf("batch level in use: %d\n", static_cast<int>(batchLevel()));
#if defined(__SSE2__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("fma")) {
        EXPECT_EQ(batchLevel(), __builtin_cpu_supports("avx512f") ? BatchLevel::avx512
                                : __builtin_cpu_supports("avx2")  ? BatchLevel::avx2fma
                                                                  : BatchLevel::sse2);
    }
#endif
}

// Powers x^1.85 within 1e-3 units of halfway between two doubles, and log
// 7.955 and log x near 1 near halfway, where the fast path falls back lane by
// lane, among ordinary ones: the correctly rounded values (mpmath, as in
// test_portable_math.cpp) on every level.
TEST(BatchMath, FallsBackLaneByLaneNearHalfway) {
    constexpr std::size_t n = 9;
    struct Row {
        double x, expected;
    };
    const Row powers[n] = {
        {2.5, 0x1.5ca2266f22fd3p+2},      {80.495, 0x1.a35b0b1f9e97ep+11},  {7.0, 0x1.24c4387860053p+5},
        {146.708, 0x1.3e43f6eec7aeap+13}, {11.723, 0x1.7bff939e59d9fp+6},   {33.0, 0x1.42454b2bb59fbp+9},
        {0.75, 0x1.2cb32d4ed1accp-1},     {120.898, 0x1.bcfec935bedffp+12}, {141.694, 0x1.2a6f7142232c4p+13}};
    const Row logs[n] = {
        {2.0, 0x1.62e42fefa39efp-1},    {7.955, 0x1.09724cd267b28p+1},         {1.5, 0x1.9f323ecbf984cp-2},
        {10.024, 0x1.2709a84536a0fp+1}, {0x1.00222p+0, 0x1.10edcf8dc98dfp-11}, {0x1.02p+0, 0x1.fe02a6b106789p-8},
        {17.289, 0x1.6ccf1bdee89fcp+1}, {0x1.002d6p+0, 0x1.6adfd83ca478fp-11}, {0x1p-1074, -0x1.74385446d71c3p+9}};
    double x[n], hi[n], lo[n], power[n], y[n], out[n], difference[n];
    for (std::size_t i = 0; i < n; ++i) x[i] = powers[i].x;
    for (std::size_t i = 0; i < n; ++i) y[i] = logs[i].x;
    for (const BatchLevel level : levels) {
        if (setBatchLevel(level) != level) continue;
        batchLogTable(x, 0, n, hi, lo);
        batchPowFromLog(hi, lo, n, 1.85, power);
        batchLog(y, n, out);
        batchLogOfDifference(y, 0, n, difference);
        for (std::size_t i = 0; i < n; ++i) {
            const int name = static_cast<int>(level);
            EXPECT_TRUE(sameBits(power[i], powers[i].expected)) << "level " << name << " " << x[i] << "^1.85";
            EXPECT_TRUE(sameBits(out[i], logs[i].expected)) << "level " << name << " log " << y[i];
            EXPECT_TRUE(sameBits(difference[i], logs[i].expected)) << "level " << name << " log " << y[i] << " - 0";
        }
    }
    setBatchLevel(bestBatchLevel());
}

// Tables not made by batchLogTable (the passes also raise e to -z with the
// table {-z, 0}), each entry among ordinary ones at every lane of a group:
// where the fused products of the vector kernel could differ from Dekker's
// (tiny products, factors beyond 2^996 or subnormal), at the edges of its
// range, and where y is exactly nd ln2/64 to the head's 32 bits (r = 0).
TEST(BatchMath, SameBitsForAnyTable) {
    struct Row {
        double hi, lo, m;
    };
    const Row rows[] = {{0x1p-450, 0, 0x1p-450},
                        {0x1.fffffffffffffp-451, 0, 0x1p-450},
                        {-0x1p-450, 0, 0x1p-450},
                        {0x1p-1030, 0, 0x1p200},
                        {0x1p-1022, 0, 0x1p100},
                        {0x1.fffffffffffffp-1023, 0x1p-1074, 0x1p100},
                        {0x1p997, 0, 0x1p-997},
                        {0x1.fffffffffffffp995, 0, -0x1p-996},
                        {0x1p-1000, 0, 0x1p997},
                        {0x1p995, 0, 0x1p-1030},
                        {709, 0, 1},
                        {0x1.6200000000001p+9, 0, 1},
                        {-708, 0, 1},
                        {-0x1.6200000000001p+9, -0x1p-50, 1},
                        {0x1.62e42fee00000p-1, 0, 1},
                        {-0x1.62e42fee00000p-1, 0x1p-60, 1},
                        {0x1.62e42fee00000p+0, 0, 1},
                        {-1.5, 1e-17, 1}};
    constexpr std::size_t n = 53;  // a group of 6 blocks of 8 lanes (or two of 4) and a remainder
    for (const BatchLevel level : levels) {
        if (setBatchLevel(level) != level) continue;
        for (const Row& row : rows) {
            for (std::size_t at = 0; at < n; ++at) {
                std::vector<double> hi(n, 0.5), lo(n, 0.0), out(n);
                hi[at] = row.hi;
                lo[at] = row.lo;
                batchPowFromLog(hi.data(), lo.data(), n, row.m, out.data());
                for (std::size_t i = 0; i < n; ++i) {
                    ASSERT_TRUE(sameBits(out[i], powFromTable(hi[i], lo[i], row.m)))
                        << "level " << static_cast<int>(level) << " {" << row.hi << ", " << row.lo << "}^" << row.m
                        << " at " << at << ", lane " << i;
                }
            }
        }
    }
    setBatchLevel(bestBatchLevel());
}

// The plain loops of the solver and of the location search.
ShapeSums plainShapeSums(const std::vector<double>& t, double gamma, double m, const std::uint8_t* suspended,
                         double& L) {
    ShapeSums s;
    L = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        double lnX = 0;
        const double xm = portablePowAndLog(t[i] - gamma, m, lnX);
        if (suspended == nullptr || suspended[i] == 0) L += lnX;
        s.S0 += xm;
        s.S1 += xm * lnX;
        s.S2 += xm * integerPower(lnX, 2);
    }
    return s;
}

CurvatureSums plainCurvatureSums(const std::vector<double>& t, const std::vector<double>& y, double g) {
    CurvatureSums s;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const double x = portableLog(t[i] - g);
        s.S4 += integerPower(x, 4);
        s.S3 += integerPower(x, 3);
        s.S2 += integerPower(x, 2);
        s.S1 += x;
        s.T2 += integerPower(x, 2) * y[i];
        s.T1 += x * y[i];
        s.T0 += y[i];
    }
    const double n = static_cast<double>(t.size());
    for (std::size_t i = 0; i < t.size(); ++i) {
        const double dx = portableLog(t[i] - g) - s.S1 / n;
        const double dy = y[i] - s.T0 / n;
        s.Cxy += dx * dy;
        s.Cxx += integerPower(dx, 2);
        s.Cyy += integerPower(dy, 2);
    }
    return s;
}

TEST(Passes, SameBitsAsPlainLoops) {
    const std::size_t sizes[] = {
        0, 1, 4, 5, 9, passChunk - 1, passChunk, passChunk + 1, 2 * passChunk + 3, 17 * passChunk + 5, 7};
    const double exponents[] = {2.5, 0.3, -1.7, 150, nan};
    PassPool pools[] = {PassPool(1), PassPool(2), PassPool(4)};
    ShapeTable table;  // reused for every size, location and mask
    Xorshift random{88172645463325252ULL};
    for (std::size_t n : sizes) {
        // Sorted times from 1.5 (x = 1 at gamma 0.5) up, one time of 1e999; every third point censored.
        std::vector<double> t(n), y(n);
        std::vector<std::uint8_t> suspended(n);
        for (std::size_t i = 0; i < n; ++i) {
            t[i] = (i == 0 ? 1.5 : t[i - 1] + random.between(0, 3));
            y[i] = std::log(-std::log(1 - (static_cast<double>(i) + 0.7) / (static_cast<double>(n) + 0.4)));
            suspended[i] = i % 3 == 1;
        }
        if (n > 4) t[n - 1] = inf;
        for (const double gamma : {0.5, 1.4}) {
            for (const std::uint8_t* mask : {static_cast<std::uint8_t*>(nullptr), suspended.data()}) {
                for (double m : exponents) {
                    double L = 0;
                    const ShapeSums expected = plainShapeSums(t, gamma, m, mask, L);
                    for (PassPool& pool : pools) {
                        prepareShapeTable(t.data(), n, gamma, mask, pool, table);
                        const ShapeSums s = shapeSums(table, m, pool);
                        EXPECT_TRUE(sameBits(table.L, L) && std::memcmp(&s, &expected, sizeof s) == 0)
                            << "n " << n << " gamma " << gamma << " m " << m << " threads " << pool.threadCount()
                            << (mask ? " censored" : "") << ": " << s.S0 << " " << s.S1 << " " << s.S2;
                    }
                }
            }
            const CurvatureSums expected = plainCurvatureSums(t, y, gamma);
            ScratchVector<double> x;
            for (PassPool& pool : pools) {
                const CurvatureSums s = curvatureSums(t.data(), y.data(), n, gamma, pool, x);
                EXPECT_EQ(std::memcmp(&s, &expected, sizeof s), 0)
                    << "curvature n " << n << " g " << gamma << " threads " << pool.threadCount();
            }
        }
    }
}

// Newton's sums: each block of passChunk points in four lanes (point i of
// the block in lane i mod 4, each lane in storage order, the lanes added as
// (0 + 1) + (2 + 3)), then the blocks in order; unscaled, the plain loop of
// that order to the bit, and scaled by a largest x, the same bits for every
// thread count and batch level, and the unscaled sums over x_max^m. Also
// the ordinates' own sums handed to curvatureSums: the bits of the sums it
// forms itself.
TEST(Passes, BlockedSumsForEveryThreadCount) {
    PassPool pools[] = {PassPool(1), PassPool(2), PassPool(4)};
    Xorshift random{0x5DEECE66DULL};
    for (const std::size_t n : {std::size_t{1}, passChunk - 1, passChunk, passChunk + 1, 5 * passChunk + 7}) {
        std::vector<double> t(n), y(n);
        for (double& x : t) x = 1 + random.between(0, 50);
        for (double& v : y) v = random.between(-4, 2);
        const auto largest = static_cast<std::size_t>(std::max_element(t.begin(), t.end()) - t.begin());
        for (const double m : {0.7, 3.1, 190.0}) {
            ShapeSums plain;
            for (std::size_t start = 0; start < n; start += passChunk) {
                ShapeSums lane[4];  // lane j: the points j, j + 4, ... of the block
                for (std::size_t i = start; i < std::min(n, start + passChunk); ++i) {
                    double lnX = 0;
                    const double xm = portablePowAndLog(t[i], m, lnX);
                    ShapeSums& s = lane[(i - start) % 4];
                    s = {s.S0 + xm, s.S1 + xm * lnX, s.S2 + xm * integerPower(lnX, 2)};
                }
                plain = {plain.S0 + ((lane[0].S0 + lane[1].S0) + (lane[2].S0 + lane[3].S0)),
                         plain.S1 + ((lane[0].S1 + lane[1].S1) + (lane[2].S1 + lane[3].S1)),
                         plain.S2 + ((lane[0].S2 + lane[1].S2) + (lane[2].S2 + lane[3].S2))};
            }
            const ShapeTable table = prepareShapeTable(t.data(), n, 0, nullptr, pools[0]);
            const LogScale scale{table.logHi[largest], table.logLo[largest]};
            const ShapeSums first = blockedShapeSums(table, m, scale, pools[0]);
            const double power = portablePow(t[largest], m);
            for (const BatchLevel level : levels) {
                if (setBatchLevel(level) != level) continue;
                for (PassPool& pool : pools) {
                    const ShapeSums s = blockedShapeSums(table, m, LogScale{}, pool);
                    const ShapeSums scaled = blockedShapeSums(table, m, scale, pool);
                    SCOPED_TRACE(testing::Message() << n << " m " << m << " threads " << pool.threadCount() << " level "
                                                    << static_cast<int>(level));
                    EXPECT_EQ(std::memcmp(&s, &plain, sizeof s), 0);
                    EXPECT_EQ(std::memcmp(&scaled, &first, sizeof s), 0);
                }
            }
            // u = x / x_max: S0 scales by x_max^m (unless 51^190 overflows), S1 / S0 shifts by ln x_max.
            if (std::isfinite(plain.S2)) {
                EXPECT_NEAR(
                    first.S0 * power / plain.S0 + first.S1 / first.S0 - plain.S1 / plain.S0 + std::log(t[largest]), 1,
                    1e-12)
                    << n << " m " << m;
            }
        }
        const OrdinateSums ys = ordinateSums(y.data(), n);
        ScratchVector<double> x;
        const CurvatureSums own = curvatureSums(t.data(), y.data(), n, 0.5, pools[1], x);
        const CurvatureSums given = curvatureSums(t.data(), y.data(), n, 0.5, pools[1], x, &ys);
        EXPECT_EQ(std::memcmp(&own, &given, sizeof own), 0) << n;
    }
}

}  // namespace
