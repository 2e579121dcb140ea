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
