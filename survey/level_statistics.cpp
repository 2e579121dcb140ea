#include "survey/level_statistics.h"

#include <algorithm>
#include <cmath>

namespace zarn {

size_t percentileRank(double fraction, size_t count) {
    // As PostgreSQL's percentile_disc: rownum = ceil(percentile * number_of_rows), the first row below 1.
    const auto rank = static_cast<long long>(std::ceil(fraction * static_cast<double>(count)));
    return static_cast<size_t>(std::max(rank, 1LL));
}

void LevelStatistics::add(double dbm) {
    if (std::isnan(dbm)) return;
    sorted_ = sorted_ && (levels_.empty() || levels_.back() <= dbm);
    levels_.push_back(dbm);
    sumMilliwatts_ += std::pow(10.0, dbm / 10.0);
}

void LevelStatistics::add(const LevelStatistics& other) {
    const std::vector<double> levels = other.levels_;  // other may be this one
    for (double dbm : levels) add(dbm);
}

std::optional<double> LevelStatistics::mean() const {
    if (levels_.empty()) return std::nullopt;
    return 10.0 * std::log10(sumMilliwatts_ / static_cast<double>(levels_.size()));
}

std::optional<double> LevelStatistics::min() const {
    if (levels_.empty()) return std::nullopt;
    sort();
    return levels_.front();
}

std::optional<double> LevelStatistics::max() const {
    if (levels_.empty()) return std::nullopt;
    sort();
    return levels_.back();
}

std::optional<double> LevelStatistics::percentile(double fraction) const {
    if (levels_.empty() || !(fraction >= 0.0 && fraction <= 1.0)) return std::nullopt;
    sort();
    return levels_[percentileRank(fraction, levels_.size()) - 1];
}

void LevelStatistics::sort() const {
    if (sorted_) return;
    std::sort(levels_.begin(), levels_.end());
    sorted_ = true;
}

}  // namespace zarn
