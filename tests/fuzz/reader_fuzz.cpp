// Differential fuzz target for the data file reader (libFuzzer).
//
// Each input is written to a temporary file and read by readDataFileInBlocks
// in both modes and at several block sizes; the results must equal, bit for
// bit, those of the deliberately plain reader below, written from the
// README's rules and sharing no code with the real one: it cooks the whole
// text byte by byte, cuts pieces with a counter, finds the number's end by
// its own scan and converts the number's characters with strtod (which
// rounds to nearest in glibc as std::from_chars does). Any difference aborts.
//
// Build and run: scripts/fuzz.sh [seconds]
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "datafiles/data_file.h"

namespace {

struct Expected {
    std::vector<double> times;
    std::vector<std::uint8_t> marks;
};

bool digit(char c) { return c >= '0' && c <= '9'; }
bool blank(char c) { return c == ' ' || c == '\t'; }
bool exponentLetter(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

// Text mode: a UTF-8 byte-order mark at the very start skipped, CR before LF
// dropped, Ctrl-Z ends the text.
std::string cook(const std::uint8_t* data, std::size_t size) {
    std::size_t i = 0;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) i = 3;
    std::string text;
    for (; i < size; ++i) {
        if (data[i] == 0x1A) break;
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n') continue;
        text.push_back(static_cast<char>(data[i]));
    }
    return text;
}

// One piece, already cut at its first NUL.
void judge(const std::string& piece, Expected& out) {
    const std::size_t n = piece.size();
    std::size_t k = 0;
    while (k < n && blank(piece[k])) ++k;
    const bool data = k == n || digit(piece[k]) ||
                      ((piece[k] == '.' || piece[k] == 'e' || piece[k] == 'E') && k + 1 < n && digit(piece[k + 1]));
    if (!data) return;

    std::string number;  // sign, mantissa, and the exponent when it has a digit
    std::size_t e = k;
    if (e < n && (piece[e] == '+' || piece[e] == '-')) number += piece[e++];
    bool point = false, mantissaDigit = false;
    for (; e < n && (digit(piece[e]) || (piece[e] == '.' && !point)); ++e) {
        point = point || piece[e] == '.';
        mantissaDigit = mantissaDigit || digit(piece[e]);
        number += piece[e];
    }
    if (e < n && exponentLetter(piece[e])) {
        std::size_t x = e + 1;
        std::string exponent = "e";
        if (x < n && (piece[x] == '+' || piece[x] == '-')) exponent += piece[x++];
        if (x < n && digit(piece[x])) {
            while (x < n && digit(piece[x])) exponent += piece[x++];
            number += exponent;
            e = x;
        }
    }
    out.times.push_back(mantissaDigit ? std::strtod(number.c_str(), nullptr) : 0.0);

    std::size_t w = e;
    while (w < n && blank(piece[w])) ++w;
    const bool suspended = w > e && w < n && (piece[w] == 'S' || piece[w] == 's') &&
                           (w + 1 == n || blank(piece[w + 1]) || piece[w + 1] == '\n');
    out.marks.push_back(suspended ? 1 : 0);
}

Expected plainRead(const std::uint8_t* data, std::size_t size) {
    const std::string text = cook(data, size);
    Expected out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t length = 0;
        while (length < 255 && start + length < text.size()) {
            ++length;
            if (text[start + length - 1] == '\n') break;
        }
        const std::string piece = text.substr(start, length);
        start += length;
        judge(piece.substr(0, piece.find('\0')), out);
    }
    return out;
}

std::string scratchPath() {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/tarquel_reader_fuzz_" + std::to_string(getpid()) + ".dat";
}

void fail(const char* what, std::size_t blockSize, bool censored) {
    std::fprintf(stderr, "reader differs from the plain reader: %s (block %zu, %s)\n", what, blockSize,
                 censored ? "censored" : "plain");
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = scratchPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);

    const Expected expected = plainRead(data, size);
    const auto marks = static_cast<std::uint32_t>(std::count(expected.marks.begin(), expected.marks.end(), 1));

    // Every boundary place (1), a held CR meeting the next block (2, 3), a
    // size taken from the input, and the real one. The small blocks cost a
    // system call each, so they are read in one mode only.
    const std::size_t chosen = 1 + static_cast<std::size_t>(size > 0 ? data[size / 2] : 0);
    const struct { std::size_t blockSize; bool censored; } reads[] = {
        {1, true}, {2, false}, {3, true}, {chosen, false}, {1u << 20, false}, {1u << 20, true}};
    for (const auto& [blockSize, censored] : reads) {
        const DataFileContents got = readDataFileInBlocks(path.c_str(), censored, blockSize, nullptr, nullptr);
        if (!got.opened) fail("not opened", blockSize, censored);
        if (got.times.size() != expected.times.size()) fail("count", blockSize, censored);
        if (!got.times.empty() &&
            std::memcmp(got.times.data(), expected.times.data(), got.times.size() * sizeof(double)) != 0) {
            fail("values", blockSize, censored);
        }
        if (got.suspended != (censored ? expected.marks : std::vector<std::uint8_t>{})) {
            fail("status words", blockSize, censored);
        }
        if (got.suspendedMarks != marks) fail("count of S marks", blockSize, censored);
    }
    return 0;
}
