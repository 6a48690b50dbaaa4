// Number texts shared by the screen and the report.
#pragma once

#include <cstddef>

// Capacity that every formatted number fits in, NUL included.
constexpr std::size_t numberTextSize = 32;

// printf's "% W.Pe" with a signed three-digit exponent on every platform:
// a blank or a minus sign, one digit, a point, P digits, e, sign, 3 digits.
// Infinities read inf with their sign (blank when positive), every NaN reads
// nan with a blank whatever its sign bit; both right-aligned to the width W.
// Exact decimal rounding, platform-independent.
void formatExponent(double value, int width, int precision, char (&out)[numberTextSize]);

// "% 6.4e": result and monitor fields (12 characters when finite).
void formatScreenNumber(double value, char (&out)[numberTextSize]);

// "% 12.8e": the report and the command line (16 characters when finite).
void formatReportNumber(double value, char (&out)[numberTextSize]);
