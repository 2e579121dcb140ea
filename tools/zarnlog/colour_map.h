#pragma once
// Viridis, the perceptually uniform colour map: dark blue at 0, yellow at 1.
// Values outside 0..1 take the nearer end; NaN gives the low end.

#include <cstdint>

namespace zarn {

// 0x00RRGGBB, as Surface pixels are.
uint32_t viridisPixel(double t);

}  // namespace zarn
