// Number and text pieces of the command line's output formats: the shortest
// decimal text of a double, a CSV field, and JSON text with shortest numbers.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

// The shortest decimal text that reads back as the same double (std::to_chars
// without a precision: the same text on every platform); "" when the value is
// not finite.
std::string shortestText(double value);

// A text as one CSV cell: a leading ' before =, +, - or @ (which a
// spreadsheet would take for a formula), then quoted when it holds a comma,
// a quote or a line end (RFC 4180).
std::string csvField(const std::string& cell);

// The JSON text of a value without white space, keys in their order, every
// double as its shortest text (the library's own number printer does not
// promise the shortest text; to_chars does, the same on every platform).
// Bytes of strings that are not UTF-8 become U+FFFD.
std::string jsonText(const nlohmann::ordered_json& value);
