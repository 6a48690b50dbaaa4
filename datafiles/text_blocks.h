// A data file's text in large blocks, with the platform's text mode
// emulated, so that the same bytes give the same text everywhere: a carriage
// return directly before a line feed is dropped (also when the two lie in
// different blocks), a lone one is kept, a Ctrl-Z byte ends the text, and a
// UTF-8 byte-order mark at the very start is skipped. Shared by the line
// reader and the table reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr std::uint64_t unknownFileSize = UINT64_MAX;  // a pipe, a FIFO, a device

class TextBlocks {
public:
    TextBlocks() = default;
    TextBlocks(const TextBlocks&) = delete;
    TextBlocks& operator=(const TextBlocks&) = delete;
    ~TextBlocks();

    // Opens the file; false when it cannot be opened. A FIFO without a
    // writer opens at once and reads as empty.
    bool open(const char* path, std::size_t blockSize);

    // The next block of text: [text, end), with a writable NUL at *end.
    // False on a read error (a directory, for one). `ended` says it is the
    // last block (the end of the file or a Ctrl-Z).
    bool next(char*& text, char*& end, bool& ended);

    std::uint64_t fileSize() const { return fileSize_; }  // bytes of a regular file, else unknownFileSize
    std::uint64_t bytesRead() const { return bytesRead_; }

private:
    std::vector<char> buffer_;
    std::size_t blockSize_ = 0;
    std::size_t request_ = 0;
    std::uint64_t fileSize_ = unknownFileSize;
    std::uint64_t bytesRead_ = 0;
    bool heldReturn_ = false;  // the previous block ended with a carriage return
    bool firstBlock_ = true;
#ifdef _WIN32
    void* file_ = nullptr;
#else
    int fd_ = -1;
#endif
};
