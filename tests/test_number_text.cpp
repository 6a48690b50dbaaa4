// Text to number: the syntax of the leading number and exact rounding.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "datafiles/number_text.h"

namespace {

struct Row {
    const char* text;
    double expected;
};

const Row rows[] = {
    {"12.5", 12.5},
    {" 12.5", 12.5},
    {"\t7", 7},
    {"+3", 3},
    {"-2", -2},
    {" \t-0.25xyz", -0.25},
    {".5", 0.5},
    {"5.", 5},
    {"1e5", 100000},
    {"1E5", 100000},
    {"1.5d2", 150},
    {"1.5D-2", 0.015},
    {"2e+3", 2000},
    {"1e", 1},            // no exponent digit: the letter is not part of it
    {"1e+", 1},
    {"1d-x", 1},
    {"12abc", 12},
    {"1,5", 1},
    {"3 4 5", 3},
    {"0x10", 0},          // no hex
    {"e5", 0},            // no mantissa digit
    {"E7", 0},
    {".", 0},
    {"", 0},
    {"   ", 0},
    {"-", 0},
    {"inf", 0},           // no words
    {"nan", 0},
    {"1..2", 1},          // one point at most
    {"0.1", 0.1},
    {"123456789012345678901234567890", 123456789012345678901234567890.0},
    {"2.2250738585072011e-308", 2.2250738585072011e-308},
    {"4.9406564584124654e-324", 4.9406564584124654e-324},
    {"1.7976931348623157e308", 1.7976931348623157e308},
    {"0.000000000000000000000000000001e30", 1},
};

TEST(TextToNumber, ReadsTheLeadingNumber) {
    for (const Row& row : rows) {
        EXPECT_EQ(textToNumber(row.text), row.expected) << "text \"" << row.text << "\"";
    }
}

TEST(TextToNumber, RoundsLikeTheNearestDouble) {
    // Halfway cases and long mantissas, where a naive digit-by-digit sum would
    // be off by one unit in the last place.
    EXPECT_EQ(textToNumber("9007199254740993"), 9007199254740992.0);  // ties to even
    EXPECT_EQ(textToNumber("9007199254740995"), 9007199254740996.0);
    EXPECT_EQ(textToNumber("0.30000000000000004"), 0.30000000000000004);
    EXPECT_EQ(textToNumber("3.14159265358979323846264338327950288"), 3.141592653589793);
}

TEST(TextToNumber, BeyondTheRangeOfADouble) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(textToNumber("1e400"), inf);
    EXPECT_EQ(textToNumber("-1e400"), -inf);
    EXPECT_EQ(textToNumber("1d99999999999999999999"), inf);
    EXPECT_EQ(textToNumber("0.0000000001e-99999999"), 0.0);
    EXPECT_TRUE(std::signbit(textToNumber("-1e-400")));
    EXPECT_EQ(textToNumber("1e-400"), 0.0);
    EXPECT_EQ(textToNumber("0e999999"), 0.0);
}

TEST(TextToNumber, LongDigitRunsBeyondTheLocalBuffer) {
    std::string digits(600, '0');
    digits += "1.5";
    EXPECT_EQ(textToNumber(digits.c_str()), 1.5);
    std::string fraction = "0." + std::string(500, '0') + "1e501";
    EXPECT_EQ(textToNumber(fraction.c_str()), 1);
}

}  // namespace
