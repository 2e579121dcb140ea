#pragma once
// The survey the report's tests make, every figure of it worked out by hand: a
// drive north through a column of 50 m grid cells of UTM zone 32N, standing
// for 20 s, then 12.5 m/s (a fix lost at 50 to 52 s), 20 s with no fix at all
// (80 to 99 s), then a walk at 0.35 m/s; one single-channel record a second,
// the cellular level falling by half a dB a second, a note with HTML in it.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "recording/synthetic_log.h"
#include "survey/grid_cell.h"
#include "survey/synthetic_track.h"
#include "tools/zarnlog/zarnlog_test_support.h"

namespace zarn::testing::survey {

constexpr int kSeconds = 120;
constexpr uint32_t kCellularHz = 881520000;  // channel 384
constexpr uint32_t kPcsHz = 1962450000;      // on both the 30 and the 50 kHz raster
constexpr uint16_t kPcsOffset = 3245;        // 10 kHz steps from 1930 MHz
constexpr int16_t kPcsLevel = -95 * 16;

// The drive in UTM zone 32N metres: a column of 50 m cells from row kRow0 north.
constexpr double kEasting = 462025, kNorthing = 5240000;
constexpr long long kColumn = 9240, kRow0 = 104800;

inline double cellularDbm(int s) { return -60 - s / 2.0; }

// Where the drive is at second s, in metres north of kNorthing; none without a fix.
inline std::optional<double> north(long long s) {
    if (s < 20) return 5;                                  // standing
    if (s >= 50 && s <= 52) return std::nullopt;           // a fix lost for a moment
    if (s < 80) return 5 + 12.5 * static_cast<double>(s - 20);
    if (s < 100) return std::nullopt;                      // 20 s without a fix
    if (s < kSeconds) return 755 + 0.35 * static_cast<double>(s - 100);  // a walk
    return std::nullopt;
}

struct Survey {
    std::string log, track;
};

inline Survey writeDrive(const TempFolder& dir, const std::string& name) {
    Survey s{dir.file(name + ".zrn"), dir.file(name + ".gpx")};
    SyntheticLog log(s.log, 50000);
    for (int t = 0; t < kSeconds; ++t) {
        if (t == 10) log.note("Start <b>&amp; \"here\"");
        log.singleChannel(384, static_cast<int16_t>(std::lround(cellularDbm(t) * 16)), kPcsOffset, kPcsLevel);
    }
    EXPECT_TRUE(log.ok());
    CellGrid utm;
    std::string error;
    EXPECT_TRUE(utm.open(32632, 50, error)) << error;
    EXPECT_TRUE(writeSyntheticTrack(s.track, 0, kSeconds, 1, [&](long long t) -> std::optional<Place> {
        const std::optional<double> y = north(t);
        if (!y) return std::nullopt;
        const std::optional<LatLon> p = utm.place(kEasting, kNorthing + *y);
        return Place{p->lat, p->lon};
    }));
    return s;
}

}  // namespace zarn::testing::survey
