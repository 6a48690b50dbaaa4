// A small pool of threads for the passes over the points, made by a run and
// passed by reference to the passes it runs. Only standard threads, mutexes
// and condition variables (MinGW-w64 with posix threads included).
#pragma once

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

    // Calls task(context, index) once on each of the threadCount threads,
    // index 0 on the calling thread, and returns when all calls have
    // returned. One pass at a time.
    void run(void (*task)(void* context, unsigned index), void* context);

    template <class Task>
    void run(Task& task) {
        run([](void* context, unsigned index) { (*static_cast<Task*>(context))(index); }, &task);
    }

private:
    void work(unsigned index);

    unsigned count;
    std::vector<std::thread> workers;
    std::mutex mutex;
    std::condition_variable started;   // a new pass, or the end
    std::condition_variable finished;  // the last worker left the pass
    void (*currentTask)(void*, unsigned) = nullptr;
    void* currentContext = nullptr;
    std::size_t generation = 0;  // passes started so far
    unsigned busy = 0;           // workers still in the current pass
    bool stopping = false;
};
