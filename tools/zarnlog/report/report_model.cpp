#include "tools/zarnlog/report/report_model.h"

#include <algorithm>

#include "tools/zarnlog/occupancy_cells.h"

namespace zarn::report {

void Extent::take(const Place& p) {
    south = std::min(south, p.lat);
    north = std::max(north, p.lat);
    west = std::min(west, p.lon);
    east = std::max(east, p.lon);
}

void Extent::take(const Extent& e) {
    if (e.empty()) return;
    take(Place{e.south, e.west});
    take(Place{e.north, e.east});
}

std::optional<int> SweepOccupancy::rowOf(long long period) const {
    long long before = 0;
    for (const Stretch& s : stretches) {
        if (period >= s.first && period < s.first + s.periods) return rowOfShown(before + period - s.first);
        before += s.periods;
    }
    return std::nullopt;
}

int SweepOccupancy::rowOfShown(long long n) const { return OccupancyCells::span(n, shown, rows).first; }

TimeAxis::TimeAxis(const std::vector<LogOverview>& logs, int mostColumns) {
    long long total = 0;
    for (const LogOverview& log : logs) {
        const long long length = log.records ? log.last - log.first + 1 : 0;
        parts_.push_back({log.first, total, length});
        total += length;
    }
    perColumn_ = std::max(1LL, (total + mostColumns - 1) / mostColumns);
    columns_ = static_cast<int>(std::max(1LL, (total + perColumn_ - 1) / perColumn_));
}

int TimeAxis::columnOf(size_t log, long long stamp) const {
    const Part& p = parts_[log];
    const long long at = p.offset + std::clamp(stamp - p.first, 0LL, std::max(p.length - 1, 0LL));
    return std::clamp(static_cast<int>(at / perColumn_), 0, columns_ - 1);
}

double TimeAxis::startOf(size_t log) const { return static_cast<double>(parts_[log].offset) / seconds(); }

std::pair<size_t, double> TimeAxis::stampAt(double x) const {
    const double at = std::clamp(x, 0.0, 1.0) * seconds();
    size_t log = 0;
    for (size_t i = 0; i < parts_.size(); ++i)
        if (parts_[i].length > 0 && static_cast<double>(parts_[i].offset) <= at) log = i;
    const Part& p = parts_[log];
    return {log, static_cast<double>(p.first) + at - static_cast<double>(p.offset)};
}

size_t DominanceCell::withinFiveDb() const {
    std::vector<double> means;
    for (const auto& [hz, levels] : channels)
        if (const auto mean = levels.mean()) means.push_back(*mean);
    if (means.empty()) return 0;
    const double strongest = *std::max_element(means.begin(), means.end());
    return static_cast<size_t>(std::count_if(means.begin(), means.end(), [&](double m) { return m >= strongest - 5; }));
}

bool ReportData::anyPlaced() const {
    return std::any_of(logs.begin(), logs.end(), [](const LogOverview& l) { return l.placing.placed > 0; });
}

}  // namespace zarn::report
