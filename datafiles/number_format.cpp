// Number texts in the style of printf's "% W.Pe" with a three-digit exponent.
//
// std::to_chars with a precision gives the exactly rounded decimal digits on
// every platform (the C runtimes differ: glibc writes two exponent digits,
// the Windows runtime three, and their rounding and NaN texts differ too).
// The exponent is then widened to three digits and the sign column added.
#include "datafiles/number_format.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace {

// Pads `text` (length `length`) with blanks on the left to `width`.
void rightAlign(char (&out)[numberTextSize], const char* text, std::size_t length, int width) {
    std::size_t pad = 0;
    if (width > 0 && static_cast<std::size_t>(width) > length) {
        pad = static_cast<std::size_t>(width) - length;
    }
    if (pad + length >= numberTextSize) pad = numberTextSize - 1 - length;
    std::memset(out, ' ', pad);
    std::memcpy(out + pad, text, length);
    out[pad + length] = '\0';
}

}  // namespace

void formatExponent(double value, int width, int precision, char (&out)[numberTextSize]) {
    if (std::isnan(value)) {
        // Every NaN reads " nan": its sign bit carries no meaning, and the
        // runtimes and operations that make one set it differently.
        rightAlign(out, " nan", 4, width);
        return;
    }
    char digits[numberTextSize];
    char* p = digits;
    // The blank flag: a sign column that holds a blank unless the sign bit is set.
    if (!std::signbit(value)) *p++ = ' ';
    const std::to_chars_result r = std::to_chars(p, digits + sizeof digits - 2, value, std::chars_format::scientific,
                                                 precision);
    if (r.ec != std::errc()) {  // only a precision far beyond 8 digits gets here
        out[0] = '\0';
        return;
    }
    std::size_t length = static_cast<std::size_t>(r.ptr - digits);

    if (std::isfinite(value)) {
        // to_chars ends with e+DD or e+DDD: widen a two-digit exponent.
        char* exponentSign = std::strchr(digits, 'e') + 1;
        const std::size_t exponentDigits = static_cast<std::size_t>(r.ptr - exponentSign) - 1;
        if (exponentDigits == 2) {
            exponentSign[3] = exponentSign[2];
            exponentSign[2] = exponentSign[1];
            exponentSign[1] = '0';
            ++length;
        }
    }
    rightAlign(out, digits, length, width);
}

void formatScreenNumber(double value, char (&out)[numberTextSize]) { formatExponent(value, 6, 4, out); }

void formatReportNumber(double value, char (&out)[numberTextSize]) { formatExponent(value, 12, 8, out); }
