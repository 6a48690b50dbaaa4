// Text to number: the one conversion used for data lines and typed values.
#pragma once

// The decimal number at the start of `text`: blanks and tabs skipped, one
// optional sign, digits with at most one point, an optional exponent brought
// in by e, E, d or D (signed, at least one digit). Anything after the number
// is ignored. No mantissa digit gives 0. The result is the nearest double;
// beyond the range of a double it is +-inf (or +-0 below it).
double textToNumber(const char* text);
