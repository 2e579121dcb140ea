#pragma once
// Spectrum occupancy: the share of a channel's samples above a threshold over a
// period, per channel of single-channel, table and best-servers records and per
// point of sweeps, the one way zarnlog and zarn-record work it out.
//
// - Periods: the records' stamps (the device's clock) cut into whole periods
//   counted from midnight, so 15 minutes give :00, :15, :30, :45. A record
//   stamped in another period than the one under way ends it (also a clock
//   set back); the last one ends with finish().
// - A row for each place (band and frequency; a channel measured by several
//   kinds of record is one place) with samples in the period: samples, samples
//   above the threshold (strictly: a level equal to it is not above),
//   occupancy = above / samples, the mean level averaged in mW and the
//   highest, as survey/level_statistics.h sums them, and the threshold used.
//   Rows by band, then frequency.
// - Threshold: a level in dBm, or `noise+DB`: DB above the band's noise
//   floor, the 10th percentile of every level of the band in the period
//   (level_statistics' percentile rule). The 10th: a floor follows the quiet
//   samples that most of a band has, not the busy ones; the lowest level alone
//   would follow a single deep fade.
// - Levels are counted in their sixteenths of a dB per place, so memory
//   follows the places and the spread of their levels, not the period's length.
//
// CSV (zarnlog occupancy -o occ.csv, one row a place and period):
//   period_start,band,channel,mhz,samples,above,occupancy,mean_dbm,max_dbm,threshold_dbm
//   2024-05-14T11:00:00,800,384,881.52,400,372,0.9300,-55.21,-49.5,-100.5
// JSON (the MQTT occupancy message; the recorder's status without "rows"):
//   {"period_start":"2024-05-14T11:00:00","period_s":900,"threshold":"noise+10",
//    "noise_floor_dbm":{"800":-110.5,"1900":null},"places":833,"busiest":{..a row..},
//    "rows":[{"band":"800","channel":384,"mhz":881.52,"samples":400,"above":372,
//             "occupancy":0.9300,"mean_dbm":-55.21,"max_dbm":-49.5,"threshold_dbm":-100.5}]}
// Texts: occupancy 4 decimals, mean 2, max exact (csv_rows' appendDbm),
// threshold the shortest text of its value.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "recording/log_reader.h"
#include "survey/record_levels.h"

namespace zarn {

constexpr double kNoiseFloorFraction = 0.10;
constexpr long long kLongestPeriod = 86400;

struct OccupancyThreshold {
    bool aboveNoise = false;
    double db = 0;  // the level in dBm; above noise, dB over the floor
    std::string text() const;  // "-95", "noise+10"
};

// "-95" (dBm, -150..+30) or "noise+DB" (0..100 dB); false with the reason.
bool parseOccupancyThreshold(const std::string& text, OccupancyThreshold& out, std::string& error);
// "900", "30s", "15m", "2h": 1 s to a day; false with the reason.
bool parsePeriod(const std::string& text, long long& seconds, std::string& error);
// A period as parsePeriod takes it, in its largest whole unit: "15m", "2h", "90s".
std::string periodText(long long seconds);

struct OccupancyRow {
    uint8_t band = 0;
    uint32_t channel = kUnknownChannel;
    uint32_t hz = 0;
    uint64_t samples = 0, above = 0;
    double meanDbm = 0;
    int maxLevel = 0;  // 1/16 dB
    double thresholdDbm = 0;
    double occupancy() const { return samples ? static_cast<double>(above) / static_cast<double>(samples) : 0.0; }
};

struct OccupancyPeriod {
    long long start = 0;  // stamp seconds (stampSeconds)
    long long seconds = 0;
    OccupancyThreshold threshold;
    std::optional<int> noiseFloor[2];  // 1/16 dB, per band, with a noise-relative threshold
    std::vector<OccupancyRow> rows;
    // The row of the highest occupancy (the lower frequency of equals); nullptr without rows.
    const OccupancyRow* busiest() const;
};

class OccupancyCounter {
public:
    OccupancyCounter(uint32_t pcsRaster, OccupancyThreshold threshold, long long periodSeconds);
    ~OccupancyCounter();
    OccupancyCounter(const OccupancyCounter&) = delete;
    OccupancyCounter& operator=(const OccupancyCounter&) = delete;

    // Takes a record; true with `ended` set when the record began a new period after one with samples.
    bool take(const LogRecord& r, OccupancyPeriod& ended);
    // The period under way, if it has samples; the counter starts afresh.
    bool finish(OccupancyPeriod& last);

private:
    class Places;
    RecordLevels levels_;
    OccupancyThreshold threshold_;
    long long periodSeconds_;
    std::optional<long long> period_;  // start of the period under way
    std::unique_ptr<Places> places_;
};

// A row's occupancy as its CSV field gives it ("0.9300").
std::string occupancyText(const OccupancyRow& row);

std::string occupancyCsvHeader();
void appendOccupancyCsv(const OccupancyPeriod& period, std::string& out);
// The period's object, without a line end; without "rows" when `rows` is false.
void appendOccupancyJson(const OccupancyPeriod& period, std::string& out, bool rows = true);

}  // namespace zarn
