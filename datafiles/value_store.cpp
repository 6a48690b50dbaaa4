// The values' vectors, grown within the memory available.
//
// Growth is done here rather than by push_back, so that each new size is
// checked before it is asked for: a new block of B bytes is taken only when
// B is at most three quarters of the memory available, less 64 MiB, which
// leaves room for the rest of the run (sorting, the passes, the report).
// The vectors grow by half their size each time (by an eighth near the
// limit), so the check runs a few dozen times over a whole file.
#include "datafiles/value_store.h"

#include <algorithm>
#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <fstream>
#include <string>
#endif

const char noMemoryCause[] = "the values would not fit in the memory available";

namespace {

constexpr std::uint64_t maxValues = UINT32_MAX;
constexpr std::uint64_t headroomBytes = std::uint64_t{64} << 20;
constexpr std::uint64_t firstCapacity = 1024;

#ifndef _WIN32

// The number after `key` in a /proc or cgroup file; false when absent.
bool numberAfter(const char* path, const std::string& key, std::uint64_t& value) {
    std::ifstream file(path);
    std::string word;
    while (file >> word) {
        if (word == key) return static_cast<bool>(file >> value);
    }
    return false;
}

#endif

}  // namespace

#ifdef _WIN32

std::uint64_t availableMemoryBytes() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 0;
    return std::min<std::uint64_t>(status.ullAvailPhys, status.ullAvailVirtual);
}

#else

std::uint64_t availableMemoryBytes() {
    std::uint64_t available = 0;
    std::uint64_t kibibytes = 0;
    if (numberAfter("/proc/meminfo", "MemAvailable:", kibibytes)) {
        available = kibibytes * 1024;
    } else {
        const long pages = ::sysconf(_SC_AVPHYS_PAGES);
        const long pageSize = ::sysconf(_SC_PAGESIZE);
        if (pages > 0 && pageSize > 0)
            available = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    }
    // A control group's limit (a container) may be below the machine's.
    std::uint64_t limit = 0;
    std::uint64_t used = 0;
    std::ifstream maxFile("/sys/fs/cgroup/memory.max");
    if (maxFile >> limit && numberAfter("/sys/fs/cgroup/memory.stat", "anon", used)) {
        available = std::min(available, limit > used ? limit - used : 0);
    }
    return available;
}

#endif

ValueStore::ValueStore(DataFileContents& contents, bool censored, std::uint64_t memoryBudget)
    : contents_(contents), censored_(censored), memoryBudget_(memoryBudget) {}

// Room for `needed` values: true when it is there or could be had.
bool ValueStore::grow(std::uint64_t needed) {
    const std::uint64_t capacity = contents_.times.capacity();
    if (needed <= capacity) return true;
    const std::uint64_t bytesPerValue = sizeof(double) + (censored_ ? 1 : 0);
    std::uint64_t limit = memoryBudget_;
    if (limit == 0) {
        const std::uint64_t available = availableMemoryBytes() / 4 * 3;
        limit = available > headroomBytes ? available - headroomBytes : 0;
    }
    const std::uint64_t wide = std::max({needed, capacity + capacity / 2, firstCapacity});
    const std::uint64_t narrow = std::max(needed, capacity + capacity / 8);
    for (std::uint64_t count : {wide, narrow}) {
        count = std::min(count, maxValues);
        if (count > limit / bytesPerValue) continue;
        try {
            contents_.times.reserve(static_cast<std::size_t>(count));
            if (censored_) contents_.suspended.reserve(static_cast<std::size_t>(count));
            return true;
        } catch (const std::bad_alloc&) {
            // The address space is short of a block this long: try a smaller one.
        }
    }
    return false;
}

StoreResult ValueStore::append(double value, bool suspended, std::uint64_t count) {
    const std::uint64_t size = contents_.times.size();
    if (count == 1 && size < contents_.times.capacity()) {  // the common case: one value, room for it
        contents_.times.push_back(value);
        if (censored_) contents_.suspended.push_back(suspended ? 1 : 0);
        if (suspended) ++contents_.suspendedMarks;
        return size + 1 < maxValues ? StoreResult::stored : StoreResult::full;
    }
    const std::uint64_t copies = std::min(count, maxValues - size);
    if (!grow(size + copies)) return StoreResult::noMemory;
    contents_.times.insert(contents_.times.end(), static_cast<std::size_t>(copies), value);
    if (censored_)
        contents_.suspended.insert(contents_.suspended.end(), static_cast<std::size_t>(copies), suspended ? 1 : 0);
    if (suspended) contents_.suspendedMarks += static_cast<std::uint32_t>(copies);  // at most UINT32_MAX values in all
    return size + copies < maxValues ? StoreResult::stored : StoreResult::full;
}

void ValueStore::reserveHint(std::uint64_t count) {
    std::uint64_t limit = memoryBudget_ != 0 ? memoryBudget_ : availableMemoryBytes() / 2;
    const std::uint64_t bytesPerValue = sizeof(double) + (censored_ ? 1 : 0);
    count = std::min({count, maxValues, limit / bytesPerValue});
    if (count <= contents_.times.capacity()) return;
    try {
        contents_.times.reserve(static_cast<std::size_t>(count));
        if (censored_) contents_.suspended.reserve(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        // Only a hint: the vectors grow as they go.
    }
}
