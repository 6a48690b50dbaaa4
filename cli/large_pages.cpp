// Large blocks kept for reuse, on huge pages where Linux gives them.
//
// A fit of 10^6 values allocates about ten arrays of megabytes each (the
// times, the sort's scratch, the log tables, the plot ordinates, the
// search's logarithms), and each is written once, phase after phase. Memory
// the process has never touched is expensive to touch: a page fault per
// 4 KiB, and on a virtual machine the host backs each new page too. At 10^6
// values that was a third of the process's time. So a freed block of 512 KiB
// or more is kept and handed out again to the next request it can hold,
// instead of returning to the system and being faulted in afresh; on Linux
// such blocks are also aligned to 2 MiB and advised for transparent huge
// pages (one fault maps 2 MiB).
// Kept blocks never exceed the bytes of the blocks in use, which bounds what
// the reuse can add to the peak memory.
//
// This changes where values live, never what is computed. The replacement
// operators serve the command-line program (and its tests); every block
// comes from malloc or aligned_alloc, so free releases both kinds. A
// sanitizer build keeps the sanitizer's own operators, which check every
// block.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARQUEL_ADDRESS_SANITIZER 1
#endif
#endif
#if !defined(__SANITIZE_ADDRESS__) && !defined(TARQUEL_ADDRESS_SANITIZER)

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <mutex>
#include <new>
#include <span>

namespace {

constexpr std::size_t hugePage = std::size_t{2} << 20;
constexpr std::size_t largeBlock = std::size_t{512} << 10;

struct Block {
    void* start = nullptr;
    std::size_t size = 0;
};

// The large blocks handed out, and the freed ones kept. A block that finds
// no free slot in `live` is simply not tracked: its delete frees it.
struct LargeBlocks {
    std::mutex lock;
    std::array<Block, 64> live{};
    std::array<Block, 16> kept{};
    std::size_t liveBytes = 0;
    std::size_t keptBytes = 0;
    std::atomic<int> liveCount{0};
};

LargeBlocks& largeBlocks() {
    // Constructed on first use and never destroyed: operator delete may run
    // during the destruction of other statics.
    static LargeBlocks* blocks = new (std::malloc(sizeof(LargeBlocks))) LargeBlocks;
    return *blocks;
}

Block* slotOf(std::span<Block> slots, void* start) {
    for (Block& b : slots) {
        if (b.start == start) return &b;
    }
    return nullptr;
}

// The smallest kept block that holds `size` bytes, taken out of `kept`.
void* reuseKept(LargeBlocks& blocks, std::size_t size, std::size_t& capacity) {
    Block* best = nullptr;
    for (Block& b : blocks.kept) {
        if (b.start != nullptr && b.size >= size && (best == nullptr || b.size < best->size)) best = &b;
    }
    if (best == nullptr) return nullptr;
    void* start = best->start;
    capacity = best->size;
    blocks.keptBytes -= best->size;
    *best = Block{};
    return start;
}

void track(LargeBlocks& blocks, void* start, std::size_t size) {
    if (Block* slot = slotOf(blocks.live, nullptr)) {
        *slot = Block{start, size};
        blocks.liveBytes += size;
        blocks.liveCount.fetch_add(1, std::memory_order_relaxed);
    }
}

void* allocateLarge(std::size_t size) {
    // aligned_alloc wants a multiple of the alignment; the advice covers the
    // whole rounded block, which is ours alone.
    std::size_t rounded = (size + hugePage - 1) / hugePage * hugePage;
    if (rounded < size) return nullptr;
    LargeBlocks& blocks = largeBlocks();
    std::lock_guard<std::mutex> guard(blocks.lock);
    void* block = reuseKept(blocks, rounded, rounded);
    if (block == nullptr) {
#if defined(__linux__)
        block = std::aligned_alloc(hugePage, rounded);
        if (block == nullptr) return nullptr;
        // Only advice: a kernel without transparent huge pages ignores it.
        madvise(block, rounded, MADV_HUGEPAGE);
#else
        // Windows gives large pages only to a privileged account; the reuse
        // still saves the faults.
        block = std::malloc(rounded);
        if (block == nullptr) return nullptr;
#endif
    }
    track(blocks, block, rounded);
    return block;
}

void* allocate(std::size_t size) {
    if (size >= largeBlock) return allocateLarge(size);
    return std::malloc(size == 0 ? 1 : size);
}

void* allocateOrThrow(std::size_t size) {
    for (;;) {
        if (void* block = allocate(size)) return block;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

void release(void* start) {
    if (start == nullptr) return;
    LargeBlocks& blocks = largeBlocks();
    if (blocks.liveCount.load(std::memory_order_relaxed) > 0) {
        std::lock_guard<std::mutex> guard(blocks.lock);
        if (Block* slot = slotOf(blocks.live, start)) {
            const Block block = *slot;
            *slot = Block{};
            blocks.liveBytes -= block.size;
            blocks.liveCount.fetch_sub(1, std::memory_order_relaxed);
            Block* keep = slotOf(blocks.kept, nullptr);
            if (keep != nullptr && blocks.keptBytes <= blocks.liveBytes) {
                *keep = block;
                blocks.keptBytes += block.size;
                return;
            }
        }
    }
    std::free(start);
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }

#endif
