#pragma once
// Viridis, the perceptually uniform colour map: dark blue at 0, yellow at 1.
// Values outside 0..1 take the nearer end; NaN gives the low end.

#include <cstdint>

namespace zarn {

// 0x00RRGGBB, as Surface pixels are.
uint32_t viridisPixel(double t);

// What a level can be, in dBm: a scale reaches no further.
constexpr double kLowestLevelDbm = -200, kHighestLevelDbm = 50;

// The levels from the low to the high end of the colour map, in dBm.
struct LevelScale {
    double lo = -120, hi = -40;
    uint32_t pixel(double dbm) const { return viridisPixel((dbm - lo) / (hi - lo)); }
};

}  // namespace zarn
