// The table reader: each form of table against the plain file with the same
// numbers, bit for bit, at block sizes that split every line; each refusal's
// cause.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "datafiles/data_table.h"
#include "tests/test_support.h"

namespace {

struct Columns {
    const char* column;
    const char* status = "";
    const char* count = "";
    char delimiter = '\0';
    bool decimalComma = false;
};

DataFileContents readTable(const std::string& text, const Columns& columns, std::size_t blockSize) {
    const ReadOptions options{.censored = *columns.status != '\0',
                              .column = columns.column,
                              .delimiter = columns.delimiter,
                              .statusColumn = columns.status,
                              .countColumn = columns.count,
                              .decimalComma = columns.decimalComma};
    return readDataTable(tempFileWith("table.csv", text).c_str(), options, {.blockSize = blockSize}, nullptr, nullptr);
}

DataFileContents readPlain(const std::string& text, bool censored) {
    return readDataFile(tempFileWith("plain.dat", text).c_str(), censored);
}

const Columns commaHours{"hours", "", "", '\0', true};  // the column "hours" with decimal commas
// Numbers that take the conversion's exact fast path and its general one.
const char plainTimes[] = "0.1\n1e-5\n123.456789012345678901\n2.5E3\n7\n";

TEST(DataTable, SameBitsAsThePlainFile) {
    const struct {
        const char* name;
        std::string table;
        Columns columns;
        std::string plain;
    } rows[] = {
        {"comma, by name", "id,hours\n1,0.1\n2,1e-5\n3,123.456789012345678901\n4,2.5E3\n5,7\n", {"hours"}, plainTimes},
        {"semicolon, by number",
         "id;hours\n1;0.1\n2;1e-5\n3;123.456789012345678901\n4;2.5E3\n5;7\n",
         {"2"},
         plainTimes},
        {"tab, blanks around cells",
         "hours\tid\n 0.1 \t1\n1e-5\t2\n123.456789012345678901\t3\n2.5E3\t\t\n7\t5\n",
         {"hours"},
         plainTimes},
        {"quoted, CR LF, byte-order mark",
         "\xEF\xBB\xBF\"id\",\"time, h\"\r\n\"1\",\"0.1\"\r\n2,\"1e-5\"\r\n\"3\"\"\",123.456789012345678901\r\n4,  "
         "\"2.5E3\"  \r\n5,7",
         {"time, h"},
         plainTimes},
        {"no header, by number; blank lines",
         "\n0.1,a\n\n1e-5,b\n  \n123.456789012345678901,c\n,,\n2.5E3,d\n7,e\n",
         {"1"},
         plainTimes},
        {"decimal comma", "id;hours\n1;0,1\n2;1e-5\n3;123,456789012345678901\n4;2,5E3\n5;7\n", commaHours, plainTimes},
        {"decimal comma, tab, by number",
         "id\thours\n1\t0,1\n2\t1e-5\n3\t123,456789012345678901\n4\t2,5E3\n5\t7\n",
         {"2", "", "", '\0', true},
         plainTimes},
        {"given delimiter", "a;b,hours\n1;0.1\n", {"2", "", "", ';'}, "0.1\n"},
        // Delimiters inside quotes, and commas beside decimal commas, do not count.
        {"found beside quoted commas", "\"a,b,c\";hours\n1;0.1\n", {"hours"}, "0.1\n"},
        {"found beside decimal commas", "time, h;id\n0,1;1\n", {"time, h", "", "", '\0', true}, "0.1\n"},
        {"status S/F", "t,st\n10,S\n20,F\n30,s\n40,f\n", {"t", "st"}, "10 S\n20 F\n30 S\n40 F\n"},
        {"status words", "t,st\n10,suspended\n20,Failed\n30,SUSPENDED\n", {"t", "st"}, "10 S\n20 F\n30 S\n"},
        {"status 0/1", "t,st\n10,0\n20,1\n", {"t", "st"}, "10 S\n20 F\n"},
        {"counts", "t,n,st\n10,3,S\n20,1,F\n0.1,2,1\n", {"t", "st", "n"}, "10 S\n10 S\n10 S\n20 F\n0.1\n0.1\n"},
        {"quoted line feed", "\"a\nb\",t\nx,5\n\"y\n\",6\n", {"t"}, "5\n6\n"},
        {"trailing empty fields", "a,t\n1,5,,\n2,6,\n", {"t"}, "5\n6\n"},
    };
    for (const auto& row : rows) {
        const bool censored = *row.columns.status != '\0';
        const DataFileContents want = readPlain(row.plain, censored);
        for (const std::size_t blockSize : {std::size_t{1}, std::size_t{5}, std::size_t{1} << 20}) {
            const DataFileContents got = readTable(row.table, row.columns, blockSize);
            SCOPED_TRACE(std::string(row.name) + ", block " + std::to_string(blockSize));
            ASSERT_TRUE(got.opened) << got.cause;
            EXPECT_TRUE(std::equal(got.times.begin(), got.times.end(), want.times.begin(), want.times.end(), sameBits));
            EXPECT_EQ(got.suspended, want.suspended);
            EXPECT_EQ(got.suspendedMarks, want.suspendedMarks);
        }
    }
}

TEST(DataTable, Refused) {
    const struct {
        std::string table;
        Columns columns;
        const char* cause;
    } rows[] = {
        {"id,hours\n1,5\n17,\"1,250\"\n", {"hours"}, "line 3, column hours: '1,250' is not a number"},
        {"id,hours\n1,12.5.1\n", {"2"}, "line 2, column 2: '12.5.1' is not a number"},
        {"id,hours\n1,-3\n",
         {"hours"},
         "line 2, column hours: '-3' is not a number (a time is written without a sign)"},
        {"id;hours\n1;1.250,5\n", commaHours, "line 2, column hours: '1.250,5' is not a number"},
        {"id,hours\n\n1, \n", {"hours"}, "line 3, column hours: the cell is empty"},
        {"id,hours\n1,1,250\n",
         {"hours"},
         "line 2: more fields (3) than the header line has (2); a number with the delimiter in it needs quotes"},
        {"id,hours\n1\n", {"hours"}, "line 2: no column hours (the line has 1 field)"},
        {"id,hours\n1,\"5\n", {"hours"}, "line 2: a quoted field is not closed"},
        {"id,time,state\n1,5,x\n",
         {"time", "state"},
         "line 2, column state: 'x' is not a status (S or suspended or 0; F or failed or 1)"},
        {"id,time,n\n1,5,0\n", {"time", "", "n"}, "line 2, column n: '0' is not a count (a whole number above 0)"},
        {"id,time,n\n1,5,2.5\n", {"time", "", "n"}, "line 2, column n: '2.5' is not a count (a whole number above 0)"},
        {"id,time\n1,5\n", {"hours"}, "no column named 'hours' in the header line (line 1: id, time)"},
        {"a,b,c,d,e,f,g,h,i\n", {"x"}, "no column named 'x' in the header line (line 1: a, b, c, d, e, f, g, h, ...)"},
        {"id,time\n1,5\n", {"time", "2"}, "the time, status and count columns must be different columns"},
        {"t\n" + std::string(1025, '1') + "\n", {"t"}, "line 2, column t: the cell is longer than 1024 characters"},
        {std::string((1u << 20) + 1, 'x'), {"t"}, "the header line is longer than 1048576 characters"},
    };
    for (const auto& row : rows) {
        for (const std::size_t blockSize : {std::size_t{3}, std::size_t{1} << 20}) {
            const DataFileContents got = readTable(row.table, row.columns, blockSize);
            EXPECT_TRUE(!got.opened && got.times.empty()) << row.cause;
            EXPECT_EQ(got.cause, row.cause) << "block " << blockSize;
        }
    }
}

}  // namespace
