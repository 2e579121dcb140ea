#include "survey/colour_map.h"

#include <array>
#include <cmath>

namespace zarn {
namespace {

// Viridis sampled at ninths of its range.
constexpr uint32_t kStops[] = {0x440154, 0x482878, 0x3E4A89, 0x31688E, 0x26828E,
                               0x1F9E89, 0x35B779, 0x6DCD59, 0xB4DE2C, 0xFDE725};
constexpr int kStopCount = sizeof kStops / sizeof kStops[0];

uint32_t blend(uint32_t a, uint32_t b, double f) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= static_cast<uint32_t>(std::lround(ca + (cb - ca) * f)) << shift;
    }
    return out;
}

std::array<uint32_t, 256> buildTable() {
    std::array<uint32_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        const double x = i / 255.0 * (kStopCount - 1);
        const int k = std::min(static_cast<int>(x), kStopCount - 2);
        table[i] = blend(kStops[k], kStops[k + 1], x - k);
    }
    return table;
}

}  // namespace

uint32_t viridisPixel(double t) {
    static const std::array<uint32_t, 256> table = buildTable();
    if (!(t > 0)) return table[0];
    if (t >= 1) return table[255];
    return table[static_cast<int>(t * 255.0 + 0.5)];
}

}  // namespace zarn
