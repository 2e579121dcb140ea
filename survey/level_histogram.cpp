#include "survey/level_histogram.h"

#include <algorithm>

#include "survey/level_statistics.h"

namespace zarn {

void LevelHistogram::add(int sixteenths) { add(sixteenths, 1); }

void LevelHistogram::add(int sixteenths, uint64_t times) {
    auto at = std::lower_bound(levels_.begin(), levels_.end(), sixteenths,
                               [](const Level& l, int s) { return l.sixteenths < s; });
    if (at == levels_.end() || at->sixteenths != sixteenths) at = levels_.insert(at, {sixteenths, 0});
    at->count += times;
    count_ += times;
}

void LevelHistogram::add(const LevelHistogram& other) {
    for (const Level& l : std::vector<Level>(other.levels_)) add(l.sixteenths, l.count);  // other may be this one
}

size_t LevelHistogram::countBelow(double dbm) const {
    size_t below = 0;
    for (const Level& l : levels_) {
        if (!(l.sixteenths / 16.0 < dbm)) break;
        below += l.count;
    }
    return below;
}

std::optional<double> LevelHistogram::mean() const {
    LevelSum sum;
    for (const Level& l : levels_) sum.add(l.sixteenths / 16.0, l.count);
    return sum.mean();
}

std::optional<double> LevelHistogram::percentile(double fraction) const {
    const size_t rank = nearestRank(fraction, count_);
    if (rank == 0) return std::nullopt;
    size_t below = 0;
    for (const Level& l : levels_) {
        below += l.count;
        if (below >= rank) return l.sixteenths / 16.0;
    }
    return std::nullopt;  // not reached: the counts add up to count_
}

}  // namespace zarn
