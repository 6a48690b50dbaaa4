// "% 6.4e" and "% 12.8e" with signed three-digit exponents on every platform.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "datafiles/number_format.h"

namespace {

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

// The value, its "% 6.4e" and its "% 12.8e" text.
const struct {
    double value;
    const char* screen;
    const char* report;
} rows[] = {
    {123.45, " 1.2345e+002", " 1.23450000e+002"},
    {-0.5, "-5.0000e-001", "-5.00000000e-001"},
    {0.0, " 0.0000e+000", " 0.00000000e+000"},
    {-0.0, "-0.0000e+000", "-0.00000000e+000"},
    {1e100, " 1.0000e+100", " 1.00000000e+100"},
    {-1.5e-300, "-1.5000e-300", "-1.50000000e-300"},
    {9.99995, " 1.0000e+001", " 9.99995000e+000"},  // rounding carries into the exponent
    {2.5e-5, " 2.5000e-005", " 2.50000000e-005"},
    {1.00005, " 1.0001e+000", " 1.00005000e+000"},  // held just above the tie
    {0.00015, " 1.5000e-004", " 1.50000000e-004"},
    {1.03125, " 1.0312e+000", " 1.03125000e+000"},  // an exact tie goes to even
    {1.09375, " 1.0938e+000", " 1.09375000e+000"},
    {2.00005, " 2.0000e+000", " 2.00005000e+000"},  // held just below the tie
    {4.9406564584124654e-324, " 4.9407e-324", " 4.94065646e-324"},
    {1.7976931348623157e308, " 1.7977e+308", " 1.79769313e+308"},
    {inf, "   inf", "         inf"},
    {-inf, "  -inf", "        -inf"},
    {nan, "   nan", "         nan"},
    {-nan, "   nan", "         nan"},  // the sign bit of a NaN is not shown
};

TEST(NumberFormat, ScreenAndReportTexts) {
    for (const auto& row : rows) {
        char text[numberTextSize];
        formatScreenNumber(row.value, text);
        EXPECT_STREQ(text, row.screen) << "value " << row.value;
        formatReportNumber(row.value, text);
        EXPECT_STREQ(text, row.report) << "value " << row.value;
    }
}

TEST(NumberFormat, FiniteValuesKeepTheirWidth) {
    // Every finite double gives 12 and 16 characters: walk a spread of magnitudes.
    for (double v = 1e-307; std::fabs(v) < 1e306; v *= -37.3) {
        char screen[numberTextSize], report[numberTextSize];
        formatScreenNumber(v, screen);
        formatReportNumber(v, report);
        ASSERT_EQ(std::strlen(screen), 12u) << screen;
        ASSERT_EQ(std::strlen(report), 16u) << report;
        EXPECT_EQ(screen[0], v < 0 ? '-' : ' ');
        EXPECT_EQ(report[11], 'e') << report;
    }
}

}  // namespace
