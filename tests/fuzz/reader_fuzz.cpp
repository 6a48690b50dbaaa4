// Differential fuzz target for the data file and table readers (libFuzzer).
//
// Each input is written to a temporary file and read by the line reader in
// both modes and at several block sizes; the results must equal, bit for
// bit, those of the deliberately plain reader below, written from the
// README's rules and sharing no code with the real one: it cooks the whole
// text byte by byte, cuts pieces with a counter, finds the number's end by
// its own scan and converts the number's characters with strtod (which
// rounds to nearest in glibc as std::from_chars does).
//
// The table reader gets the input twice. As it stands, with a few column
// choices: it must come back with either values or a cause. And as the
// number-like words of the input written into tables of every delimiter,
// quoted or not, with decimal points or commas: when every word is wholly
// a number, the table must give the plain reader's values of the words
// written one per line, bit for bit; else it must be refused with the
// line named. Any difference aborts.
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
#include "datafiles/data_table.h"

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

// The length of the unsigned number at the start of `word` by the scan in
// judge(), or 0 when it does not start with a digit or a point and a digit.
std::size_t numberLength(const std::string& word) {
    const std::size_t n = word.size();
    if (n == 0 || !(digit(word[0]) || (word[0] == '.' && n > 1 && digit(word[1])))) return 0;
    std::size_t e = 0;
    bool point = false;
    for (; e < n && (digit(word[e]) || (word[e] == '.' && !point)); ++e) point = point || word[e] == '.';
    if (e < n && exponentLetter(word[e])) {
        std::size_t x = e + 1;
        if (x < n && (word[x] == '+' || word[x] == '-')) ++x;
        if (x < n && digit(word[x])) {
            while (x < n && digit(word[x])) ++x;
            e = x;
        }
    }
    return e;
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

void writeFile(const std::string& path, const void* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

DataFileContents readTable(const std::string& path, const char* column, const char* status, const char* count,
                           char delimiter, bool decimalComma, std::size_t blockSize) {
    const ReadOptions options{.censored = *status != '\0',
                              .column = column,
                              .delimiter = delimiter,
                              .statusColumn = status,
                              .countColumn = count,
                              .decimalComma = decimalComma};
    return readDataTable(path.c_str(), options, {.blockSize = blockSize}, nullptr, nullptr);
}

// The input as a table: values or a cause, never both or neither.
void readRawTable(const std::string& path) {
    const char* columns[][3] = {{"1", "", ""}, {"2", "1", ""}, {"1", "2", "3"}, {"time", "", ""}};
    for (const auto& [column, status, count] : columns) {
        for (const bool decimalComma : {false, true}) {
            const DataFileContents got = readTable(path, column, status, count, '\0', decimalComma, 7);
            if (got.opened != got.cause.empty() || (!got.opened && !got.times.empty())) {
                std::fprintf(stderr, "table reader: neither values nor a cause, or both\n");
                std::abort();
            }
        }
    }
}

// The input's number-like words as tables in every form, against the plain
// reader of the same words one per line.
void readWordTables(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words;
    std::string word;
    for (std::size_t i = 0; i <= size && words.size() < 64; ++i) {
        const char c = i < size ? static_cast<char>(data[i]) : ' ';
        // A word shorter than a line piece (255 characters), so that it is one
        // line of the plain file.
        if (std::strchr("0123456789.eEdD+-", c) != nullptr && c != '\0' && word.size() < 254) {
            word.push_back(c);
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    std::string plain;
    bool allNumbers = true;
    for (const std::string& w : words) {
        plain += w + "\n";
        allNumbers = allNumbers && numberLength(w) == w.size();
    }
    const Expected expected = plainRead(reinterpret_cast<const std::uint8_t*>(plain.data()), plain.size());
    for (const char delimiter : {',', ';', '\t'}) {
        for (int form = 0; form < 4; ++form) {
            const bool quoted = (form & 1) != 0, decimalComma = (form & 2) != 0 && delimiter != ',';
            std::string table = std::string("id") + delimiter + "time\r\n";
            for (std::size_t i = 0; i < words.size(); ++i) {
                std::string cell = words[i];
                if (decimalComma) std::replace(cell.begin(), cell.end(), '.', ',');
                if (quoted) cell = "\"" + cell + "\"";
                table += std::to_string(i + 1) + delimiter + cell + (i % 2 == 0 ? "\n" : "\r\n");
            }
            writeFile(path, table.data(), table.size());
            const DataFileContents got = readTable(path, "time", "", "", '\0', decimalComma, 1 + size % 13);
            const bool same = got.opened && got.times.size() == expected.times.size() &&
                              (got.times.empty() || std::memcmp(got.times.data(), expected.times.data(),
                                                                got.times.size() * sizeof(double)) == 0);
            if (allNumbers ? !same : (got.opened || got.cause.compare(0, 5, "line ") != 0)) {
                std::fprintf(stderr, "table reader differs from the plain reader (delimiter %d, form %d): %s\n",
                             delimiter, form, got.cause.c_str());
                std::abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = scratchPath();
    writeFile(path, data, size);

    const Expected expected = plainRead(data, size);
    const auto marks = static_cast<std::uint32_t>(std::count(expected.marks.begin(), expected.marks.end(), 1));

    // Every boundary place (1), a held CR meeting the next block (2, 3), a
    // size taken from the input, and the real one. The small blocks cost a
    // system call each, so they are read in one mode only.
    const std::size_t chosen = 1 + static_cast<std::size_t>(size > 0 ? data[size / 2] : 0);
    const struct {
        std::size_t blockSize;
        bool censored;
    } reads[] = {{1, true}, {2, false}, {3, true}, {chosen, false}, {1u << 20, false}, {1u << 20, true}};
    for (const auto& [blockSize, censored] : reads) {
        ReadOptions options;
        options.censored = censored;
        const DataFileContents got = readLinesWith(path.c_str(), options, {.blockSize = blockSize}, nullptr, nullptr);
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
    readRawTable(path);
    readWordTables(path, data, size);
    return 0;
}
