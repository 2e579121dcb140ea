#include "survey/level_statistics.h"

#include <algorithm>
#include <cmath>

namespace zarn {

void LevelSum::add(double dbm, size_t times) {
    if (std::isnan(dbm) || times == 0) return;
    min_ = count_ ? std::min(min_, dbm) : dbm;
    max_ = count_ ? std::max(max_, dbm) : dbm;
    count_ += times;
    milliwatts_ += static_cast<double>(times) * std::pow(10.0, dbm / 10.0);
}

void LevelSum::add(const LevelSum& other) {
    if (other.count_ == 0) return;
    min_ = count_ ? std::min(min_, other.min_) : other.min_;
    max_ = count_ ? std::max(max_, other.max_) : other.max_;
    count_ += other.count_;
    milliwatts_ += other.milliwatts_;
}

std::optional<double> LevelSum::mean() const {
    if (count_ == 0) return std::nullopt;
    return 10.0 * std::log10(milliwatts_ / static_cast<double>(count_));
}

std::optional<double> LevelSum::min() const { return count_ ? std::optional<double>(min_) : std::nullopt; }

std::optional<double> LevelSum::max() const { return count_ ? std::optional<double>(max_) : std::nullopt; }

void LevelStatistics::add(double dbm) {
    if (std::isnan(dbm)) return;
    sorted_ = sorted_ && (levels_.empty() || levels_.back() <= dbm);
    levels_.push_back(dbm);
    sum_.add(dbm);
}

void LevelStatistics::add(const LevelStatistics& other) {
    const std::vector<double> levels = other.levels_;  // other may be this one
    for (double dbm : levels) add(dbm);
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

size_t LevelStatistics::countBelow(double dbm) const {
    sort();
    return static_cast<size_t>(std::lower_bound(levels_.begin(), levels_.end(), dbm) - levels_.begin());
}

size_t nearestRank(double fraction, size_t count) {
    if (count == 0 || !(fraction >= 0.0 && fraction <= 1.0)) return 0;
    // As PostgreSQL's percentile_disc: rownum = ceil(percentile * number_of_rows), the first row below 1.
    const auto rank = static_cast<size_t>(std::ceil(fraction * static_cast<double>(count)));
    return std::clamp<size_t>(rank, 1, count);
}

std::optional<double> LevelStatistics::percentile(double fraction) const {
    const size_t rank = nearestRank(fraction, levels_.size());
    if (rank == 0) return std::nullopt;
    sort();
    return levels_[rank - 1];
}

void LevelStatistics::sort() const {
    if (sorted_) return;
    std::sort(levels_.begin(), levels_.end());
    sorted_ = true;
}

}  // namespace zarn
