#include "tools/zarnlog/occupancy_cells.h"

#include <algorithm>

namespace zarn {

OccupancyCells::OccupancyCells(int columns, int rows)
    : columns_(columns), rows_(rows), cells_(static_cast<size_t>(columns) * rows, kNone) {}

std::pair<int, int> OccupancyCells::span(long long k, long long n, int cells) {
    n = std::max(n, 1LL);
    const int first = static_cast<int>(k * cells / n);
    return {first, std::max(first + 1, static_cast<int>((k + 1) * cells / n))};
}

void OccupancyCells::fold(long long place, long long places, long long period, long long periods, float occupancy) {
    if (place < 0 || place >= places || period < 0 || period >= periods) return;
    const auto [x0, x1] = span(place, places, columns_);
    const auto [y0, y1] = span(period, periods, rows_);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            float& cell = cells_[static_cast<size_t>(y) * columns_ + x];
            cell = std::max(cell, occupancy);
        }
}

}  // namespace zarn
