// Text to number.
//
// The number's syntax is scanned here. A number of at most 19 digits whose
// value and power of ten are exact doubles is converted by one IEEE
// operation (the exact fast path below); every other one is handed, in a
// normalised form, to std::from_chars. Both round to the nearest double
// exactly and identically on every platform (a plain strtod would also take
// hex, inf and nan, would not know the d exponent, and rounds differently in
// some C runtimes).
#include "datafiles/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>

namespace {

// Exponents are clamped to this magnitude: far beyond the range of a double
// whatever the mantissa, yet safe from overflow of the count.
constexpr long exponentClamp = 99999;

// A normalised number of this length needs no heap block (data pieces are
// at most 255 characters).
constexpr std::size_t localCapacity = 320;

bool isExponentLetter(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

// The pieces of one scanned number, pointing into the text.
struct ScannedNumber {
    bool negative = false;
    const char* mantissa = nullptr;  // digits and at most one point
    std::size_t mantissaLength = 0;
    std::size_t digitCount = 0;      // mantissa digits, the point aside
    std::size_t fractionDigits = 0;  // mantissa digits after the point
    std::uint64_t digits = 0;        // the mantissa digits as an integer, modulo 2^64
    bool hasExponent = false;
    bool exponentNegative = false;
    long exponent = 0;          // magnitude, clamped
    const char* end = nullptr;  // first character after the number
};

ScannedNumber scanNumber(const char* text) {
    ScannedNumber number;
    const char* p = skipBlanks(text);
    if (*p == '+' || *p == '-') {
        number.negative = *p == '-';
        ++p;
    }
    // Digits, at most one point among them. The digits are also summed as an
    // integer for the exact fast path (wrapping beyond 19 digits, unused there).
    number.mantissa = p;
    std::uint64_t digits = 0;
    for (; isDigit(*p); ++p) digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
    const char* point = p;
    if (*p == '.') {
        for (++p; isDigit(*p); ++p) digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
        number.fractionDigits = static_cast<std::size_t>(p - point) - 1;
    }
    number.mantissaLength = static_cast<std::size_t>(p - number.mantissa);
    number.digitCount = static_cast<std::size_t>(point - number.mantissa) + number.fractionDigits;
    number.digits = digits;
    number.end = p;
    if (!isExponentLetter(*p)) return number;
    const char* e = p + 1;
    bool negative = false;
    if (*e == '+' || *e == '-') {
        negative = *e == '-';
        ++e;
    }
    if (!isDigit(*e)) return number;  // "1e", "1e+": the letter is not part of it
    number.hasExponent = true;
    number.exponentNegative = negative;
    for (; isDigit(*e); ++e) {
        if (number.exponent < exponentClamp) number.exponent = number.exponent * 10 + (*e - '0');
    }
    if (number.exponent > exponentClamp) number.exponent = exponentClamp;
    number.end = e;
    return number;
}

// Decimal order of magnitude of the first nonzero mantissa digit, exponent
// included; only used to tell overflow from underflow.
long orderOfMagnitude(const ScannedNumber& parts) {
    long beforePoint = 0;
    bool pastPoint = false;
    long position = 0;  // digits seen before the first nonzero one, after the point
    for (std::size_t i = 0; i < parts.mantissaLength; ++i) {
        const char c = parts.mantissa[i];
        if (c == '.') {
            pastPoint = true;
        } else if (c != '0') {
            const long order = pastPoint ? -(position + 1) : beforePoint - 1;
            const long exponent = parts.exponentNegative ? -parts.exponent : parts.exponent;
            return order + exponent;
        } else if (pastPoint) {
            ++position;
        } else {
            ++beforePoint;
        }
    }
    return 0;
}

// Powers of ten that a double holds exactly (5^22 < 2^53).
constexpr double exactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr long largestExactPower = 22;
constexpr std::uint64_t largestExactInteger = std::uint64_t{1} << 53;
constexpr std::size_t fastDigits = 19;  // any 19 digits fit in 64 bits

// Clinger's exact fast path. Method: when the mantissa digits, read as an
// integer M, satisfy M <= 2^53 and the decimal exponent E (after moving the
// point behind the last digit) satisfies |E| <= 22, both M and 10^|E| are
// doubles exactly, so the single IEEE multiplication M * 10^E or division
// M / 10^-E is the correctly rounded value of the number: the same double
// std::from_chars gives (nearest, ties to even), one operation on every
// platform. Returns false, and leaves `value` alone, outside that domain.
bool exactFastValue(const ScannedNumber& parts, double& value) {
    if (parts.digitCount > fastDigits || parts.digits > largestExactInteger) return false;
    const long fractionDigits = static_cast<long>(parts.fractionDigits);
    const long exponent = (parts.exponentNegative ? -parts.exponent : parts.exponent) - fractionDigits;
    if (exponent < -largestExactPower || exponent > largestExactPower) return false;
    const double mantissa = static_cast<double>(parts.digits);
    const double magnitude = exponent >= 0 ? mantissa * exactPowersOfTen[exponent]
                                           : mantissa / exactPowersOfTen[-exponent];
    value = parts.negative ? -magnitude : magnitude;
    return true;
}

// The general path: the number rewritten for std::from_chars (sign,
// mantissa as written, 'e' and the exponent's digits: "-.5d-7" becomes
// "-.5e-7"), with overflow and underflow told apart by the order of magnitude.
double generalValue(const ScannedNumber& parts) {
    char local[localCapacity];
    std::string heap;
    const std::size_t needed = parts.mantissaLength + 16;
    char* const text = needed <= localCapacity ? local : (heap.resize(needed), &heap[0]);
    char* out = text;

    if (parts.negative) *out++ = '-';
    // from_chars takes a mantissa with a point at either end (".5", "5.") as
    // it stands, like strtod.
    std::memcpy(out, parts.mantissa, parts.mantissaLength);
    out += parts.mantissaLength;
    if (parts.hasExponent) {
        *out++ = 'e';
        if (parts.exponentNegative) *out++ = '-';
        const std::to_chars_result written = std::to_chars(out, text + needed, parts.exponent);
        out = written.ptr;
    }

    double value = 0;
    const std::from_chars_result r = std::from_chars(text, out, value);
    if (r.ec == std::errc::result_out_of_range) {
        const double magnitude = orderOfMagnitude(parts) > 0 ? HUGE_VAL : 0.0;
        value = parts.negative ? -magnitude : magnitude;
    }
    return value;
}

}  // namespace

double textToNumber(const char* text, const char** end) {
    const ScannedNumber number = scanNumber(text);
    if (end != nullptr) *end = number.end;
    if (number.digitCount == 0) return 0;
    double value = 0;
    if (exactFastValue(number, value)) return value;
    return generalValue(number);
}
