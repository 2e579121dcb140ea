#include "screens/options_file.h"

#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

#include "platform/device_root.h"

namespace zarn {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

// One line of at most kLineLength characters; false at the end of the file.
bool readLine(std::FILE* file, std::string& line) {
    line.clear();
    int c = std::fgetc(file);
    if (c == EOF) return false;
    for (; c != EOF && c != '\n'; c = std::fgetc(file))
        if (line.size() < OptionLines::kLineLength) line.push_back(static_cast<char>(c));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

}  // namespace

bool OptionLines::read(const std::string& devicePath, size_t maxLines) {
    lines_.clear();
    const std::string path = hostPath(devicePath);
    if (path.empty()) return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    readFrom(file, maxLines);
    std::fclose(file);
    return true;
}

bool OptionLines::readFrom(std::FILE* file, size_t maxLines) {
    lines_.clear();
    if (!file) return false;
    std::string text;
    while (lines_.size() < maxLines && readLine(file, text)) lines_.push_back(text);
    return true;
}

const std::string* OptionLines::line(size_t index) const { return index < lines_.size() ? &lines_[index] : nullptr; }

bool OptionLines::getInt(size_t index, int& value, int low, int high) const {
    const std::string* text = line(index);
    if (!text) return false;
    value = parseOptionInt(*text, low, high);
    return true;
}

bool OptionLines::getDouble(size_t index, double& value, double low, double high) const {
    const std::string* text = line(index);
    return text && parseOptionDouble(*text, low, high, value);
}

bool OptionLines::getTypedValue(size_t index, double& value, bool whole) const {
    if (!whole) return getDouble(index, value, -kTypedValueLimit, kTypedValueLimit);
    const int bound = static_cast<int>(kTypedValueLimit);
    int number = 0;
    if (!getInt(index, number, -bound, bound)) return false;
    value = number;
    return true;
}

int parseOptionInt(const std::string& text, int low, int high) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long magnitude = 0;
    constexpr long long kCeiling = 1LL << 40;  // far beyond any int; stops the growth
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (magnitude < kCeiling) magnitude = magnitude * 10 + (text[i] - '0');
    const long long v = negative ? -magnitude : magnitude;
    if (v < low) return low;
    if (v > high) return high;
    return static_cast<int>(v);
}

bool parseOptionDouble(const std::string& text, double low, double high, double& value) {
    const double v = strtod_l(text.c_str(), nullptr, cLocale());
    if (std::isnan(v)) return false;
    value = v < low ? low : v > high ? high : v;
    return true;
}

int clampedTrunc(double value, int lo, int hi) {
    if (!(value > lo)) return lo;  // also NaN
    if (value >= hi) return hi;
    return static_cast<int>(value);
}

std::string optionInt(int value) { return std::to_string(value); }

std::string optionTyped(double value, bool whole) {
    if (!whole) return optionDouble(value);
    return optionInt(std::isnan(value) ? 0 : clampedTrunc(value, INT_MIN, INT_MAX));
}

std::string optionDouble(double value) {
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    if (result.ec != std::errc()) return "0.000000";
    return std::string(text, result.ptr);
}

bool writeOptionLines(const std::string& devicePath, const std::vector<std::string>& lines) {
    const std::string path = hostPath(devicePath);
    if (path.empty()) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = true;
    for (const std::string& l : lines) ok = ok && std::fprintf(file, "%s\n", l.c_str()) >= 0;
    return std::fclose(file) == 0 && ok;
}

}  // namespace zarn
