#pragma once
// Occupancy folded into a grid of cells, places across and periods down, the
// one rule of zarnlog's occupancy pictures (the PNG and the report's): place k
// of n covers the cells from k * columns / n to (k + 1) * columns / n (at
// least one), and likewise a period of the rows; a cell holds the busiest
// occupancy of what covers it, or none.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace zarn {

// A cell no period covers: light grey (0x00RRGGBB).
constexpr uint32_t kNoPeriodPixel = 0xc8c8c8;

class OccupancyCells {
public:
    static constexpr float kNone = -1;

    OccupancyCells() = default;
    OccupancyCells(int columns, int rows);

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    // Occupancy 0..1, or kNone where no period with a sample covers the cell.
    float at(int column, int row) const { return cells_[static_cast<size_t>(row) * columns_ + column]; }

    // Place `place` of `places`, period `period` of `periods`, busy `occupancy` (0..1).
    void fold(long long place, long long places, long long period, long long periods, float occupancy);

    // The cells [first, end) out of `cells` that item k of n covers.
    static std::pair<int, int> span(long long k, long long n, int cells);

private:
    int columns_ = 0, rows_ = 0;
    std::vector<float> cells_;
};

}  // namespace zarn
