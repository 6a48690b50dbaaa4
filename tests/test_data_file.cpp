// The data file reader on real files: which lines carry a value, the value
// each gives, text-mode line ends, Ctrl-Z, the byte-order mark, long lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "datafiles/data_file.h"

namespace {

std::string tempPath(const char* name) { return ::testing::TempDir() + "tarquel_" + name; }

void writeBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

class DataFile : public ::testing::Test {};

struct FileRow {
    const char* name;
    std::string bytes;
    std::vector<double> values;  // in file order
};

const std::string blanks300(300, ' ');

const std::vector<FileRow> fileRows = {
    {"empty", "", {}},
    {"headings only", "Failure times\n\n   \n\t\n# hours\n", {}},
    {"plain", "10\n20\n35\n", {10, 20, 35}},
    {"leading blanks", " 12.5\n\t7\n", {12.5, 7}},
    {"signs skipped", "1\n-2\n+3\n4\n", {1, 4}},
    {"signs after blanks", "  -2\n\t+3\n5\n", {5}},
    {"points", ".5\n5.\n.x\n", {0.5, 5}},
    {"exponent letter first", "e5\nex\nE7\n", {0, 0}},
    {"exponents", "1e5\n1.5d2\n2E-1\n", {100000, 150, 0.2}},
    {"trailing text", "12abc\n1,5\n3 4 5\n0x10\n", {12, 1, 3, 0}},
    {"crlf", "1\r\n2\r\n3\r\n", {1, 2, 3}},
    {"lone cr kept", "1\r2\n", {1}},
    {"last line without lf", "1\n2", {1, 2}},
    {"blank last line without lf", "1\n   ", {1, 0}},
    {"blank last line with lf", "1\n   \n", {1}},
    {"300 blanks", blanks300 + "\n7\n", {0, 7}},
    {"254 characters and lf", std::string(253, ' ') + "7\n3\n", {7, 3}},
    {"text then a value in one line", std::string(255, 'x') + "8\n", {8}},
    {"ctrl-z ends the text", "1\n2\n\x1a" "3\n4\n", {1, 2}},
    {"utf-8 byte-order mark", "\xEF\xBB\xBF" "8\n9\n", {8, 9}},
    {"high bytes", "\xA0" "1\n2\n", {2}},
    {"beyond a double", "1e999\n2\n", {HUGE_VAL, 2}},
};

TEST_F(DataFile, ValuesInFileOrder) {
    for (const FileRow& row : fileRows) {
        const std::string path = tempPath("values.dat");
        writeBytes(path, row.bytes);
        const DataFileContents contents = readDataFile(path.c_str(), false);
        EXPECT_TRUE(contents.opened) << row.name;
        EXPECT_EQ(contents.times, row.values) << row.name;
    }
    EXPECT_FALSE(readDataFile(tempPath("no such file.dat").c_str(), false).opened);
}

TEST_F(DataFile, PieceClassification) {
    const struct {
        const char* piece;
        bool data;
    } rows[] = {
        {"7\n", true},    {"  7", true},      {"\t.5\n", true},  {"e1\n", true},   {"E9", true},
        {"", true},       {"   ", true},      {" \t", true},     {"\n", false},    {"  \n", false},
        {"\r\n", false},  {"-1\n", false},    {"+1\n", false},   {".\n", false},   {".e", false},
        {"ex\n", false},  {"d1\n", false},    {"x1\n", false},   {"\xEF\xBB\xBF" "1", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(isDataLine(row.piece), row.data) << "piece \"" << row.piece << "\"";
    }
}

TEST_F(DataFile, LongLinesAreCutIntoPieces) {
    // 254 characters and the line feed make one piece; a 255th character
    // starts a second piece, classified on its own.
    std::string line = std::string(255, '2') + "5\n";
    const std::string path = tempPath("long.dat");
    writeBytes(path, line);
    const DataFileContents contents = readDataFile(path.c_str(), false);
    ASSERT_EQ(contents.times.size(), 2u);
    EXPECT_EQ(contents.times[1], 5);
}

TEST_F(DataFile, ReferenceFileWithHeadingsCrLfAndCtrlZ) {
    const std::string path = std::string(TARQUEL_TEST_DATA) + "/headers_crlf.dat";
    const DataFileContents contents = readDataFile(path.c_str(), false);
    ASSERT_GT(contents.times.size(), 3u);
    // Nothing after the Ctrl-Z byte is read: the file ends "2050 CR LF ^Z 1 2 3".
    EXPECT_EQ(contents.times.back(), 2050);
}

}  // namespace
