#pragma once
// LevelStatistics: levels in dBm summed up the one way every report, grid cell
// and occupancy figure sums them, so that a figure made here and one made by
// the database agree: percentiles, min and max exactly, the mean but for the
// last bits that the order of a floating-point sum moves.
//
// - mean: the levels averaged as powers (mW) and shown in dBm again:
//   10 log10(mean of 10^(dBm/10)); in SQL 10 * log10(avg(10 ^ (dbm / 10))).
// - percentile(f): nearest rank, PostgreSQL's percentile_disc(f) WITHIN GROUP
//   (ORDER BY dbm): the levels in ascending order, the one at rank
//   ceil(f x n) counted from 1 (the first for f = 0). f x n is worked out in
//   double precision as PostgreSQL does, so 0.07 x 100 is just above 7 and
//   takes rank 8 in both. The median is percentile(0.5): a level that was
//   measured, never the mean of two.
// - min, max; count. A NaN (not measured) is not taken.
// - With no level taken each figure is nullopt; so is a percentile of an f
//   outside 0..1 (PostgreSQL refuses it).
// The levels are kept (8 bytes each) so that every percentile is exact. One
// object is for one thread at a time (a figure sorts the levels it keeps).

#include <cstddef>
#include <optional>
#include <vector>

namespace zarn {

// The rank, counted from 1, of percentile(fraction) among `count` levels in
// ascending order (count > 0, fraction within 0..1), for a figure that keeps its
// levels otherwise (counted by level, say) and must pick the same one.
size_t percentileRank(double fraction, size_t count);

class LevelStatistics {
public:
    void add(double dbm);
    void add(const LevelStatistics& other);

    size_t count() const { return levels_.size(); }
    std::optional<double> mean() const;
    std::optional<double> min() const;
    std::optional<double> max() const;
    std::optional<double> percentile(double fraction) const;

private:
    void sort() const;

    mutable std::vector<double> levels_;
    mutable bool sorted_ = true;
    double sumMilliwatts_ = 0;
};

}  // namespace zarn
