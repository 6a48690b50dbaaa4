// Where the readers put the values they read: the vectors of a
// DataFileContents, grown only within the memory the machine has available,
// so that an endless source (a device, a pipe that never ends) is refused
// instead of taking the machine's memory.
#pragma once

#include <cstdint>

#include "datafiles/data_file.h"

// Bytes of memory the machine has available now: on Linux MemAvailable of
// /proc/meminfo (free memory and the page cache that can be given back),
// else the free physical pages; on Windows the smaller of the available
// physical memory and the process's available address space.
std::uint64_t availableMemoryBytes();

enum class StoreResult : int {
    stored,    // every copy appended
    full,      // the count limit (UINT32_MAX values) reached: later values are ignored
    noMemory,  // the values would not fit in the memory available: a refusal
};

class ValueStore {
public:
    // memoryBudget: bytes the vectors may take; 0 = decided by
    // availableMemoryBytes() whenever they have to grow.
    ValueStore(DataFileContents& contents, bool censored, std::uint64_t memoryBudget);

    // Appends `count` (at least 1) copies of the value, each marked suspended
    // or not; suspendedMarks counts every suspended copy. Copies beyond the
    // count limit are dropped (full). noMemory leaves the vectors as they were.
    StoreResult append(double value, bool suspended, std::uint64_t count);

    // Room for about `count` values in all, when the memory allows; only a
    // hint that saves growing step by step.
    void reserveHint(std::uint64_t count);

    std::uint64_t size() const { return contents_.times.size(); }

private:
    bool grow(std::uint64_t needed);

    DataFileContents& contents_;
    bool censored_;
    std::uint64_t memoryBudget_;
};

// The cause a refusal for memory gives.
extern const char noMemoryCause[];
