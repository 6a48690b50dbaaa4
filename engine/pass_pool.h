// A small pool of threads for the passes over the points, made by a run and
// passed by reference to the passes it runs. Only standard threads, mutexes
// and condition variables (MinGW-w64 with posix threads included).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

class PassPool {
public:
    // threadCount threads take part in each pass, the caller's included;
    // 0 means std::thread::hardware_concurrency() (1 where that is unknown).
    explicit PassPool(unsigned threadCount = 0);
    ~PassPool();
    PassPool(const PassPool&) = delete;
    PassPool& operator=(const PassPool&) = delete;

    unsigned threadCount() const { return count; }

    // Calls task(context) once on each of the threadCount threads, the
    // calling thread included, and returns when all calls have returned.
    // The threads share the work through the task's own counters. One pass
    // at a time.
    void run(void (*task)(void* context), void* context);

    template <class Task>
    void run(Task& task) {
        run([](void* context) { (*static_cast<Task*>(context))(); }, &task);
    }

private:
    void work();

    unsigned count;
    std::vector<std::thread> workers;
    std::mutex mutex;
    std::condition_variable started;   // a new pass, or the end
    std::condition_variable finished;  // the last worker left the pass
    void (*currentTask)(void*) = nullptr;
    void* currentContext = nullptr;
    std::atomic<std::size_t> generation{0};  // passes started so far
    std::atomic<unsigned> busy{0};           // workers still in the current pass
    bool stopping = false;
};
