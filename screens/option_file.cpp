#include "screens/option_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/device_root.h"

namespace zarn {
namespace {

// The line without blanks in front and without a '+' sign.
const char* numberStart(const std::string& line) {
    const char* p = line.c_str();
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '+' && p[1] != '-') ++p;
    return p;
}

}  // namespace

std::vector<std::string> readOptionLines(const std::string& devicePath, size_t count) {
    std::vector<std::string> lines;
    const std::string path = hostPath(devicePath);
    if (path.empty()) return lines;
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return lines;
    std::string line;
    bool ended = true;
    int c;
    while (lines.size() < count && (c = std::fgetc(f)) != EOF) {
        ended = false;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
            ended = true;
        } else if (c != '\r' && line.size() < kOptionLineLength) {
            line.push_back(static_cast<char>(c));
        }
    }
    if (!ended && lines.size() < count) lines.push_back(line);
    std::fclose(f);
    return lines;
}

bool parseOptionInt(const std::string& line, int& value) {
    const char* p = numberStart(line);
    const char* end = line.c_str() + line.size();
    int parsed = 0;
    auto [stop, ec] = std::from_chars(p, end, parsed);
    if (ec != std::errc() || stop == p) return false;
    value = parsed;
    return true;
}

bool parseOptionDouble(const std::string& line, double& value) {
    const char* p = numberStart(line);
    const char* end = line.c_str() + line.size();
    double parsed = 0;
    auto [stop, ec] = std::from_chars(p, end, parsed, std::chars_format::fixed | std::chars_format::scientific);
    if (ec != std::errc() || stop == p || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

bool writeOptionFile(const std::string& devicePath, const std::string& text) {
    const std::string path = hostPath(devicePath);
    if (path.empty()) return false;
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}

int clampedTrunc(double value, int lo, int hi) {
    if (!(value > lo)) return lo;  // also NaN
    if (value >= hi) return hi;
    return static_cast<int>(value);
}

}  // namespace zarn
