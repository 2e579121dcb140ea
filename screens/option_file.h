#pragma once
// Option files: a few values in a small text file of the device's root
// folder, one value a line.
//
//  - readOptionLines gives at most `count` lines of the file, without their
//    line ends; a line longer than 79 characters is cut there and the rest of
//    it skipped, so it never shifts the lines after it. A file that does not
//    open gives no lines; a short file gives the lines it has.
//  - parseOptionInt / parseOptionDouble read a number at the start of a line
//    (leading blanks and a sign allowed, anything after the number ignored,
//    as atoi and atof do) and fail, leaving `value` alone, for a line without
//    a number and for a number the type cannot hold (or an infinite or NaN
//    double).
//  - writeOptionFile creates or truncates the file; false when it cannot be
//    written, which callers ignore.

#include <string>
#include <vector>

namespace zarn {

constexpr size_t kOptionLineLength = 79;

std::vector<std::string> readOptionLines(const std::string& devicePath, size_t count);
bool parseOptionInt(const std::string& line, int& value);
bool parseOptionDouble(const std::string& line, double& value);
bool writeOptionFile(const std::string& devicePath, const std::string& text);

// An int from a double, truncated toward zero and held inside lo..hi; NaN gives lo.
int clampedTrunc(double value, int lo, int hi);

}  // namespace zarn
