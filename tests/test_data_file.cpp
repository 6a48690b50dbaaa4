// The data file reader on real files: which lines carry a value, the value
// and status word each gives, text-mode line ends across block boundaries,
// Ctrl-Z, the byte-order mark, 255-character pieces, pipes and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "datafiles/data_file.h"
#include "tests/test_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string blanks(std::size_t n) { return std::string(n, ' '); }

DataFileContents readInBlocks(const std::string& path, bool censored, std::size_t blockSize) {
    ReadOptions options;
    options.censored = censored;
    ReadSettings settings;
    settings.blockSize = blockSize;
    return readLinesWith(path.c_str(), options, settings, nullptr, nullptr);
}

struct FileRow {
    const char* name;
    std::string bytes;
    std::vector<double> values;  // in file order
    std::string marks;           // '1' where the status word is S or s; "" when none is
};

const std::vector<FileRow> fileRows = {
    {"empty", "", {}, ""}, {"headings only", "Failure times\n\n   \n\t\n# hours\n\r\n", {}, ""},
    {"plain", "10\n20\n35\n", {10, 20, 35}, ""}, {"leading blanks", " 12.5\n\t7\n", {12.5, 7}, ""},
    {"signs skipped", "1\n-2\n+3\n  -2\n\t+3\n4\n", {1, 4}, ""},
    {"points", ".5\n5.\n.x\n.\n.e\n", {0.5, 5}, ""}, {"exponent letter first", "e5\nex\nE7\nd1\n", {0, 0}, ""},
    {"exponents", "1e5\n1.5d2\n2E-1\n1e\n", {100000, 150, 0.2, 1}, ""},
    {"trailing text", "12abc\n1,5\n3 4 5\n0x10\n", {12, 1, 3, 0}, ""},
    {"beyond a double", "1e999\n-0\n", {HUGE_VAL}, ""},
    // Text mode: CR LF, a kept lone CR, Ctrl-Z, the last line, the byte-order mark.
    {"crlf", "1\r\n2\r\n3\r\n", {1, 2, 3}, ""}, {"lone cr kept", "1\r2\n", {1}, ""},
    {"cr cr lf", "1\r\r\n\r\r\n2\n", {1, 2}, ""}, {"lone cr, then ctrl-z", "1\r\x1a\n5\n", {1}, ""},
    {"ctrl-z ends the text", "1\n2\n\x1a" "3\n4\n", {1, 2}, ""}, {"last line without lf", "1\n2", {1, 2}, ""},
    {"blank last line without lf", "1\n   ", {1, 0}, ""}, {"blank last line with lf", "1\n   \n", {1}, ""},
    {"utf-8 byte-order mark", "\xEF\xBB\xBF" "8\n9\n", {8, 9}, ""},
    {"byte-order mark later", "8\n\xEF\xBB\xBF" "9\n", {8}, ""}, {"part of a mark", "\xEF\xBB" "8\n9\n", {9}, ""},
    {"high bytes", "\xA0" "1\n2\n", {2}, ""}, {"nul ends the piece", std::string("\0" "5\n4\0x\n", 7), {0, 4}, ""},
    // Pieces of at most 255 characters.
    {"300 blanks", blanks(300) + "\n7\n", {0, 7}, ""}, {"255 blanks", blanks(255) + "\n7\n", {0, 7}, ""},
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
    const std::string path = uniqueTempPath("values.dat");
    for (const FileRow& row : fileRows) {
        std::ofstream(path, std::ios::binary) << row.bytes;
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
    const std::string path = uniqueTempPath("blocks.dat");
    std::ofstream(path, std::ios::binary) << text;
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

TEST(DataFile, NotOpened) {
    for (const std::string& path : {uniqueTempPath("no such file.dat"), ::testing::TempDir()}) {
        const DataFileContents c = readDataFile(path.c_str(), true);
        EXPECT_TRUE(!c.opened && c.times.empty()) << path;
    }
}

#ifndef _WIN32

// A FIFO without a writer reads as empty; with one, the text it carries is
// read in one pass (no second look at what the pipe already gave).
TEST(DataFile, Fifo) {
    const std::string path = uniqueTempPath("data.fifo");
    ::unlink(path.c_str());
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const DataFileContents idle = readDataFile(path.c_str(), false);
    EXPECT_TRUE(idle.opened && idle.times.empty());
    // A reader that reads nothing keeps the FIFO open, so the writer can
    // connect first and the reader under test cannot see an early end.
    const int keeper = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(keeper, 0);
    std::FILE* writer = std::fopen(path.c_str(), "wb");
    ASSERT_NE(writer, nullptr);
    std::string text;
    for (int i = 1; i <= 30000; ++i) text += std::to_string(i) + (i % 3 == 0 ? " S\n" : " F\n");
    std::thread feed([&] {
        std::fwrite(text.data(), 1, text.size(), writer);
        std::fclose(writer);
    });
    const DataFileContents c = readDataFile(path.c_str(), false);
    feed.join();
    ::close(keeper);
    ::unlink(path.c_str());
    EXPECT_TRUE(c.opened);
    ASSERT_EQ(c.times.size(), 30000u);
    EXPECT_EQ(c.times.back(), 30000);
    EXPECT_EQ(c.suspendedMarks, 10000u);
}

#endif

}  // namespace
