// The command line's large-block operators: blocks handed out, freed, kept
// and handed out again never overlap a block in use nor lose its contents.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// One step: allocate `mib` MiB into slot `slot`, or free the slot (mib 0).
struct Step {
    int slot;
    std::size_t mib;
};

struct Sequence {
    const char* name;
    std::vector<Step> steps;
};

// Every byte of a block holds its own tag, so that a block handed out
// twice, or too small for its request, shows as a changed byte.
void fill(std::uint8_t* block, std::size_t size, std::uint8_t tag) { std::memset(block, tag, size); }
bool holds(const std::uint8_t* block, std::size_t size, std::uint8_t tag) {
    for (std::size_t i = 0; i < size; i += 4096) {
        if (block[i] != tag || block[size - 1 - i] != tag) return false;
    }
    return true;
}

TEST(LargeBlocks, ReusedBlocksNeverOverlapBlocksInUse) {
    const Sequence sequences[] = {
        {"free then a smaller one", {{0, 8}, {1, 8}, {0, 0}, {2, 6}, {3, 8}, {1, 0}, {0, 10}}},
        {"growing like a vector", {{0, 4}, {1, 8}, {0, 0}, {0, 16}, {1, 0}, {1, 32}, {0, 0}, {0, 5}}},
        {"small and large mixed", {{0, 1}, {1, 9}, {2, 3}, {1, 0}, {3, 9}, {4, 9}, {2, 0}, {0, 0}, {2, 4}}},
        {"a block freed twice over the run", {{0, 6}, {0, 0}, {0, 6}, {0, 0}, {0, 6}, {1, 6}, {2, 6}}},
    };
    for (const Sequence& sequence : sequences) {
        std::unique_ptr<std::uint8_t[]> blocks[5];
        std::size_t sizes[5] = {};
        std::uint8_t tags[5] = {};
        std::uint8_t tag = 1;
        for (const Step& step : sequence.steps) {
            blocks[step.slot].reset();
            sizes[step.slot] = step.mib << 20;
            if (step.mib != 0) {
                blocks[step.slot].reset(new std::uint8_t[sizes[step.slot]]);
                tags[step.slot] = static_cast<std::uint8_t>(tag * 16 + step.slot);
                fill(blocks[step.slot].get(), sizes[step.slot], tags[step.slot]);
            }
            ++tag;
            for (int s = 0; s < 5; ++s) {
                if (!blocks[s]) continue;
                EXPECT_TRUE(holds(blocks[s].get(), sizes[s], tags[s]))
                    << sequence.name << ": slot " << s << " changed after step " << int(tag);
            }
        }
    }
}

}  // namespace
