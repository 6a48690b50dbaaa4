// The data file reader on real files: which lines carry a value, the value
// and status word each gives, text-mode line ends across block boundaries,
// Ctrl-Z, the byte-order mark, 255-character pieces and refusals. (Pipes:
// tests/cli_test.sh.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "datafiles/data_file.h"
#include "tests/test_support.h"

namespace {

std::string blanks(std::size_t n) { return std::string(n, ' '); }

DataFileContents readInBlocks(const std::string& path, bool censored, std::size_t blockSize, bool counts = false,
                              std::uint64_t memoryBudget = 0, std::uint64_t* judged = nullptr) {
    ReadOptions options;
    options.censored = censored;
    options.counts = counts;
    return readLinesWith(path.c_str(), options,
                         {.blockSize = blockSize, .memoryBudget = memoryBudget, .judgedCharacters = judged}, nullptr,
                         nullptr);
}

std::string repeated(const std::string& text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += text;
    return out;
}

struct FileRow {
    const char* name;
    std::string bytes;
    std::vector<double> values;  // in file order
    std::string marks;           // '1' where the status word is S or s; "" when none is
};

const std::vector<FileRow> fileRows = {
    {"empty", "", {}, ""},
    {"headings only", "Failure times\n\n   \n\t\n# hours\n\r\n", {}, ""},
    {"plain", "10\n20\n35\n", {10, 20, 35}, ""},
    {"leading blanks", " 12.5\n\t7\n", {12.5, 7}, ""},
    {"signs skipped", "1\n-2\n+3\n  -2\n\t+3\n4\n", {1, 4}, ""},
    {"points", ".5\n5.\n.x\n.\n.e\n", {0.5, 5}, ""},
    {"exponent letter first", "e5\nex\nE7\nd1\n", {0, 0}, ""},
    {"exponents", "1e5\n1.5d2\n2E-1\n1e\n", {100000, 150, 0.2, 1}, ""},
    {"trailing text", "12abc\n1,5\n3 4 5\n0x10\n", {12, 1, 3, 0}, ""},
    {"beyond a double", "1e999\n-0\n", {HUGE_VAL}, ""},
    // Text mode: CR LF, a kept lone CR, Ctrl-Z, the last line, the byte-order mark.
    {"crlf", "1\r\n2\r\n3\r\n", {1, 2, 3}, ""},
    {"lone cr kept", "1\r2\n", {1}, ""},
    {"cr cr lf", "1\r\r\n\r\r\n2\n", {1, 2}, ""},
    {"lone cr, then ctrl-z", "1\r\x1a\n5\n", {1}, ""},
    {"ctrl-z ends the text", "1\n2\n\0323\n4\n", {1, 2}, ""},
    {"last line without lf", "1\n2", {1, 2}, ""},
    {"blank last line without lf", "1\n   ", {1, 0}, ""},
    {"blank last line with lf", "1\n   \n", {1}, ""},
    {"utf-8 byte-order mark", "\357\273\2778\n9\n", {8, 9}, ""},  // octal: EF BB BF
    {"byte-order mark later", "8\n\357\273\2779\n", {8}, ""},
    {"part of a mark", "\357\2738\n9\n", {9}, ""},
    {"high bytes", "\2401\n2\n", {2}, ""},
    {"nul ends the piece", std::string("\0005\n4\0x\n", 7), {0, 4}, ""},
    // Pieces of at most 255 characters.
    {"300 blanks", blanks(300) + "\n7\n", {0, 7}, ""},
    {"255 blanks", blanks(255) + "\n7\n", {0, 7}, ""},
    {"254 characters and lf", blanks(253) + "7\n3\n", {7, 3}, ""},
    {"text then a value in one line", std::string(255, 'x') + "8\n", {8}, ""},
    {"digits cut at 255", std::string(254, '0') + "15\n", {1, 5}, ""},
    // Status words.
    {"status words", "10 S\n20 F\n30\n40 s\n50 f\n", {10, 20, 30, 40, 50}, "10010"},
    {"status between tabs", "10\tS\t\n20 \t F \n", {10, 20}, "10"},
    {"status then a remark", "10 S  last seen\n20 F x\n", {10, 20}, "10"},
    {"status word needs a blank", "10S\n20s\n", {10, 20}, "00"},
    {"other text is a failure", "1475 h\n10 Sx\n10 h S\n10 \"S\"\n", {1475, 10, 10, 10}, "0000"},
    {"status at the end of the text", "1e5 s", {100000}, "1"},
    {"status before a nul", std::string("10 S\0x\n", 7), {10}, "1"},
    {"status before cr lf", "10 S\r\n20 S\r5\n", {10, 20}, "10"},
    {"exponent letter is text", "1e S\n1e1 S\n", {1, 10}, "01"},
    {"status at the end of a piece", blanks(252) + "1 S\n", {1}, "1"},
    {"status in the next piece", blanks(253) + "1 S\n", {1}, "0"},
};

// Small blocks put a block boundary at every place of these short files.
const std::size_t blockSizes[] = {1, 2, 3, 7, 1u << 20};

TEST(DataFile, ValuesAndStatusWords) {
    for (const FileRow& row : fileRows) {
        const std::string path = tempFileWith("values.dat", row.bytes);
        std::vector<std::uint8_t> marks(row.values.size(), 0);
        for (std::size_t i = 0; i < row.marks.size(); ++i) marks[i] = row.marks[i] == '1';
        const std::uint32_t markCount = static_cast<std::uint32_t>(std::count(marks.begin(), marks.end(), 1));
        for (const std::size_t blockSize : blockSizes) {
            for (const bool censored : {false, true}) {
                const DataFileContents c = readInBlocks(path, censored, blockSize);
                SCOPED_TRACE(std::string(row.name) + ", block " + std::to_string(blockSize) +
                             (censored ? ", censored" : ""));
                EXPECT_TRUE(c.opened);
                EXPECT_EQ(c.times, row.values);
                EXPECT_EQ(c.suspended, censored ? marks : std::vector<std::uint8_t>{});
                EXPECT_EQ(c.suspendedMarks, markCount);
            }
        }
    }
}

// 5 MiB of numbered suspended lines ending in CR LF: values in order across
// 1 MiB blocks, progress reported every 4 MiB. (A CR LF split by a block
// boundary: the small blocks above put one at every place.)
TEST(DataFile, FileOfManyBlocks) {
    std::string text = "Times\r\n";
    std::uint32_t n = 0;
    while (text.size() < std::size_t{5} << 20) text += std::to_string(++n) + " S\r\n";
    const std::string path = tempFileWith("blocks.dat", text);
    std::vector<std::uint64_t> reports;
    auto record = [](std::uint64_t valuesSoFar, void* to) {
        static_cast<std::vector<std::uint64_t>*>(to)->push_back(valuesSoFar);
    };
    const DataFileContents c = readDataFile(path.c_str(), true, record, &reports);
    ASSERT_EQ(c.times.size(), n);
    for (std::uint32_t i = 0; i < n; ++i) ASSERT_EQ(c.times[i], i + 1) << "line " << i + 1;
    EXPECT_EQ(c.suspendedMarks, n);
    EXPECT_EQ(c.suspended, std::vector<std::uint8_t>(n, 1));
    EXPECT_TRUE(!reports.empty() && std::is_sorted(reports.begin(), reports.end()) && reports.back() < n);
}

// Long runs without a line feed: each 255-character piece is judged within
// itself, so the characters the judging reads stay within the text's length
// (judging each piece up to the end of its block read 2e9 of them here).
TEST(DataFile, WorkIsLinearInTheText) {
    const std::size_t pieces = 4112;  // 255 x 4112: just under a block of 1 MiB
    const struct {
        const char* name;
        std::string text;
        std::vector<double> values;
    } rows[] = {
        {"blanks", blanks(255 * pieces) + "\n", std::vector<double>(pieces, 0.0)},
        {"digits", repeated(std::string("1").append(254, '0'), pieces), std::vector<double>(pieces, 1e254)},
        {"text", std::string(255 * pieces, 'x') + "\n", {}},
    };
    for (const auto& row : rows) {
        const std::string path = tempFileWith("long.dat", row.text);
        for (const std::size_t blockSize : {std::size_t{1} << 20, std::size_t{4000}}) {
            std::uint64_t judged = 0;
            const DataFileContents c = readInBlocks(path, false, blockSize, false, 0, &judged);
            EXPECT_EQ(c.times, row.values) << row.name << ", block " << blockSize;
            EXPECT_LE(judged, row.text.size()) << row.name << ", block " << blockSize;
        }
    }
}

// With counts, a file reads bit for bit as the same file with each counted
// line written out count times.
TEST(DataFile, Counts) {
    const struct {
        const char* counted;
        const char* written;
    } rows[] = {
        {"1500 3 S\n10\n20 2 F\n", "1500 S\n1500 S\n1500 S\n10\n20 F\n20 F\n"},
        {"Times\n0.1 2\t\n\n1e-5\t1 s \r\n-4 5\n", "Times\n0.1\n0.1\n\n1e-5 s\n"},
        {"7.25d1 1\n3 S\n", "72.5\n3 S\n"},
    };
    for (const auto& row : rows) {
        const std::string counted = tempFileWith("counted.dat", row.counted);
        const std::string written = tempFileWith("written.dat", row.written);
        for (const bool censored : {false, true}) {
            const DataFileContents got = readInBlocks(counted, censored, 3, true);
            const DataFileContents want = readInBlocks(written, censored, 3);
            ASSERT_TRUE(got.opened) << row.counted << got.cause;
            EXPECT_TRUE(std::equal(got.times.begin(), got.times.end(), want.times.begin(), want.times.end(), sameBits))
                << row.counted;
            EXPECT_EQ(got.suspended, want.suspended) << row.counted;
            EXPECT_EQ(got.suspendedMarks, want.suspendedMarks) << row.counted;
        }
    }
}

// Files refused with their cause: not opened; values that would not fit in
// the memory available, whatever the source (within it, read as before);
// counts that are none (the cause names the line and its text, a control
// character shown as ?).
TEST(DataFile, Refused) {
    const std::string lines = repeated("5\n", 2000),
                      countCause = "' is not a value, then a count (a whole number above 0) and a status word";
    const struct {
        std::string path;  // "": a file of `text`
        std::string text;
        bool counts;
        std::uint64_t budget;
        std::size_t blockSize;
        std::string cause;  // "": read
    } rows[] = {
        {uniqueTempPath("no such file.dat"), "", false, 0, 1u << 20, "the file cannot be opened"},
#ifndef _WIN32
        {::testing::TempDir(), "", false, 0, 1u << 20, "the file cannot be read"},
        {"/dev/zero", "", false, 1u << 20, 1u << 20, "the values would not fit in the memory available"},
#endif
        {"", lines, false, 1u << 20, 1u << 20, ""},
        {"", lines, false, 8000, 1u << 20, "the values would not fit in the memory available"},
        {"", "5 1000000\n", true, 1u << 20, 1u << 20, "the values would not fit in the memory available"},
        {"", "5 100000\n", true, 1u << 20, 1u << 20, ""},
        {"", "5 99999999999999999999999\n", true, 1u << 20, 1u << 20,
         "the values would not fit in the memory available"},
        {"", "1\n1500 x\n", true, 0, 2, "line 2: '1500 x" + countCause},
        {"", "1500 0\n", true, 0, 2, "line 1: '1500 0" + countCause},
        {"", "h\r\n\r\n1500 12.5\r\n", true, 0, 2, "line 3: '1500 12.5" + countCause},
        {"", "1500 12 S x\n", true, 0, 2, "line 1: '1500 12 S x" + countCause},
        {"", "1500 S 12\n", true, 0, 2, "line 1: '1500 S 12" + countCause},
        {"", "1500h\n", true, 0, 2, "line 1: '1500h" + countCause},
        {"", "1e 3\n", true, 0, 2, "line 1: '1e 3" + countCause},
        {"", "1,250\n", true, 0, 2, "line 1: '1,250" + countCause},
        {"", "1\t\x01\n", true, 0, 2, "line 1: '1\t?" + countCause},
    };
    for (const auto& row : rows) {
        const std::string path = row.path.empty() ? tempFileWith("refused.dat", row.text) : row.path;
        for (const std::size_t blockSize : {row.blockSize, std::size_t{1} << 20}) {
            const DataFileContents c = readInBlocks(path, true, blockSize, row.counts, row.budget);
            EXPECT_EQ(c.opened, row.cause.empty()) << row.path << row.text << " block " << blockSize;
            EXPECT_EQ(c.cause, row.cause) << row.path << row.text << " block " << blockSize;
            EXPECT_EQ(c.times.empty(), !row.cause.empty()) << row.path << row.text << " block " << blockSize;
        }
    }
}

// What the line reader passed over: counted, with the first line of each
// kind, without changing the values read.
TEST(DataFile, PassedOver) {
    using Notes = std::vector<std::uint64_t>;  // lines and first line of: several fields, separator numbers, headings,
                                               // text among values, signed numbers
    const struct {
        const char* text;
        Notes notes;
    } rows[] = {
        {"1,1250,F\n2;3\n4 , 5\n10,S\n", {4, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"x\n1,250\n12,5\n1,250,000\n1,250.5\n1.5,2\n", {1, 6, 4, 2, 1, 1, 0, 0, 0, 0}},
        {"Title\n# unit\n\n  \n5\nnote\n6\n", {0, 0, 0, 0, 2, 1, 1, 6, 0, 0}},
        {"-3\n+4\n-.5\n-x\n+\n5\n", {0, 0, 0, 0, 2, 4, 0, 0, 3, 1}},
        {"5 h\n1475 S\n1,25x\n", {1, 3, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& row : rows) {
        const ReaderNotes n = readInBlocks(tempFileWith("notes.dat", row.text), false, 1).notes;
        const Notes got = {
            n.severalFields.lines, n.severalFields.firstLine, n.separatorNumbers.lines, n.separatorNumbers.firstLine,
            n.headings.lines,      n.headings.firstLine,      n.textAmongValues.lines,  n.textAmongValues.firstLine,
            n.signedNumbers.lines, n.signedNumbers.firstLine};
        EXPECT_EQ(got, row.notes) << row.text;
    }
}

TEST(DataFile, ReaderWarnings) {
    const struct {
        const char* text;
        std::vector<std::string> warnings;
    } rows[] = {
        {"Times\n5\n6\n7\n", {}},
        {"1,1250,F\n1,250\n5\nnote\n-3\n",
         {"1 line holds several fields separated by , or ; (first: line 1); only the first is read; --column picks "
          "another",
          "1 number has a thousands separator or a decimal comma (as 1,250 or 12,5) (first: line 2); only the part "
          "before the comma is read; write them without the separator, with a decimal point, or read a table with "
          "--column and --decimal-comma",
          "1 line of text among the values (first: line 4) was skipped",
          "1 line starts with a signed number (as -3 or +4) (first: line 5); such lines are skipped: a time is "
          "written without a sign"}},
        {"1;2\n3;4\n5\nx\ny\n+1\n+2\n",
         {"2 lines hold several fields separated by , or ; (first: line 1); only the first is read; --column picks "
          "another",
          "2 lines of text among the values (first: line 4) were skipped",
          "2 lines start with a signed number (as -3 or +4) (first: line 6); such lines are skipped: a time is "
          "written without a sign"}},
    };
    for (const auto& row : rows) {
        const std::string path = tempFileWith("warnings.dat", row.text);
        EXPECT_EQ(readerWarnings(readDataFile(path.c_str(), false)), row.warnings) << row.text;
    }
}

}  // namespace
