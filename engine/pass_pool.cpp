// The workers sleep on a condition variable between passes; a pass wakes them
// all, runs the task on the caller too and waits until the last worker is done.
// Both sides first watch the counters for a short while before they sleep:
// the passes of a solver follow each other closely, and waking a sleeping
// thread costs tens of microseconds on a virtual machine, a few per cent of a
// pass over a million points. The mutex still orders everything: a thread
// that saw the counter change takes it before it reads what the other wrote.
#include "engine/pass_pool.h"

#include <chrono>

namespace {

// Calls done() until it is true or about a tenth of a millisecond has passed.
template <class Done>
void watchBriefly(Done done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(100);
    while (!done() && std::chrono::steady_clock::now() < until) std::this_thread::yield();
}

}  // namespace

PassPool::PassPool(unsigned threadCount) : count(threadCount) {
    if (count == 0) count = std::thread::hardware_concurrency();
    if (count == 0) count = 1;
    workers.reserve(count - 1);
    for (unsigned k = 1; k < count; ++k) workers.emplace_back([this] { work(); });
}

PassPool::~PassPool() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    started.notify_all();
    for (std::thread& worker : workers) worker.join();
}

void PassPool::run(void (*task)(void*), void* context) {
    if (count > 1) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            currentTask = task;
            currentContext = context;
            busy = count - 1;
            ++generation;
        }
        started.notify_all();
    }
    task(context);
    if (count > 1) {
        watchBriefly([this] { return busy.load(std::memory_order_relaxed) == 0; });
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [this] { return busy == 0; });
    }
}

void PassPool::work() {
    std::size_t seen = 0;
    for (;;) {
        void (*task)(void*) = nullptr;
        void* context = nullptr;
        watchBriefly([&] { return generation.load(std::memory_order_relaxed) != seen; });
        {
            std::unique_lock<std::mutex> lock(mutex);
            started.wait(lock, [&] { return stopping || generation != seen; });
            if (stopping) return;
            seen = generation;
            task = currentTask;
            context = currentContext;
        }
        task(context);
        std::lock_guard<std::mutex> lock(mutex);
        if (--busy == 0) finished.notify_one();
    }
}
