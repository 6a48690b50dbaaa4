// Text to number: the syntax of the leading number, where it ends, and exact
// rounding on both conversion paths.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <cstdint>
#include <string>

#include "datafiles/number_text.h"
#include "tests/test_support.h"

namespace {

// The text, its value (compared bit for bit: the sign of zero counts) and
// where the number ends.
const struct {
    std::string text;
    double expected;
    std::size_t end;
} rows[] = {
    // Syntax: blanks, signs, points, exponent letters and where the number ends.
    {"12.5", 12.5, 4},
    {" \t-0.25xyz", -0.25, 7},
    {"+3", 3, 2},
    {".5", 0.5, 2},
    {"5.", 5, 2},
    {"-0", -0.0, 2},
    {"1E5 S", 100000, 3},
    {"1.5d2", 150, 5},
    {"1.5D-2", 0.015, 6},
    {"2e+3", 2000, 4},
    {"1e", 1, 1},
    {"1d-x", 1, 1},  // no exponent digit: the letter is not part of it
    {"1,5", 1, 1},
    {"7\n8", 7, 1},
    {"1..2", 1, 2},  // one point at most
    {"0x10", 0, 1},
    {"e5", 0, 2},
    {".", 0, 1},
    {"", 0, 0},
    {"   ", 0, 3},
    {"-", 0, 1},    // no hex, no mantissa digit
    {"inf", 0, 0},  // no words
    // Rounding beyond the one-operation path.
    {"0.30000000000000004", 0.30000000000000004, 19},
    {".30000000000000004", 0.30000000000000004, 18},
    {"9007199254740992", 9007199254740992.0, 16},  // 2^53: the last exact integer
    {"9007199254740993", 9007199254740992.0, 16},  // ties to even
    {"9007199254740995", 9007199254740996.0, 16},
    {"-1e23", -1e23, 5},
    {"1e22", 1e22, 4},
    {"3e-22", 3e-22, 5},
    {"3e-23", 3e-23, 5},  // 10^22: the largest exact power
    {"1234567890123456789", 1234567890123456789.0, 19},
    {"18446744073709551616", 18446744073709551616.0, 20},  // 2^64: the digit sum wraps to 0
    {"18446744073709551616.5", 18446744073709551616.0, 22},
    {"18446744073709551616.", 18446744073709551616.0, 21},
    {"3.14159265358979323846264338327950288", 3.141592653589793, 37},
    {"123456789012345678901234567890", 123456789012345678901234567890.0, 30},
    {"2.2250738585072011e-308", 2.2250738585072011e-308, 23},
    {"4.9406564584124654e-324", 4.9406564584124654e-324, 23},
    {"1.7976931348623157e308", 1.7976931348623157e308, 22},
    {"0.000000000000000000000000000001e30", 1, 35},
    // Beyond the range, and beyond the local buffer.
    {"1e400", inf, 5},
    {"-1e400", -inf, 6},
    {"1d99999999999999999999", inf, 22},
    {"0.0000000001e-99999999", 0.0, 22},
    {"-1e-400", -0.0, 7},
    {"0e999999", 0.0, 8},
    {std::string(600, '0') + "1.5", 1.5, 603},
    {"0." + std::string(500, '0') + "1e501", 1, 507},
};

TEST(TextToNumber, ValueAndEnd) {
    for (const auto& row : rows) {
        const char* end = nullptr;
        const double value = textToNumber(row.text.c_str(), &end);
        EXPECT_TRUE(sameBits(value, row.expected)) << "\"" << row.text << "\" gives " << value;
        EXPECT_EQ(static_cast<std::size_t>(end - row.text.c_str()), row.end) << "\"" << row.text << "\"";
    }
}

TEST(TextToNumber, ExactFastPathAgreesWithFromChars) {
    // Mantissas up to 2^53 and powers of ten up to 10^+-22, with the point
    // anywhere: the one-operation path must give the bits of from_chars.
    Xorshift random{0x9E3779B97F4A7C15u};
    for (int i = 0; i < 20000; ++i) {
        const auto mantissa = static_cast<std::uint64_t>(random.unit() * 0x1p53);
        const std::string digits = std::to_string(mantissa);
        const auto point = static_cast<std::size_t>(random.unit() * static_cast<double>(digits.size() + 1));
        const int exponent = static_cast<int>(random.unit() * 45) - 22;
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.*s.%se%d", static_cast<int>(point), digits.c_str(),
                      digits.c_str() + point, exponent);
        const std::string text = buffer;
        double expected = 0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        ASSERT_TRUE(sameBits(textToNumber(text.c_str()), expected)) << text << " gives " << textToNumber(text.c_str());
    }
}

}  // namespace
