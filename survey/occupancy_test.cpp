// Occupancy against known answers: a log whose levels are known per period, with a
// preset and a noise-relative threshold; random levels against a plain recount through
// LevelStatistics; the texts of a row; the bad thresholds and periods a user may type.
#include "survey/occupancy.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>

#include "recording/synthetic_log.h"
#include "survey/level_statistics.h"
#include "survey/log_text.h"
#include "survey/log_time.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

struct TempLog {
    std::string path = (fs::temp_directory_path() / ("occupancy-" + std::to_string(getpid()) + ".zrn")).string();
    ~TempLog() { fs::remove(path); }
};

OccupancyThreshold threshold(const std::string& text) {
    OccupancyThreshold t;
    std::string error;
    EXPECT_TRUE(parseOccupancyThreshold(text, t, error)) << error;
    return t;
}

std::vector<OccupancyPeriod> periodsOf(const std::string& path, const std::string& thresholdText, long long seconds) {
    LogReader reader;
    LogHeader header;
    EXPECT_TRUE(reader.open(path) && reader.readHeader(header));
    OccupancyCounter counter(header.pcsRaster, threshold(thresholdText), seconds);
    std::vector<OccupancyPeriod> periods;
    OccupancyPeriod p;
    forEachRecord(reader, [&](const LogRecord& r) {
        if (counter.take(r, p)) periods.push_back(p);
        return true;
    });
    if (counter.finish(p)) periods.push_back(p);
    return periods;
}

const OccupancyRow* rowAt(const OccupancyPeriod& p, uint8_t band, uint32_t hz) {
    for (const OccupancyRow& r : p.rows)
        if (r.band == band && r.hz == hz) return &r;
    return nullptr;
}

int16_t sixteenths(double dbm) { return static_cast<int16_t>(dbm * 16); }

// Cellular offsets 100..103 (872.01..872.10 MHz), a sweep a second:
//   14:00:00-14:00:59  100 -100 dBm; 101 -60 for 15 s then -100; 102 -90 every third
//                      second, else -100; 103 -100
//   14:01:00-14:01:29  101 -60, the others -105; also channel 384 (-70) and PCS (-80)
//                      in single-channel records, and a best-servers record with two
//                      ranks filled and eight left empty
void writeKnownLog(const std::string& path) {
    SyntheticLog log(path, 30000, 1);
    for (int s = 0; s < 60; ++s)
        log.sweep(0, 100, 4, [&](uint16_t offset) {
            if (offset == 101 && s < 15) return sixteenths(-60);
            if (offset == 102 && s % 3 == 0) return sixteenths(-90);
            return sixteenths(-100);
        });
    for (int s = 0; s < 27; ++s)
        log.sweep(0, 100, 4, [](uint16_t offset) { return sixteenths(offset == 101 ? -60 : -105); });
    log.singleChannel(384, sixteenths(-70), 100, sixteenths(-80));
    log.singleChannel(384, sixteenths(-70), 100, sixteenths(-80));
    log.bestServers(0, {{417, -58}, {34, -75}});
    ASSERT_TRUE(log.ok());
}

TEST(OccupancyTest, KnownLevelsGiveKnownOccupancyWithAPresetAndANoiseRelativeThreshold) {
    TempLog file;
    writeKnownLog(file.path);
    const uint32_t hz100 = 872010000, hz101 = 872040000, hz102 = 872070000;

    const std::vector<OccupancyPeriod> preset = periodsOf(file.path, "-80", 60);
    ASSERT_EQ(preset.size(), 2u);
    EXPECT_EQ(isoTime(stampTime(preset[0].start)), "2004-07-09T14:00:00");
    EXPECT_EQ(isoTime(stampTime(preset[1].start)), "2004-07-09T14:01:00");
    ASSERT_EQ(preset[0].rows.size(), 4u);
    const OccupancyRow* busy = rowAt(preset[0], 0, hz101);
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->channel, 68u) << "872.04 MHz";
    EXPECT_EQ(busy->samples, 60u);
    EXPECT_EQ(busy->above, 15u);
    EXPECT_DOUBLE_EQ(busy->occupancy(), 0.25);
    EXPECT_EQ(busy->maxLevel, sixteenths(-60));
    EXPECT_DOUBLE_EQ(busy->thresholdDbm, -80);
    LevelStatistics stats;
    for (int s = 0; s < 60; ++s) stats.add(s < 15 ? -60.0 : -100.0);
    EXPECT_NEAR(busy->meanDbm, *stats.mean(), 1e-9);
    EXPECT_EQ(rowAt(preset[0], 0, hz102)->above, 0u);
    EXPECT_EQ(preset[0].busiest(), busy);
    EXPECT_FALSE(preset[0].noiseFloor[0]);

    // Period two: the sweeps, the tuned channel in each band, the two ranks filled.
    const OccupancyPeriod& second = preset[1];
    // The four points, channel 384 (tuned and ranked: one place), 870.03 ranked, the PCS tuning.
    EXPECT_EQ(second.rows.size(), 7u);
    EXPECT_EQ(rowAt(second, 0, hz101)->above, 27u);
    EXPECT_EQ(rowAt(second, 0, hz100)->above, 0u);
    const OccupancyRow* tuned = rowAt(second, 0, 881520000);
    ASSERT_TRUE(tuned);
    EXPECT_EQ(tuned->channel, 384u);
    EXPECT_EQ(tuned->samples, 3u) << "two single-channel readings and a rank";
    EXPECT_EQ(tuned->above, 3u);
    EXPECT_EQ(tuned->maxLevel, sixteenths(-58));
    EXPECT_EQ(rowAt(second, 0, 870030000)->samples, 1u);
    EXPECT_EQ(second.rows.front().band, 0);
    const OccupancyRow& pcs = second.rows.back();
    EXPECT_EQ(pcs.band, 1);
    EXPECT_EQ(pcs.samples, 2u);

    // Noise floors: period one's levels are 205 at -100 of 240, so its tenth
    // percentile is -100; period two's 81 at -105 of 108 cellular levels (and the
    // rest) give -105. noise+10 of -100 is -90: a level equal to it is not above.
    const std::vector<OccupancyPeriod> noise = periodsOf(file.path, "noise+10", 60);
    ASSERT_EQ(noise.size(), 2u);
    EXPECT_EQ(noise[0].noiseFloor[0], sixteenths(-100));
    EXPECT_FALSE(noise[0].noiseFloor[1]);
    EXPECT_DOUBLE_EQ(rowAt(noise[0], 0, hz101)->thresholdDbm, -90);
    EXPECT_EQ(rowAt(noise[0], 0, hz101)->above, 15u);
    EXPECT_EQ(rowAt(noise[0], 0, hz102)->above, 0u);
    const std::vector<OccupancyPeriod> lower = periodsOf(file.path, "noise+9.9375", 60);
    EXPECT_EQ(rowAt(lower[0], 0, hz102)->above, 20u) << "-90 is above -90.0625";
    EXPECT_EQ(noise[1].noiseFloor[0], sixteenths(-105));
    EXPECT_EQ(noise[1].noiseFloor[1], sixteenths(-80));
    EXPECT_DOUBLE_EQ(noise[1].rows.back().thresholdDbm, -70);
    EXPECT_EQ(noise[1].rows.back().above, 0u);
    EXPECT_EQ(rowAt(noise[1], 0, hz100)->above, 0u);

    // One period for the whole log: its rows hold every sample.
    const std::vector<OccupancyPeriod> hour = periodsOf(file.path, "-80", 3600);
    ASSERT_EQ(hour.size(), 1u);
    EXPECT_EQ(rowAt(hour[0], 0, hz101)->samples, 87u);
    EXPECT_EQ(rowAt(hour[0], 0, hz101)->above, 42u);
}

TEST(OccupancyTest, RandomLevelsAgreeWithARecountThroughLevelStatistics) {
    TempLog file;
    std::mt19937 random(7);
    std::normal_distribution<double> noise(-108, 4);
    {
        SyntheticLog log(file.path, 30000, 2);
        for (int s = 0; s < 300; ++s)
            log.sweep(0, 400, 40, [&](uint16_t offset) {
                const double dbm = offset % 7 == 0 && s % 5 < 2 ? -70 + noise(random) + 108 : noise(random);
                return static_cast<int16_t>(std::lround(std::max(dbm, -150.0) * 16));
            });
        ASSERT_TRUE(log.ok());
    }
    // The recount: every level kept, per place and per band, for each 2-minute period.
    struct Recount {
        std::map<uint32_t, std::vector<double>> places;
        LevelStatistics band;
    };
    std::map<long long, Recount> recount;
    LogReader reader;
    LogHeader header;
    ASSERT_TRUE(reader.open(file.path) && reader.readHeader(header));
    RecordLevels levels(header.pcsRaster);
    forEachRecord(reader, [&](const LogRecord& r) {
        const long long start = stampSeconds(r.time) / 120 * 120;
        levels.forEach(r, [&](const MeasuredLevel& m) {
            recount[start].places[m.hz].push_back(dbmOfLevel(m.level));
            recount[start].band.add(dbmOfLevel(m.level));
        });
        return true;
    });

    const std::vector<OccupancyPeriod> periods = periodsOf(file.path, "noise+6", 120);
    ASSERT_EQ(periods.size(), recount.size());
    for (const OccupancyPeriod& p : periods) {
        SCOPED_TRACE(isoTime(stampTime(p.start)));
        Recount& expected = recount.at(p.start);
        const double floor = *expected.band.percentile(kNoiseFloorFraction);
        EXPECT_DOUBLE_EQ(dbmOfLevel(*p.noiseFloor[0]), floor);
        ASSERT_EQ(p.rows.size(), expected.places.size());
        for (const OccupancyRow& row : p.rows) {
            const std::vector<double>& levels = expected.places.at(row.hz);
            LevelStatistics place;
            for (double dbm : levels) place.add(dbm);
            EXPECT_EQ(row.samples, place.count());
            EXPECT_DOUBLE_EQ(dbmOfLevel(row.maxLevel), *place.max());
            EXPECT_NEAR(row.meanDbm, *place.mean(), 1e-9);
            EXPECT_EQ(row.above, static_cast<uint64_t>(std::count_if(levels.begin(), levels.end(), [&](double dbm) { return dbm > floor + 6; })))
                << row.hz;
        }
    }
}

TEST(OccupancyTest, RowsReadTheSameInCsvAndJson) {
    OccupancyPeriod p;
    p.start = stampSeconds({2024, 5, 14, 11, 0, 0});
    p.seconds = 900;
    p.threshold = threshold("noise+10");
    p.noiseFloor[0] = sixteenths(-110.5);
    p.rows = {{0, 384, 881520000, 400, 372, -55.2149, sixteenths(-49.5), -100.5},
              {1, kUnknownChannel, 1962500000, 3, 1, -80, sixteenths(-70), -100.5}};
    std::string csv = occupancyCsvHeader();
    appendOccupancyCsv(p, csv);
    EXPECT_EQ(csv,
              "period_start,band,channel,mhz,samples,above,occupancy,mean_dbm,max_dbm,threshold_dbm\n"
              "2024-05-14T11:00:00,800,384,881.52,400,372,0.9300,-55.21,-49.5,-100.5\n"
              "2024-05-14T11:00:00,1900,,1962.50,3,1,0.3333,-80.00,-70.0,-100.5\n");
    std::string text;
    appendOccupancyJson(p, text);
    const nlohmann::json json = nlohmann::json::parse(text);
    EXPECT_EQ(json["period_start"], "2024-05-14T11:00:00");
    EXPECT_EQ(json["threshold"], "noise+10");
    EXPECT_EQ(json["noise_floor_dbm"]["800"], -110.5);
    EXPECT_TRUE(json["noise_floor_dbm"]["1900"].is_null());
    EXPECT_EQ(json["busiest"]["mhz"], 881.52);
    EXPECT_TRUE(json["rows"][1]["channel"].is_null());
    EXPECT_EQ(json["rows"][0]["occupancy"], 0.93);
    text.clear();
    appendOccupancyJson(p, text, false);
    EXPECT_FALSE(nlohmann::json::parse(text).contains("rows"));
}

TEST(OccupancyTest, ThresholdsAndPeriodsAsTyped) {
    struct Case {
        const char* text;
        bool good;
        const char* said;  // in the reason
    };
    for (const Case& c : std::vector<Case>{{"-95", true, ""},
                                           {"noise+10", true, ""},
                                           {"noise+0", true, ""},
                                           {"-151", false, "-150..+30"},
                                           {"31", false, "-150..+30"},
                                           {"noise+", false, "not a level"},
                                           {"noise-3", false, "not a level"},
                                           {"noise+101", false, "0 to 100"},
                                           {"-95dBm", false, "not a level"},
                                           {"nan", false, "not a level"},
                                           {"", false, "not a level"}}) {
        OccupancyThreshold t;
        std::string error;
        EXPECT_EQ(parseOccupancyThreshold(c.text, t, error), c.good) << c.text;
        EXPECT_NE(error.find(c.said), std::string::npos) << c.text << ": " << error;
    }
    struct Period {
        const char* text;
        long long seconds;  // 0: refused
    };
    for (const Period& c : std::vector<Period>{{"15m", 900},
                                               {"30s", 30},
                                               {"2h", 7200},
                                               {"24h", 86400},
                                               {"90", 90},
                                               {"0m", 0},
                                               {"25h", 0},
                                               {"86401", 0},
                                               {"-5m", 0},
                                               {"1.5h", 0},
                                               {"m", 0},
                                               {"9999999999999h", 0}}) {
        long long seconds = -1;
        std::string error;
        EXPECT_EQ(parsePeriod(c.text, seconds, error), c.seconds != 0) << c.text;
        if (c.seconds) EXPECT_EQ(seconds, c.seconds) << c.text;
        else EXPECT_NE(error.find(c.text), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace zarn
