// The data file reader.
//
// One pass over the file in large binary blocks. The platform's text mode is
// emulated on each block, so the same bytes give the same values everywhere:
// a carriage return directly before a line feed is dropped (also when the
// two lie in different blocks), a lone one is kept, and a Ctrl-Z byte ends
// the text. A UTF-8 byte-order mark at the very start is skipped. The text is
// then cut into the pieces a 256-byte line buffer would give (at most 255
// characters, ending after a line feed), and each piece is judged as a line
// of its own, read as a C string (a NUL byte ends it).
//
// A piece that ends with its line feed is judged where it lies in the block:
// every scan stops at the line feed. Any other piece (cut at 255 characters,
// the last one of the text, or one that spans two blocks) is copied into a
// NUL-terminated buffer first. Each block is cooked in place and read once.
#include "datafiles/data_file.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "datafiles/number_text.h"

#ifdef _WIN32
#include <cstdio>
#include <sys/stat.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr char ctrlZ = 0x1A;
constexpr std::size_t pieceLength = 255;  // characters a 256-byte line buffer holds
constexpr std::size_t defaultBlockSize = std::size_t{1} << 20;
constexpr std::size_t byteOrderMarkLength = 3;
constexpr std::uint64_t progressInterval = std::uint64_t{4} << 20;  // bytes between reports
constexpr std::size_t maxValues = UINT32_MAX;
constexpr std::uint64_t unknownSize = UINT64_MAX;  // a pipe, a FIFO, a device

// ---- The file's bytes -------------------------------------------------------

#ifdef _WIN32

struct ByteSource {
    std::FILE* file;
};

bool openSource(const char* path, ByteSource& source) {
    source.file = std::fopen(path, "rb");
    return source.file != nullptr;
}

// Reads `size` bytes, fewer only at the end of the file; -1 on a read error.
std::ptrdiff_t readSource(ByteSource& source, char* to, std::size_t size) {
    const std::size_t got = std::fread(to, 1, size, source.file);
    if (got < size && std::ferror(source.file)) return -1;
    return static_cast<std::ptrdiff_t>(got);
}

// The size in bytes of a regular file; unknownSize for anything else.
std::uint64_t sourceSize(ByteSource& source) {
    struct _stati64 status;
    if (_fstati64(_fileno(source.file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) return unknownSize;
    return static_cast<std::uint64_t>(status.st_size);
}

void closeSource(ByteSource& source) { std::fclose(source.file); }

#else

struct ByteSource {
    int fd;
};

// Opened without blocking, so that a FIFO without a writer opens at once
// (and then reads as empty); the reads themselves block.
bool openSource(const char* path, ByteSource& source) {
    source.fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (source.fd < 0) return false;
    const int flags = ::fcntl(source.fd, F_GETFL);
    if (flags < 0 || ::fcntl(source.fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        ::close(source.fd);
        return false;
    }
    return true;
}

// Reads `size` bytes, fewer only at the end of the file (a pipe's short
// reads are joined); -1 on a read error (EISDIR for a directory).
std::ptrdiff_t readSource(ByteSource& source, char* to, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t r = ::read(source.fd, to + got, size - got);
        if (r > 0) {
            got += static_cast<std::size_t>(r);
        } else if (r == 0) {
            break;
        } else if (errno != EINTR) {
            return -1;
        }
    }
    return static_cast<std::ptrdiff_t>(got);
}

// The size in bytes of a regular file; unknownSize for anything else.
std::uint64_t sourceSize(ByteSource& source) {
    struct stat status;
    if (::fstat(source.fd, &status) != 0 || !S_ISREG(status.st_mode)) return unknownSize;
    return static_cast<std::uint64_t>(status.st_size);
}

void closeSource(ByteSource& source) { ::close(source.fd); }

#endif

// ---- One piece --------------------------------------------------------------

// What one piece gives.
struct PieceValue {
    bool data;         // a data line
    bool suspended;    // its status word is S or s
    double value;      // its number (data lines only)
    const char* stop;  // the judging ended here, at or before the first line feed or NUL
};

// True when the status word after the number is S or s: one or more blanks or
// tabs, the letter, then a blank, a tab, the line feed or the end of the
// piece. F or f (failed), no word and any other text all make a failure.
bool hasSuspendedMark(const char* numberEnd) {
    const char* word = skipBlanks(numberEnd);
    if (word == numberEnd || (*word != 'S' && *word != 's')) return false;
    const char after = word[1];
    return isBlank(after) || after == '\n' || after == '\0';
}

// Judges the piece at `piece`, which ends at its first line feed or NUL; no
// character beyond that one is read. A data line: the first character after
// blanks and tabs is a digit, a point or e/E followed by a digit, or the end
// of the piece.
PieceValue judgePiece(const char* piece) {
    const char* first = skipBlanks(piece);
    const char c = *first;
    const bool data = c == '\0' || isDigit(c) || ((c == '.' || c == 'e' || c == 'E') && isDigit(first[1]));
    if (!data) return {false, false, 0.0, first};
    const char* numberEnd = first;
    const double value = textToNumber(first, &numberEnd);
    return {true, hasSuspendedMark(numberEnd), value, numberEnd};
}

struct ValueSink {
    DataFileContents& contents;
    bool censored;
};

// Stores what a data piece gives. False once the count limit is reached.
bool store(const PieceValue& piece, ValueSink& sink) {
    if (!piece.data) return true;
    DataFileContents& contents = sink.contents;
    contents.times.push_back(piece.value);
    if (piece.suspended) ++contents.suspendedMarks;
    if (sink.censored) contents.suspended.push_back(piece.suspended ? 1 : 0);
    return contents.times.size() < maxValues;
}

// ---- Pieces across blocks ---------------------------------------------------

struct PieceCutter {
    char carry[pieceLength + 1];  // a piece being gathered, NUL-terminated when judged
    std::size_t carryLength = 0;
};

bool storeCarry(PieceCutter& cutter, ValueSink& sink) {
    cutter.carry[cutter.carryLength] = '\0';
    cutter.carryLength = 0;
    return store(judgePiece(cutter.carry), sink);
}

// Cuts the text [p, end) into pieces and stores what each complete one gives;
// the start of a piece that runs past `end` stays in the carry for the next
// block. *end must be a NUL (it bounds the in-place judging). False once the
// count limit is reached.
//
// A line that fits in a piece is judged in place first; its judgement holds
// when the line feed then found lies within the piece's 255 characters (the
// judging read nothing beyond the first line feed or NUL). Any other piece
// is copied into the carry and judged there.
bool cutPieces(PieceCutter& cutter, const char* p, const char* end, ValueSink& sink) {
    while (p < end) {
        const std::size_t room = pieceLength - cutter.carryLength;
        const std::size_t span = std::min(room, static_cast<std::size_t>(end - p));
        if (cutter.carryLength == 0) {
            const PieceValue piece = judgePiece(p);
            const char* lineFeed = nullptr;
            if (piece.stop < p + span) {
                lineFeed = *piece.stop == '\n' ? piece.stop
                                               : static_cast<const char*>(std::memchr(
                                                     piece.stop, '\n', static_cast<std::size_t>(p + span - piece.stop)));
            }
            if (lineFeed != nullptr) {
                if (!store(piece, sink)) return false;
                p = lineFeed + 1;
                continue;
            }
        }
        const char* lineFeed = static_cast<const char*>(std::memchr(p, '\n', span));
        const char* pieceEnd = lineFeed != nullptr ? lineFeed + 1 : p + span;
        const std::size_t length = static_cast<std::size_t>(pieceEnd - p);
        std::memcpy(cutter.carry + cutter.carryLength, p, length);
        cutter.carryLength += length;
        p = pieceEnd;
        if (lineFeed == nullptr && span < room) return true;  // the block ends inside the piece
        if (!storeCarry(cutter, sink)) return false;
    }
    return true;
}

// ---- Text mode --------------------------------------------------------------

// Drops every carriage return directly followed by a line feed in [text, end),
// in place; returns the new end.
char* dropCarriageReturns(char* text, char* end) {
    char* in = static_cast<char*>(std::memchr(text, '\r', static_cast<std::size_t>(end - text)));
    if (in == nullptr) return end;
    char* out = in;
    for (; in < end; ++in) {
        if (*in == '\r' && in + 1 < end && in[1] == '\n') continue;
        *out++ = *in;
    }
    return out;
}

bool startsWithByteOrderMark(const char* p, std::ptrdiff_t length) {
    return length >= 3 && static_cast<unsigned char>(p[0]) == 0xEF &&
           static_cast<unsigned char>(p[1]) == 0xBB && static_cast<unsigned char>(p[2]) == 0xBF;
}

// Reserves room for the values a regular file is likely to hold, judged from
// its first `firstBytes` bytes, so that the vectors need not grow (and copy)
// step by step: growing touches about twice the memory. Only a hint: when
// the room cannot be had, the vectors grow as they go.
void reserveByEstimate(ValueSink& sink, std::uint64_t fileSize, std::uint64_t firstBytes) {
    DataFileContents& contents = sink.contents;
    if (fileSize == unknownSize || fileSize <= firstBytes || contents.times.empty()) return;
    const double perByte = static_cast<double>(contents.times.size()) / static_cast<double>(firstBytes);
    const double estimate = perByte * static_cast<double>(fileSize) * 1.125;
    const std::size_t count =
        estimate < static_cast<double>(maxValues) ? static_cast<std::size_t>(estimate) : maxValues;
    try {
        contents.times.reserve(count);
        if (sink.censored) contents.suspended.reserve(count);
    } catch (const std::bad_alloc&) {
        // No room for the estimate: growth step by step may still succeed.
    }
}

// Reads the whole text into the sink; false on a read error.
bool readText(ByteSource& source, std::size_t blockSize, ValueSink& sink, ReadProgress progress,
              void* context) {
    // A small regular file gets a block one byte longer than itself, so that
    // the first read already meets its end (if it has grown meanwhile, the
    // rest comes in further blocks of that size).
    const std::uint64_t fileSize = sourceSize(source);
    if (fileSize < blockSize) blockSize = static_cast<std::size_t>(fileSize) + 1;
    blockSize = std::max(blockSize, std::size_t{1});
    // The first block is long enough to hold the whole byte-order mark.
    std::size_t request = std::max(blockSize, byteOrderMarkLength);
    // buffer[0] takes back a held carriage return; one byte after the block
    // takes the NUL that ends the text for the judging.
    std::vector<char> buffer(request + 2);
    char* const block = buffer.data() + 1;
    PieceCutter cutter;
    bool heldReturn = false;  // the previous block ended with a carriage return
    bool firstBlock = true;
    std::uint64_t sinceProgress = 0;
    for (;;) {
        const std::ptrdiff_t got = readSource(source, block, request);
        if (got < 0) return false;
        char* text = block;
        char* end = block + got;
        bool ended = static_cast<std::size_t>(got) < request;
        if (firstBlock && startsWithByteOrderMark(text, got)) text += byteOrderMarkLength;
        request = blockSize;
        if (heldReturn && (text == end || *text != '\n')) *--text = '\r';
        heldReturn = false;
        char* const stop = static_cast<char*>(std::memchr(text, ctrlZ, static_cast<std::size_t>(end - text)));
        if (stop != nullptr) {
            end = stop;
            ended = true;
        }
        if (!ended && end > text && end[-1] == '\r') {  // its line feed may start the next block
            --end;
            heldReturn = true;
        }
        end = dropCarriageReturns(text, end);
        *end = '\0';
        if (!cutPieces(cutter, text, end, sink)) return true;
        if (firstBlock && !ended) reserveByEstimate(sink, fileSize, static_cast<std::uint64_t>(got));
        firstBlock = false;
        if (ended) {
            if (cutter.carryLength > 0) storeCarry(cutter, sink);
            return true;
        }
        sinceProgress += static_cast<std::uint64_t>(got);
        if (progress != nullptr && sinceProgress >= progressInterval) {
            progress(sink.contents.times.size(), context);
            sinceProgress = 0;
        }
    }
}

}  // namespace

DataFileContents readDataFileInBlocks(const char* path, bool censored, std::size_t blockSize,
                                      ReadProgress progress, void* context) {
    DataFileContents contents;
    ByteSource source;
    if (!openSource(path, source)) return contents;
    ValueSink sink{contents, censored};
    bool readable = false;
    // The vectors report a failed allocation by std::bad_alloc; it is turned
    // into a refusal here and goes no further.
    try {
        readable = readText(source, blockSize, sink, progress, context);
    } catch (const std::bad_alloc&) {
        readable = false;
    }
    closeSource(source);
    if (!readable) return DataFileContents{};
    contents.opened = true;
    return contents;
}

DataFileContents readDataFile(const char* path, bool censored, ReadProgress progress, void* context) {
    return readDataFileInBlocks(path, censored, defaultBlockSize, progress, context);
}
