#pragma once
// The board reports levels in sixteenths of a dB (dBm x 16).

#include <cstdint>

namespace zarn {

constexpr double dbmOfLevel(int level) { return level / 16.0; }

// Whole dBm as the screens and the ranking show them: truncated toward zero.
constexpr int wholeDbmOfLevel(int level) { return level / 16; }

}  // namespace zarn
