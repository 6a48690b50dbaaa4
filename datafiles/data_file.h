// The data file: plain text with one failure time on each data line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct DataFileContents {
    bool opened = false;                  // false: not opened, not readable, or the values cannot be held in memory
    std::vector<double> times;            // every value, file order
    std::vector<std::uint8_t> suspended;  // censored reading only: 1 where the line's status word is S or s, else 0; same size as times. Empty when not censored.
    std::uint32_t suspendedMarks = 0;     // data lines whose status word is S or s (counted in both modes)
};

// Progress: called now and then (every few MB of text) with the count of values so far.
using ReadProgress = void (*)(std::uint64_t valuesSoFar, void* context);

// Reads the data file in one pass. A line whose first character after blanks
// and tabs is a digit, or a point or e/E followed by a digit, or the end of
// the text, gives one value (textToNumber of the line); other lines are
// skipped. Lines end with LF or CR LF; a Ctrl-Z byte ends the text; a UTF-8
// byte-order mark at the very start is skipped; lines are cut into pieces of
// at most 255 characters, each judged as a line of its own. The status word
// after the number (blanks or tabs, then S/s or F/f, then a blank, a tab or
// the end of the piece) marks a suspended line; lines without one are
// failures. At most UINT32_MAX values are read; later lines are ignored.
// A pipe or FIFO reads in the same single pass; a FIFO without a writer
// reads as empty. opened is false, and everything else empty, when the path
// cannot be opened, a read fails (a directory, for one) or the values
// cannot be held in memory.
DataFileContents readDataFile(const char* path, bool censored, ReadProgress progress = nullptr,
                              void* context = nullptr);

// The same reader with a chosen block size in bytes (at least 1), so that
// tests can put block boundaries where they like.
DataFileContents readDataFileInBlocks(const char* path, bool censored, std::size_t blockSize,
                                      ReadProgress progress, void* context);
