#include "survey/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace zarn {
namespace {

// The length of the valid UTF-8 sequence at the start of `s`; 0 when it is none.
size_t validSequence(std::string_view s) {
    const auto at = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
    const auto follows = [&](size_t i, uint8_t lo = 0x80, uint8_t hi = 0xBF) {
        return i < s.size() && at(i) >= lo && at(i) <= hi;
    };
    const uint8_t c = at(0);
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return follows(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {  // no overlong form, no surrogate
        const uint8_t lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        return follows(1, lo, hi) && follows(2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {  // nothing past U+10FFFF
        const uint8_t lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        return follows(1, lo, hi) && follows(2) && follows(3) ? 4 : 0;
    }
    return 0;
}

void appendAscii(std::string& out, char c) {
    static const char kHex[] = "0123456789abcdef";
    switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
    }
    const auto b = static_cast<uint8_t>(c);
    if (b >= 0x20) {
        out += c;
        return;
    }
    out += "\\u00";
    out += kHex[b >> 4];
    out += kHex[b & 15];
}

}  // namespace

std::string validUtf8(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const size_t n = validSequence(text);
        out.append(n ? text.substr(0, n) : "\xEF\xBF\xBD");
        text.remove_prefix(n ? n : 1);
    }
    return out;
}

void appendJsonString(std::string& out, std::string_view utf8) {
    out += '"';
    while (!utf8.empty()) {
        const size_t n = validSequence(utf8);
        if (n == 1) appendAscii(out, utf8[0]);
        else if (n > 1) out.append(utf8.substr(0, n));
        else out += "\xEF\xBF\xBD";
        utf8.remove_prefix(n ? n : 1);
    }
    out += '"';
}

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (empty_.empty()) return;
    if (!empty_.back()) out_ += ',';
    empty_.back() = false;
}

JsonWriter& JsonWriter::beginObject() {
    beforeValue();
    out_ += '{';
    empty_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    out_ += '}';
    empty_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    beforeValue();
    out_ += '[';
    empty_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    out_ += ']';
    empty_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    beforeValue();
    appendJsonString(out_, name);
    out_ += ':';
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::text(std::string_view utf8) {
    appendJsonString(rawValue(), utf8);
    return *this;
}

JsonWriter& JsonWriter::number(long long value) {
    char text[24];
    rawValue().append(text, std::to_chars(text, text + sizeof text, value).ptr);
    return *this;
}

JsonWriter& JsonWriter::number(double value) {
    if (!std::isfinite(value)) return null();
    rawValue() += numberText(value);
    return *this;
}

std::string numberText(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

JsonWriter& JsonWriter::boolean(bool value) {
    rawValue() += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::null() {
    rawValue() += "null";
    return *this;
}

std::string& JsonWriter::rawValue() {
    beforeValue();
    return out_;
}

}  // namespace zarn
