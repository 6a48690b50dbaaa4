// Shortest number texts, CSV fields and JSON text.
//
// JSON values are nlohmann::ordered_json (keys stay in the order written),
// serialized by a small walker that writes every double with
// std::to_chars: the library's own number printer does not promise the
// shortest text, to_chars does, and gives the same text on every platform.
#include "datafiles/result_formats.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

void appendJson(std::string& out, const Json& value);

void appendJsonString(std::string& out, const std::string& text) {
    out += Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

void appendJsonObject(std::string& out, const Json& object) {
    out += '{';
    bool first = true;
    for (const auto& item : object.items()) {
        if (!first) out += ',';
        first = false;
        appendJsonString(out, item.key());
        out += ':';
        appendJson(out, item.value());
    }
    out += '}';
}

void appendJsonArray(std::string& out, const Json& array) {
    out += '[';
    bool first = true;
    for (const Json& element : array) {
        if (!first) out += ',';
        first = false;
        appendJson(out, element);
    }
    out += ']';
}

void appendJson(std::string& out, const Json& value) {
    switch (value.type()) {
        case Json::value_t::object: appendJsonObject(out, value); return;
        case Json::value_t::array: appendJsonArray(out, value); return;
        case Json::value_t::string: appendJsonString(out, value.get<std::string>()); return;
        case Json::value_t::number_float:
            // Always finite: jsonNumber turns the others into null.
            out += shortestText(value.get<double>());
            return;
        case Json::value_t::null:
        case Json::value_t::boolean:
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::binary:
        case Json::value_t::discarded: out += value.dump(); return;
    }
}

}  // namespace

std::string csvField(const std::string& cell) {
    // A spreadsheet would run a text cell that begins with one of these as a
    // formula: a leading ' makes it text.
    const std::string text = !cell.empty() && std::strchr("=+-@", cell[0]) != nullptr ? "'" + cell : cell;
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string shortestText(double value) {
    if (!std::isfinite(value)) return "";
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

std::string jsonText(const Json& value) {
    std::string out;
    appendJson(out, value);
    return out;
}
