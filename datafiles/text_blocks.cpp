// The file's bytes in blocks, cooked in place into text.
#include "datafiles/text_blocks.h"

#include <algorithm>
#include <cstring>

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
constexpr std::size_t byteOrderMarkLength = 3;

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
    return length >= 3 && static_cast<unsigned char>(p[0]) == 0xEF && static_cast<unsigned char>(p[1]) == 0xBB &&
           static_cast<unsigned char>(p[2]) == 0xBF;
}

#ifdef _WIN32

std::FILE* fileOf(void* file) { return static_cast<std::FILE*>(file); }

#else

// Reads `size` bytes, fewer only at the end of the file (a pipe's short
// reads are joined); -1 on a read error (EISDIR for a directory).
std::ptrdiff_t readFully(int fd, char* to, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t r = ::read(fd, to + got, size - got);
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

#endif

}  // namespace

#ifdef _WIN32

bool TextBlocks::open(const char* path, std::size_t blockSize) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    file_ = file;
    struct _stati64 status;
    if (_fstati64(_fileno(file), &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFREG) {
        fileSize_ = static_cast<std::uint64_t>(status.st_size);
    }
    blockSize_ = blockSize;
    return true;
}

TextBlocks::~TextBlocks() {
    if (file_ != nullptr) std::fclose(fileOf(file_));
}

#else

// Opened without blocking, so that a FIFO without a writer opens at once
// (and then reads as empty); the reads themselves block.
bool TextBlocks::open(const char* path, std::size_t blockSize) {
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    struct stat status;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) fileSize_ = static_cast<std::uint64_t>(status.st_size);
    blockSize_ = blockSize;
    return true;
}

TextBlocks::~TextBlocks() {
    if (fd_ >= 0) ::close(fd_);
}

#endif

bool TextBlocks::next(char*& text, char*& end, bool& ended) {
    if (firstBlock_) {
        // A small regular file gets a block one byte longer than itself, so
        // that the first read already meets its end (if it has grown
        // meanwhile, the rest comes in further blocks of that size).
        if (fileSize_ < blockSize_) blockSize_ = static_cast<std::size_t>(fileSize_) + 1;
        blockSize_ = std::max(blockSize_, std::size_t{1});
        // The first block is long enough to hold the whole byte-order mark.
        request_ = std::max(blockSize_, byteOrderMarkLength);
        // buffer[0] takes back a held carriage return; one byte after the
        // block takes the NUL that ends the text.
        buffer_.assign(request_ + 2, '\0');
    }
    char* const block = buffer_.data() + 1;
#ifdef _WIN32
    std::size_t read = std::fread(block, 1, request_, fileOf(file_));
    if (read < request_ && std::ferror(fileOf(file_))) return false;
    const auto got = static_cast<std::ptrdiff_t>(read);
#else
    const std::ptrdiff_t got = readFully(fd_, block, request_);
    if (got < 0) return false;
#endif
    bytesRead_ += static_cast<std::uint64_t>(got);
    text = block;
    end = block + got;
    ended = static_cast<std::size_t>(got) < request_;
    if (firstBlock_ && startsWithByteOrderMark(text, got)) text += byteOrderMarkLength;
    firstBlock_ = false;
    request_ = blockSize_;
    if (heldReturn_ && (text == end || *text != '\n')) *--text = '\r';
    heldReturn_ = false;
    char* const stop = static_cast<char*>(std::memchr(text, ctrlZ, static_cast<std::size_t>(end - text)));
    if (stop != nullptr) {
        end = stop;
        ended = true;
    }
    if (!ended && end > text && end[-1] == '\r') {  // its line feed may start the next block
        --end;
        heldReturn_ = true;
    }
    end = dropCarriageReturns(text, end);
    *end = '\0';
    return true;
}
