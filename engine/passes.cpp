// Ordered passes: the terms of chunk k are computed by whichever thread takes
// k next, and whichever thread finishes a chunk while no other is adding
// takes the "adder" role and adds every finished chunk in order. The order
// of the additions, and with it every bit of the sums, is that of the plain
// loop whatever the threads do.
#include "engine/passes.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "engine/batch_math.h"
#include "engine/double_double.h"
#include "engine/pass_pool.h"
#include "engine/portable_math_detail.h"

namespace {

std::size_t chunkCount(std::size_t n) { return (n + passChunk - 1) / passChunk; }

std::size_t chunkLength(std::size_t n, std::size_t k) {
    const std::size_t start = k * passChunk;
    return std::min(n - start, passChunk);
}

// Runs compute(k) once for every chunk k < chunks on all threads of the pool
// and add(k) once for every chunk, in the order k = 0, 1, ..., after
// compute(k) has returned. compute(k) starts only after add(k - window) has
// returned, so that chunks k and k + window can share a buffer.
template <class Compute, class Add>
class OrderedPass {
public:
    OrderedPass(std::size_t chunkTotal, std::size_t slots, Compute& computeChunk, Add& addChunk)
        : chunks(chunkTotal), window(slots), compute(computeChunk), add(addChunk),
          ready(new std::atomic<std::size_t>[slots]) {
        for (std::size_t slot = 0; slot < window; ++slot) ready[slot].store(0);
    }

    void run(PassPool& pool) {
        if (pool.threadCount() == 1 || chunks < 2) {
            for (std::size_t k = 0; k < chunks; ++k) {
                compute(k);
                add(k);
            }
            return;
        }
        pool.run(*this);
    }

    // One thread's part of the pass.
    void operator()() {
        for (;;) {
            const std::size_t k = next.fetch_add(1);
            if (k >= chunks) return;
            while (k >= added.load() + window) {
                if (!addReady()) std::this_thread::yield();
            }
            compute(k);
            ready[k % window].store(k + 1);
            addReady();
        }
    }

private:
    bool isReady(std::size_t k) const { return k < chunks && ready[k % window].load() == k + 1; }

    // Adds the finished chunks in order unless another thread is adding;
    // true if it added any. After giving up the adder role it looks again:
    // a chunk finished meanwhile by a thread that found the role taken would
    // otherwise wait for the next finished chunk (all atomics sequentially
    // consistent, so one of the two sees the other).
    bool addReady() {
        bool progressed = false;
        for (;;) {
            if (adding.exchange(true)) return progressed;
            std::size_t k = added.load();
            while (isReady(k)) {
                add(k);
                added.store(++k);
                progressed = true;
            }
            adding.store(false);
            if (!isReady(k)) return progressed;
        }
    }

    const std::size_t chunks;
    const std::size_t window;
    Compute& compute;
    Add& add;
    std::unique_ptr<std::atomic<std::size_t>[]> ready;  // per slot: 1 + the chunk finished in it
    std::atomic<std::size_t> next{0};                   // the next chunk to compute
    std::atomic<std::size_t> added{0};                  // chunks added so far
    std::atomic<bool> adding{false};                    // a thread holds the adder role
};

template <class Compute, class Add>
void orderedPass(PassPool& pool, std::size_t chunks, std::size_t window, Compute& compute, Add& add) {
    OrderedPass<Compute, Add> pass(chunks, window, compute, add);
    pass.run(pool);
}

// Runs work(k, buffer) once for every chunk k < chunks, in no set order, on
// all threads of the pool; buffer holds bufferSize doubles of the thread
// that runs it, not initialised.
template <class Work>
void unorderedPass(PassPool& pool, std::size_t chunks, std::size_t bufferSize, Work& work) {
    struct Task {
        std::size_t chunks;
        std::size_t bufferSize;
        Work& work;
        std::atomic<std::size_t> next{0};

        void operator()() {
            const std::unique_ptr<double[]> buffer(new double[bufferSize]);
            for (;;) {
                const std::size_t k = next.fetch_add(1);
                if (k >= chunks) return;
                work(k, buffer.get());
            }
        }
    } task{chunks, bufferSize, work};
    if (pool.threadCount() == 1 || chunks < 2) {
        task();
    } else {
        pool.run(task);
    }
}

// Newton's blocks are worked in slices of this many points, so that the
// powers and logarithms of a slice stay in the first-level cache between
// the power kernel and the sums. A multiple of the four lanes of the sums, so
// that a point's lane is its index in the block modulo 4, and of the power
// kernel's groups (six blocks of two, four or eight lanes), so that only a
// block's last slice has a remainder (measured at 10^6: 2.7 ns a point on
// one thread, against 2.9 with slices of 512 and 3.3 with the whole block
// at once).
constexpr std::size_t newtonSlice = 480;

// The sums of a block in four lanes (ShapeLanes): lane j adds the terms of
// the points j, j + 4, j + 8, ... of the block, each in its own order, so
// the adds of one point no longer wait on those of the last. The block's
// sums: the lanes added as (0 + 1) + (2 + 3).
ShapeSums total(const ShapeLanes& s) {
    return {(s.S0[0] + s.S0[1]) + (s.S0[2] + s.S0[3]), (s.S1[0] + s.S1[1]) + (s.S1[2] + s.S1[3]),
            (s.S2[0] + s.S2[1]) + (s.S2[2] + s.S2[3])};
}

// The sums of one block of Newton's pass; buffer holds a slice. Scaled
// (the usual case), the power kernel shifts each entry by -ln s on its way in
// and adds the terms itself; unscaled (the largest x not finite), the same
// lanes in the same order by a plain loop.
ShapeSums blockSums(const double* hi, const double* lo, std::size_t length, double m, LogScale scale, double* buffer) {
    const bool shifted = scale.hi != 0 || scale.lo != 0;
    ShapeLanes sums;
    for (std::size_t from = 0; from < length; from += newtonSlice) {
        const std::size_t count = std::min(newtonSlice, length - from);
        if (shifted) {
            batchPowFromShiftedLog(hi + from, lo + from, count, scale.hi, scale.lo, m, buffer, sums);
            continue;
        }
        batchPowFromLog(hi + from, lo + from, count, m, buffer);
        for (std::size_t i = 0; i < count; ++i) {
            const double x = buffer[i], l = logFromTable(hi[from + i], lo[from + i]);
            sums.S0[i % 4] += x;
            sums.S1[i % 4] += x * l;
            sums.S2[i % 4] += x * (l * l);
        }
    }
    return total(sums);
}

}  // namespace

ShapeTable prepareShapeTable(const double* t, std::size_t n, double gamma, const std::uint8_t* suspended,
                             PassPool& pool) {
    ShapeTable table;
    prepareShapeTable(t, n, gamma, suspended, pool, table);
    return table;
}

void prepareShapeTable(const double* t, std::size_t n, double gamma, const std::uint8_t* suspended, PassPool& pool,
                       ShapeTable& table) {
    table.logHi.resize(n);
    table.logLo.resize(n);
    double* hi = table.logHi.data();
    double* lo = table.logLo.data();
    auto compute = [&](std::size_t k) {
        const std::size_t start = k * passChunk;
        batchLogTable(t + start, gamma, chunkLength(n, k), hi + start, lo + start);
    };
    double L = 0;
    auto add = [&](std::size_t k) {
        const std::size_t end = k * passChunk + chunkLength(n, k);
        for (std::size_t i = k * passChunk; i < end; ++i) {
            if (suspended == nullptr || suspended[i] == 0) L += logFromTable(hi[i], lo[i]);
        }
    };
    const std::size_t chunks = chunkCount(n);
    orderedPass(pool, chunks, chunks, compute, add);
    table.L = L;
}

ShapeSums shapeSums(const ShapeTable& table, double m, PassPool& pool) {
    const std::size_t n = table.logHi.size();
    const double* hi = table.logHi.data();
    const double* lo = table.logLo.data();
    const std::size_t chunks = chunkCount(n);
    std::size_t window = 4 * static_cast<std::size_t>(pool.threadCount());
    if (window > chunks) window = chunks;
    // x^m of the chunks in flight; not initialised, each chunk writes its part first.
    const std::unique_ptr<double[]> powers(new double[window * passChunk]);
    auto compute = [&](std::size_t k) {
        const std::size_t start = k * passChunk;
        batchPowFromLog(hi + start, lo + start, chunkLength(n, k), m, &powers[(k % window) * passChunk]);
    };
    ShapeSums s;
    auto add = [&](std::size_t k) {
        const double* xm = &powers[(k % window) * passChunk];
        const std::size_t start = k * passChunk;
        const std::size_t length = chunkLength(n, k);
        for (std::size_t i = 0; i < length; ++i) {
            const double lnX = logFromTable(hi[start + i], lo[start + i]);
            s.S0 += xm[i];
            s.S1 += xm[i] * lnX;
            s.S2 += xm[i] * (lnX * lnX);
        }
    };
    orderedPass(pool, chunks, window, compute, add);
    return s;
}

ShapeSums blockedShapeSums(const ShapeTable& table, double m, LogScale scale, PassPool& pool) {
    const std::size_t n = table.logHi.size();
    const std::size_t chunks = chunkCount(n);
    std::vector<ShapeSums> blocks(chunks);
    auto work = [&](std::size_t k, double* buffer) {
        const std::size_t start = k * passChunk;
        blocks[k] = blockSums(table.logHi.data() + start, table.logLo.data() + start, chunkLength(n, k), m, scale,
                              buffer);
    };
    unorderedPass(pool, chunks, newtonSlice, work);
    ShapeSums sum;
    for (const ShapeSums& s : blocks) {
        sum.S0 += s.S0;
        sum.S1 += s.S1;
        sum.S2 += s.S2;
    }
    return sum;
}

OrdinateSums ordinateSums(const double* y, std::size_t n) {
    OrdinateSums s;
    for (std::size_t i = 0; i < n; ++i) s.T0 += y[i];
    const double yMean = s.T0 / static_cast<double>(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double dy = y[i] - yMean;
        s.Cyy += dy * dy;
    }
    return s;
}

CurvatureSums curvatureSums(const double* t, const double* y, std::size_t n, double g, PassPool& pool,
                            ScratchVector<double>& x, const OrdinateSums* ys) {
    const OrdinateSums ordinates = ys != nullptr ? *ys : ordinateSums(y, n);
    x.resize(n);
    double* X = x.data();
    auto compute = [&](std::size_t k) {
        const std::size_t start = k * passChunk;
        batchLogOfDifference(t + start, g, chunkLength(n, k), X + start);
    };
    CurvatureSums s;
    auto add = [&](std::size_t k) {
        const std::size_t end = k * passChunk + chunkLength(n, k);
        for (std::size_t i = k * passChunk; i < end; ++i) {
            const double x2 = X[i] * X[i];
            s.S4 += x2 * x2;
            s.S3 += X[i] * x2;
            s.S2 += x2;
            s.S1 += X[i];
            s.T2 += x2 * y[i];
            s.T1 += X[i] * y[i];
        }
    };
    const std::size_t chunks = chunkCount(n);
    orderedPass(pool, chunks, chunks, compute, add);
    s.T0 = ordinates.T0;
    s.Cyy = ordinates.Cyy;

    const double count = static_cast<double>(n);
    const double xMean = s.S1 / count;
    const double yMean = s.T0 / count;
    for (std::size_t i = 0; i < n; ++i) {
        const double dx = X[i] - xMean;
        const double dy = y[i] - yMean;
        s.Cxy += dx * dy;
        s.Cxx += dx * dx;
    }
    return s;
}

namespace {

// ln F = ln(-expm1(-z)) of `count` powers z into logF.
void logDistribution(const double* z, std::size_t count, double* logF) {
    static const std::vector<double> zeros(passChunk, 0.0);
    double u[passChunk];
    for (std::size_t i = 0; i < count; ++i) u[i] = -z[i];
    batchPowFromLog(u, zeros.data(), count, 1.0, u);  // e^-z
    batchLog(u, count, logF);                         // ln u, for the expm1 quotient
    for (std::size_t i = 0; i < count; ++i) {
        const double v = -z[i];
        double expm1 = 0;
        if (v > portableMath::expOverflow) {
            expm1 = std::numeric_limits<double>::infinity();
        } else if (u[i] == 1) {
            expm1 = v;
        } else if (u[i] - 1 == -1) {
            expm1 = -1;
        } else {
            expm1 = (u[i] - 1) * (v / logF[i]);
        }
        logF[i] = -expm1;
    }
    batchLog(logF, count, logF);
}

}  // namespace

// z_i = x_i^m / t0 (x^m alone when t0 is 1) of the table entries [start, start + count).
void powersOfTable(const ShapeTable& table, std::size_t start, std::size_t count, double m, double t0, double* z) {
    batchPowFromLog(table.logHi.data() + start, table.logLo.data() + start, count, m, z);
    if (t0 != 1) {
        for (std::size_t i = 0; i < count; ++i) z[i] = z[i] / t0;
    }
}

double andersonDarlingSum(const ShapeTable& table, double m, double t0, PassPool& pool) {
    const std::size_t n = table.logHi.size();
    const std::size_t chunks = chunkCount(n);
    std::size_t window = 4 * static_cast<std::size_t>(pool.threadCount());
    if (window > chunks) window = chunks;
    // ln F_i and ln S_{n-1-i} = -z_{n-1-i} of the chunks in flight; not
    // initialised, each chunk writes its part first.
    const std::unique_ptr<double[]> logF(new double[window * passChunk]);
    const std::unique_ptr<double[]> logS(new double[window * passChunk]);
    auto compute = [&](std::size_t k) {
        const std::size_t start = k * passChunk;
        const std::size_t count = chunkLength(n, k);
        double z[passChunk];
        powersOfTable(table, start, count, m, t0, z);
        logDistribution(z, count, &logF[(k % window) * passChunk]);
        // The mirrored points n-1-i of this chunk's i lie in one run too.
        powersOfTable(table, n - start - count, count, m, t0, z);
        double* survival = &logS[(k % window) * passChunk];
        for (std::size_t i = 0; i < count; ++i) survival[i] = -z[count - 1 - i];
    };
    double sum = 0;
    auto add = [&](std::size_t k) {
        const double* terms = &logF[(k % window) * passChunk];
        const double* survival = &logS[(k % window) * passChunk];
        const std::size_t start = k * passChunk;
        const std::size_t length = chunkLength(n, k);
        for (std::size_t i = 0; i < length; ++i) {
            sum += static_cast<double>(2 * (start + i) + 1) * (terms[i] + survival[i]);
        }
    };
    orderedPass(pool, chunks, window, compute, add);
    return sum;
}

void prepareScaledTable(const double* t, std::size_t n, double gamma, double eta, PassPool& pool, ShapeTable& table) {
    table.logHi.resize(n);
    table.logLo.resize(n);
    auto work = [&](std::size_t k, double* u) {
        const std::size_t start = k * passChunk;
        const std::size_t count = chunkLength(n, k);
        for (std::size_t i = 0; i < count; ++i) u[i] = (t[start + i] - gamma) / eta;
        batchLogTable(u, 0.0, count, table.logHi.data() + start, table.logLo.data() + start);  // u - 0 is u
    };
    unorderedPass(pool, chunkCount(n), passChunk, work);
    table.L = std::numeric_limits<double>::quiet_NaN();
}
