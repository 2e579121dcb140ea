#pragma once
// The recorder's metrics in Prometheus's text exposition format (version 0.0.4),
// named by Prometheus's rules: counters end in _total, a unit in the name's end,
// zarn_build_info for the version.
//
// renderMetrics reads the RecorderStatus (the board, gpsd, the log, the
// outputs, the stream's clients) and the readings the live output took from the
// last records. A family is a few lines in live_metrics.cpp: its name, type
// and help, then a sample for each value; a family without a value is left out.
//
// Levels and frequencies are the CSV rows' texts (survey/csv_rows.h), so the
// metrics, the page and `zarnlog csv` show the same digits.

#include <string>
#include <vector>

#include "survey/recorder_status.h"

namespace zarn {

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
