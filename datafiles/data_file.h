// The data file: a plain text file with one failure time on each data line.
#pragma once

#include <cstdint>

// Size of the piece buffer: a piece holds at most 255 characters.
constexpr int pieceBufferSize = 256;

// True when the first character that is not a blank or a tab is a digit, a
// point or e/E followed by a digit, or the end of the text.
bool isDataLine(const char* piece);

// Reads the data file into analysisState.sample (file order, unsorted) and
// sets sampleLoaded. Returns the count; 0 and nothing changed when the file
// cannot be opened or its values cannot be held in memory.
std::uint32_t readDataFile(const char* path);
