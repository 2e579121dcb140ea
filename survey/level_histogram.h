#pragma once
// LevelHistogram: levels in the board's sixteenths of a dB, counted rather
// than kept, for the figures of LevelStatistics over millions of levels (a
// day of a channel, a day of sweeps at every point of the band) in memory that
// follows the levels that occur, not their number: a count per level taken,
// in the order of the levels.
//
// Its figures are LevelStatistics' (survey/level_statistics.h) of the same
// levels in dBm: percentiles, min, max and countBelow to the bit (the rank
// comes from nearestRank, and a level in sixteenths is exact in a double), the
// mean summed by LevelSum from the counts, so but for the last bits that the
// order of the sum moves.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace zarn {

class LevelHistogram {
public:
    void add(int sixteenths);
    void add(const LevelHistogram& other);

    size_t count() const { return count_; }
    size_t countBelow(double dbm) const;
    std::optional<double> mean() const;
    std::optional<double> min() const { return percentile(0.0); }
    std::optional<double> max() const { return percentile(1.0); }
    std::optional<double> percentile(double fraction) const;

private:
    struct Level {
        int sixteenths;
        uint64_t count;
    };
    void add(int sixteenths, uint64_t times);

    std::vector<Level> levels_;  // ascending
    size_t count_ = 0;
};

}  // namespace zarn
