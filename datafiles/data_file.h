// The data file: a plain text file with one failure time on each data line.
#pragma once

#include <cstdint>
#include <vector>

// Size of the piece buffer: a piece holds at most 255 characters.
constexpr int pieceBufferSize = 256;

// True when the first character that is not a blank or a tab is a digit, a
// point or e/E followed by a digit, or the end of the text.
bool isDataLine(const char* piece);

struct DataFileContents {
    bool opened = false;                  // false: not opened, not readable, or the values cannot be held in memory
    std::vector<double> times;            // every value, file order
    std::vector<std::uint8_t> suspended;  // censored reading only: 1 where the line's status word is S or s
    std::uint32_t suspendedMarks = 0;     // data lines whose status word is S or s (counted in both modes)
};

// Progress: called now and then with the count of values so far.
using ReadProgress = void (*)(std::uint64_t valuesSoFar, void* context);

// Reads the values of a data file, in file order.
DataFileContents readDataFile(const char* path, bool censored, ReadProgress progress = nullptr,
                              void* context = nullptr);
