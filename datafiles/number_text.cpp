// Text to number.
//
// The number's syntax is scanned here; the digits are then handed, in a
// normalised form, to std::from_chars, which rounds to the nearest double
// exactly and identically on every platform (a plain strtod would also take
// hex, inf and nan, would not know the d exponent, and rounds differently in
// some C runtimes).
#include "datafiles/number_text.h"

#include <charconv>
#include <cmath>
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

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isExponentLetter(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

// The pieces of one scanned number, pointing into the text.
struct NumberParts {
    bool negative = false;
    const char* mantissa = nullptr;  // digits and at most one point
    std::size_t mantissaLength = 0;
    std::size_t digitCount = 0;      // mantissa digits, the point aside
    bool hasExponent = false;
    bool exponentNegative = false;
    long exponent = 0;               // magnitude, clamped
};

NumberParts scanNumber(const char* p) {
    NumberParts parts;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '+' || *p == '-') {
        parts.negative = *p == '-';
        ++p;
    }
    parts.mantissa = p;
    bool seenPoint = false;
    for (;; ++p) {
        if (isDigit(*p)) {
            ++parts.digitCount;
        } else if (*p == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    parts.mantissaLength = static_cast<std::size_t>(p - parts.mantissa);
    if (!isExponentLetter(*p)) return parts;
    const char* e = p + 1;
    bool negative = false;
    if (*e == '+' || *e == '-') {
        negative = *e == '-';
        ++e;
    }
    if (!isDigit(*e)) return parts;  // "1e", "1e+": the letter is not part of it
    parts.hasExponent = true;
    parts.exponentNegative = negative;
    for (; isDigit(*e); ++e) {
        if (parts.exponent < exponentClamp) parts.exponent = parts.exponent * 10 + (*e - '0');
    }
    if (parts.exponent > exponentClamp) parts.exponent = exponentClamp;
    return parts;
}

// Decimal order of magnitude of the first nonzero mantissa digit, exponent
// included; only used to tell overflow from underflow.
long orderOfMagnitude(const NumberParts& parts) {
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

double convertParts(const NumberParts& parts) {
    if (parts.digitCount == 0) return 0;

    char local[localCapacity];
    std::string heap;
    const std::size_t needed = parts.mantissaLength + 16;
    char* const text = needed <= localCapacity ? local : (heap.resize(needed), &heap[0]);
    char* out = text;

    if (parts.negative) *out++ = '-';
    std::size_t length = parts.mantissaLength;
    if (parts.mantissa[length - 1] == '.') --length;  // "5." reads as "5"
    if (parts.mantissa[0] == '.') *out++ = '0';       // ".5" reads as "0.5"
    std::memcpy(out, parts.mantissa, length);
    out += length;
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

double textToNumber(const char* text) { return convertParts(scanNumber(text)); }
