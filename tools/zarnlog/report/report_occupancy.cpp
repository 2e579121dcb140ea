#include "tools/zarnlog/report/report_occupancy.h"

#include <algorithm>
#include <climits>

#include "tools/zarnlog/occupancy_cells.h"

namespace zarn::report {

void beginOccupancy(ReportData& data) {
    long long first = LLONG_MAX, last = LLONG_MIN;
    for (const LogOverview& l : data.logs)
        if (l.records) {
            first = std::min(first, l.first);
            last = std::max(last, l.last);
        }
    SweepOccupancy& o = data.occupancy;
    o = SweepOccupancy{};
    if (first > last) return;
    const long long period = data.options.occupancyPeriod;
    o.firstPeriod = first - ((first % period) + period) % period;
    o.periods = (last - o.firstPeriod) / period + 1;
    o.rows = static_cast<int>(std::min<long long>(o.periods, SweepOccupancy::kMostRows));
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
    if (period < 0 || period >= o.periods) return;  // the span is every record's; kept safe all the same
    const int row = OccupancyCells::span(period, o.periods, o.rows).first;
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
