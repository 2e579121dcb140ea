#include "tools/zarnlog/report/report_occupancy.h"

#include <algorithm>

#include "tools/zarnlog/occupancy_cells.h"

namespace zarn::report {

void beginOccupancy(ReportData& data) {
    std::vector<std::pair<long long, long long>> spans;  // of logs with records: first and last stamp
    for (const LogOverview& l : data.logs)
        if (l.records) spans.emplace_back(l.first, l.last);
    SweepOccupancy& o = data.occupancy;
    o = SweepOccupancy{};
    if (spans.empty()) return;
    std::sort(spans.begin(), spans.end());
    const long long period = data.options.occupancyPeriod;
    const long long first = spans.front().first;
    o.firstPeriod = first - ((first % period) + period) % period;
    // Logs that share or touch a period make one stretch.
    for (const auto& [from, to] : spans) {
        const long long a = (from - o.firstPeriod) / period, b = (to - o.firstPeriod) / period + 1;
        if (!o.stretches.empty() && a <= o.stretches.back().first + o.stretches.back().periods) {
            SweepOccupancy::Stretch& last = o.stretches.back();
            last.periods = std::max(last.periods, b - last.first);
        } else {
            o.stretches.push_back({a, b - a});
        }
    }
    for (const SweepOccupancy::Stretch& s : o.stretches) o.shown += s.periods;
    o.periods = o.stretches.back().first + o.stretches.back().periods;
    o.rows = static_cast<int>(std::min<long long>(o.shown, SweepOccupancy::kMostRows));
}

OccupancyTaker::OccupancyTaker(ReportData& data, uint32_t pcsRaster)
    : data_(data), counter_(pcsRaster, data.options.occupancyThreshold, data.options.occupancyPeriod) {}

void OccupancyTaker::take(const LogRecord& r) {
    if (counter_.take(r, ended_)) add(ended_);
}

void OccupancyTaker::finish() {
    if (counter_.finish(ended_)) add(ended_);
}

void OccupancyTaker::add(const OccupancyPeriod& p) {
    SweepOccupancy& o = data_.occupancy;
    const long long period = (p.start - o.firstPeriod) / data_.options.occupancyPeriod;
    const std::optional<int> shownRow = o.rowOf(period);
    if (!shownRow) return;  // the stretches hold every record; kept safe all the same
    const int row = *shownRow;
    for (const OccupancyRow& r : p.rows) {
        const int band = r.band & 1;
        auto& threshold = o.thresholds[band];
        threshold = threshold ? std::pair{std::min(threshold->first, r.thresholdDbm), std::max(threshold->second, r.thresholdDbm)}
                              : std::pair{r.thresholdDbm, r.thresholdDbm};
        OccupancyPlace& place = o.places[band][r.hz];
        if (place.rows.empty()) place.rows.assign(static_cast<size_t>(o.rows), OccupancyCells::kNone);
        place.samples += r.samples;
        place.above += r.above;
        const double busy = r.occupancy();
        if (busy > place.busiest) {
            place.busiest = busy;
            place.busiestStart = p.start;
        }
        float& cell = place.rows[static_cast<size_t>(row)];
        cell = std::max(cell, static_cast<float>(busy));
    }
}

}  // namespace zarn::report
