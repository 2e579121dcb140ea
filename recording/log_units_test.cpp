#include "recording/log_units.h"

#include <gtest/gtest.h>

using namespace zarn;

namespace {

struct Built {
    std::vector<uint8_t> payload;
    LogRecord record(uint8_t type) const { return LogRecord{0, {}, "", type, payload.data(), payload.size()}; }
};

void put16(std::vector<uint8_t>& p, int v) {
    p.push_back(static_cast<uint8_t>(v));
    p.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

TEST(LogUnits, SingleChannelGivesBothTunedChannelsInMegahertzAndDbm) {
    Built b;
    put16(b.payload, 384);
    put16(b.payload, -1000);
    put16(b.payload, 3250);
    put16(b.payload, -1208);
    const struct { uint32_t raster, pcsChannel; } cases[] = {{50000, 650}, {30000, 1082}, {200000, 673}};
    for (const auto& c : cases) {
        LogPlans plans(c.raster);
        SingleChannelReading r;
        ASSERT_TRUE(decodeSingleChannel(plans, b.record(216), r));
        EXPECT_EQ(r.band[0].channel, 384u);
        EXPECT_EQ(r.band[0].hz, 881520000u);
        EXPECT_DOUBLE_EQ(dbmOfLevel(r.band[0].level), -62.5);
        EXPECT_EQ(r.band[1].hz, 1962500000u);
        EXPECT_EQ(r.band[1].channel, c.pcsChannel) << c.raster;
        EXPECT_DOUBLE_EQ(dbmOfLevel(r.band[1].level), -75.5);
    }
}

TEST(LogUnits, TableSlotsUpToTheCountWithTheirFrequencies) {
    Built b;
    b.payload.assign(201, 0);
    b.payload[0] = 3;
    const struct { uint8_t band; int channel, level; } slots[] = {{0, 991, -900}, {1, 600, -1000}, {1, 5000, -1100}};
    for (int k = 0; k < 3; ++k) {
        uint8_t* s = b.payload.data() + 1 + 5 * k;
        s[0] = slots[k].band;
        s[1] = static_cast<uint8_t>(slots[k].channel);
        s[2] = static_cast<uint8_t>(slots[k].channel >> 8);
        s[3] = static_cast<uint8_t>(slots[k].level);
        s[4] = static_cast<uint8_t>(slots[k].level >> 8);
    }
    LogPlans plans(50000);
    std::vector<TableReading> rows;
    ASSERT_TRUE(decodeTable(plans, b.record(217), rows));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].hz, 869040000u);
    EXPECT_EQ(rows[1].hz, 1960000000u);
    EXPECT_EQ(rows[2].hz, 1990000000u);  // beyond the raster's last channel, as the board was told
    EXPECT_EQ(rows[2].level, -1100);
    EXPECT_FALSE(decodeTable(plans, b.record(216), rows));
}

TEST(LogUnits, SweepPointsSitOnTheRasterOfTheirBand) {
    Built b;
    b.payload = {1};
    put16(b.payload, 100);
    put16(b.payload, 3);
    for (int j = 0; j < 3; ++j) {
        put16(b.payload, j == 2 ? 0 : 100 + 20 * j);  // the last one never captured
        put16(b.payload, -1600 - j);
    }
    LogPlans plans(200000);
    Sweep s;
    ASSERT_TRUE(decodeSweep(plans, b.record(218), s));
    EXPECT_EQ(s.firstHz, 1931000000u);
    EXPECT_EQ(s.stepHz, 200000u);
    ASSERT_EQ(s.points.size(), 3u);
    EXPECT_EQ(s.points[1].hz, 1931200000u);
    EXPECT_TRUE(s.points[0].onGrid);
    EXPECT_TRUE(s.points[1].onGrid);
    EXPECT_FALSE(s.points[2].onGrid);
    LogPlans cellular(50000);
    b.payload[0] = 0;
    ASSERT_TRUE(decodeSweep(cellular, b.record(218), s));
    EXPECT_EQ(s.stepHz, 30000u);
    EXPECT_EQ(s.firstHz, 872010000u);
}

TEST(LogUnits, BestServersRankFrequencyChannelAndWholeDbm) {
    Built b;
    b.payload = {0};
    for (int k = 0; k < 10; ++k) {
        put16(b.payload, k == 0 ? 417 : 0);
        put16(b.payload, k == 0 ? -55 : -130);
    }
    LogPlans plans(50000);
    uint8_t band = 9;
    std::vector<ServerRank> ranks;
    ASSERT_TRUE(decodeBestServers(plans, b.record(219), band, ranks));
    EXPECT_EQ(band, 0);
    ASSERT_EQ(ranks.size(), 10u);
    EXPECT_EQ(ranks[0].rank, 1);
    EXPECT_EQ(ranks[0].hz, 881520000u);
    EXPECT_EQ(ranks[0].channel, 384u);
    EXPECT_EQ(ranks[0].level, -55);
    EXPECT_EQ(ranks[9].level, -130);
}

TEST(LogUnits, OffsetsOutsideTheBandHaveNoFrequency) {
    LogPlans plans(50000);
    EXPECT_EQ(plans.offsetHz(0, 833), 0u);
    EXPECT_EQ(plans.offsetHz(0, 832), 893970000u);
    EXPECT_EQ(plans.offsetHz(1, 6001), 0u);
    EXPECT_EQ(plans.offsetHz(2, 0), 0u);
}

// A band-0 sweep that runs past the band's last offset (832), or starts past it.
TEST(LogUnits, SweepEntriesPastTheBandAreNotMeasured) {
    const struct { uint16_t start, count; uint32_t firstHz; std::vector<bool> measured; } cases[] = {
        {831, 3, 893940000, {true, true, false}},
        {900, 2, 896010000, {false, false}},
    };
    const LogPlans plans(50000);
    for (const auto& c : cases) {
        Built b;
        b.payload = {0};
        put16(b.payload, c.start);
        put16(b.payload, c.count);
        for (int j = 0; j < c.count; ++j) {
            put16(b.payload, c.start + j);
            put16(b.payload, 32767);
        }
        Sweep s;
        ASSERT_TRUE(decodeSweep(plans, b.record(218), s)) << c.start;
        EXPECT_EQ(s.firstHz, c.firstHz) << c.start;
        std::vector<bool> measured;
        for (const SweepPoint& p : s.points) measured.push_back(p.measured());
        EXPECT_EQ(measured, c.measured) << c.start;
    }
}

// A log started in the middle of a sweep from offset 0: its first record's first entry
// was never filled, and is no 0 dBm reading at 869.01 MHz.
TEST(LogUnits, AnEntryNeverFilledInASweepFromOffsetZeroIsNotMeasured) {
    Built b;
    b.payload = {0};
    put16(b.payload, 0);
    put16(b.payload, 3);
    for (const auto& [offset, level] : {std::pair{0, 0}, {1, -1600}, {2, 0}}) {
        put16(b.payload, offset);
        put16(b.payload, level);
    }
    Sweep s;
    ASSERT_TRUE(decodeSweep(LogPlans(30000), b.record(218), s));
    ASSERT_EQ(s.points.size(), 3u);
    EXPECT_FALSE(s.points[0].measured());
    EXPECT_TRUE(s.points[1].measured());
    EXPECT_TRUE(s.points[2].measured()) << "0 dBm elsewhere is a reading";
}

TEST(LogUnits, AnUnknownRasterLeavesOutOnlyWhatNeedsIt) {
    const LogPlans plans(0);
    EXPECT_FALSE(plans.rasterKnown());
    Built single;
    for (int v : {384, -1000, 3250, -1208}) put16(single.payload, v);
    SingleChannelReading reading;
    ASSERT_TRUE(decodeSingleChannel(plans, single.record(216), reading));
    EXPECT_EQ(reading.band[0].channel, 384u);
    EXPECT_EQ(reading.band[1].channel, kUnknownChannel);
    EXPECT_EQ(reading.band[1].hz, 1962500000u);  // a band offset needs no raster
    Built table;
    table.payload.assign(201, 0);
    table.payload[0] = 2;
    table.payload[1] = 0, table.payload[2] = 128, table.payload[3] = 1;  // cellular 384
    table.payload[6] = 1, table.payload[7] = 25;                          // PCS 25
    std::vector<TableReading> slots;
    ASSERT_TRUE(decodeTable(plans, table.record(217), slots));
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_EQ(slots[0].hz, 881520000u);
    EXPECT_EQ(slots[1].hz, 0u);
    Built sweep;
    sweep.payload = {1};
    for (int v : {100, 1, 100, -1600}) put16(sweep.payload, v);
    Sweep s;
    EXPECT_FALSE(decodeSweep(plans, sweep.record(218), s));
    sweep.payload[0] = 0;
    EXPECT_TRUE(decodeSweep(plans, sweep.record(218), s));
}
