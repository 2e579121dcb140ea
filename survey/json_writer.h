#pragma once
// JsonWriter: JSON text appended to a string, for the record and status encodings.
//
// - Members and elements get their commas by themselves; the caller opens and
//   closes objects and arrays in order (nothing checks a wrong nesting).
// - Text is written as valid UTF-8: quotes, backslashes and control characters
//   escaped, a byte that is no part of valid UTF-8 written as U+FFFD.
// - A number is an integer, a double (null when not finite: JSON has no NaN),
//   or the decimal text the CSV rows' own functions append (rawValue), so that
//   a value reads the same in both.

#include <string>
#include <string_view>
#include <vector>

namespace zarn {

class JsonWriter {
public:
    explicit JsonWriter(std::string& out) : out_(out) {}

    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // The next member's name, inside an object.
    JsonWriter& key(std::string_view name);

    JsonWriter& text(std::string_view utf8);
    JsonWriter& number(long long value);
    JsonWriter& number(double value);  // the shortest text that reads back as the same double
    JsonWriter& boolean(bool value);
    JsonWriter& null();
    // The output, for the next value to be appended by a function that appends
    // text (appendDbm): the caller appends exactly one JSON value.
    std::string& rawValue();

private:
    void beforeValue();

    std::string& out_;
    std::vector<bool> empty_;  // of each open object or array: nothing in it yet
    bool afterKey_ = false;
};

// The shortest text that reads back as the same double, as number() writes it.
std::string numberText(double value);
// `text` as valid UTF-8: a byte that is no part of it becomes U+FFFD.
std::string validUtf8(std::string_view text);

// `utf8` as a JSON string, quotes included.
void appendJsonString(std::string& out, std::string_view utf8);

}  // namespace zarn
