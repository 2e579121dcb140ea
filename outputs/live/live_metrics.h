#pragma once
// The recorder's metrics in Prometheus's text exposition format (version 0.0.4),
// named by Prometheus's rules: counters end in _total, a unit in the name's end,
// zarn_build_info for the version.
//
// renderMetrics reads the RecorderStatus (the board, gpsd, the log, the
// outputs, the stream's clients, the alarms, the last occupancy period, the
// archive's backlog) and the readings the live output took from the last
// records. A family is a few lines in live_metrics.cpp: its name, type
// and help, then a sample for each value; a family without a value is left out.
//
// Levels and frequencies are the CSV rows' texts (survey/csv_rows.h), so the
// metrics, the page and `zarnlog csv` show the same digits; occupancy those of
// `zarnlog occupancy`'s rows.
//
// Occupancy per place (zarn_occupancy_ratio{band,channel,mhz}) is every place of
// a period with at most kOccupancyPlacesShown of them (a single channel, a
// table), else the busiest that many: a sweep has a place per point, and a
// series each would swamp a monitoring server. The per-band families sum every
// place, and the MQTT message and the CSV carry them all.

#include <cstddef>
#include <string>
#include <vector>

#include "survey/recorder_status.h"

namespace zarn {

constexpr size_t kOccupancyPlacesShown = 64;

// What the last records measured.
struct LiveReadings {
    struct Level {
        std::string band, channel, dbm;  // "800", "384", "-62.5"
    };
    struct Peak {
        std::string band, mhz, dbm;
    };
    std::vector<Level> levels;  // of the last single-channel or channel-table record
    std::vector<Peak> peaks;    // of the last sweep in each band
};

std::string renderMetrics(const RecorderStatus& status, const LiveReadings& readings);

}  // namespace zarn
