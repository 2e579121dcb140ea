#pragma once
// OptionLines: the small text files in which the measurement screens keep
// their options, one value per line.
//
//  - read(devicePath) / readFrom(FILE*): the file's lines, at most maxLines.
//    A line keeps at most 79 characters; the rest of a longer line is skipped
//    up to its line feed, so it never spills into the next value. A CR before
//    the LF and a last line without LF are read like any other. False when the
//    file does not open (or the device path is refused).
//  - A line past the file's end is missing: getInt / getDouble leave their
//    value untouched and return false, so a short file keeps the values the
//    caller started from.
//  - getInt reads the line as atoi does (blanks, a sign, digits; conversion
//    stops at the first non-digit; no digits is 0) but never overflows: the
//    result is limited to low..high.
//  - getDouble reads the line as atof does in the C locale, whatever the
//    user's locale; the result is limited to low..high. NaN does not convert.
//  - getTypedValue reads a value the user typed either as a channel number
//    (whole: read as getInt would, so "600.9" is 600) or in MHz (getDouble),
//    limited to -kTypedValueLimit..kTypedValueLimit.
//  - clampedTrunc turns a double into an int: truncated toward zero, held
//    inside lo..hi; NaN gives lo.
//  - optionTyped writes a typed value back: "%d" of it (NaN as 0) when whole,
//    else as optionDouble.
//  - writeOptionLines creates or overwrites the file, one text per line, each
//    ended by a line feed; false when it cannot be created or written.

#include <cstdio>
#include <string>
#include <vector>

namespace zarn {

class OptionLines {
public:
    static constexpr size_t kLineLength = 79;
    static constexpr size_t kDefaultMaxLines = 32;
    static constexpr double kTypedValueLimit = 1000000.0;  // beyond every channel number and MHz value

    bool read(const std::string& devicePath, size_t maxLines = kDefaultMaxLines);
    bool readFrom(std::FILE* file, size_t maxLines = kDefaultMaxLines);

    size_t count() const { return lines_.size(); }
    // The line's text without its line end; null when missing.
    const std::string* line(size_t index) const;

    bool getInt(size_t index, int& value, int low, int high) const;
    bool getDouble(size_t index, double& value, double low, double high) const;
    bool getTypedValue(size_t index, double& value, bool whole) const;

private:
    std::vector<std::string> lines_;
};

// atoi as the option files read it, limited to low..high.
int parseOptionInt(const std::string& text, int low, int high);
// atof as the option files read it, limited to low..high; false for NaN.
bool parseOptionDouble(const std::string& text, double low, double high, double& value);

// "%d" and "%f" as the option files write them, in the C locale.
std::string optionInt(int value);
std::string optionDouble(double value);
std::string optionTyped(double value, bool whole);

int clampedTrunc(double value, int lo, int hi);

bool writeOptionLines(const std::string& devicePath, const std::vector<std::string>& lines);

}  // namespace zarn
