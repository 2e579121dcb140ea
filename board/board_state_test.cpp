#include "board/board_state.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace zarn;

TEST(BoardState, FreshRecordHoldsThePlaceholdersAndFlatTraces) {
    BoardState b;
    EXPECT_STREQ(b.firmwareVersion, "0.00");
    EXPECT_STREQ(b.serialNumber, "XXXXXX");
    EXPECT_STREQ(b.modeName.load(), "Mode Unknown");
    EXPECT_EQ(b.level[0], -1920);
    EXPECT_EQ(b.level[1], -1920);
    EXPECT_EQ(b.markerCount, 0);
    EXPECT_EQ(b.repaintEnabled, 1);
    EXPECT_EQ(b.activeTrace, 1);
    EXPECT_EQ(b.serverCountSetting, 10u);
    EXPECT_EQ(b.sweepStart, 1);
    EXPECT_EQ(b.sweepCentre, 16);
    EXPECT_EQ(b.sweepCount, 32);
    EXPECT_EQ(b.sweepStep, 1);
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(+b.traces[n].pointCount, 32) << n;
        EXPECT_EQ(+b.traces[n].samples[0], kEmptyLevel) << n;
        EXPECT_EQ(+b.traces[n].samples[5999], kEmptyLevel) << n;
        EXPECT_EQ(+b.traces[n].samples[6000], 0) << n;
        EXPECT_EQ(+b.traces[n].samples[6099], 0) << n;
    }
    EXPECT_EQ(+b.traces[1].enabled, 1);
    EXPECT_EQ(+b.traces[1].visible, 1);
    EXPECT_EQ(+b.traces[2].enabled + b.traces[2].visible + b.traces[2].hold, 0);
    EXPECT_EQ(+b.traces[3].enabled + b.traces[3].visible + b.traces[3].hold, 0);
    EXPECT_EQ(+b.traces[0].pointCount, 0);
    EXPECT_EQ(+b.traces[0].samples[0], 0);
    EXPECT_EQ(b.cellularPlan.tunedStep(), 29384u);
    EXPECT_EQ(b.pcsPlan.tunedStep(), 196250u);
    EXPECT_EQ(b.pcsPlan.pcsRaster(), 50000u);
}

TEST(BoardState, ApplyServerSweepSetsTheWindowForEachBandAndRaster) {
    struct Case { uint8_t band; uint32_t raster; uint16_t start, step, count; } cases[] = {
        {0, 50000, 1, 1, 833},   {0, 12345, 1, 1, 833},  {1, 30000, 2, 3, 1999},
        {1, 50000, 5, 5, 1200},  {1, 200000, 20, 20, 298},
        {1, 12345, 7, 8, 9},     // unknown raster: unchanged
        {255, 50000, 7, 8, 9},   // no band: unchanged
    };
    for (const auto& c : cases) {
        BoardState b;
        b.sweepStart = 7;
        b.sweepStep = 8;
        b.sweepCount = 9;
        b.sweepCentre = 99;
        b.bandIndex = c.band;
        b.pcsPlan.setPcsRaster(c.raster);
        b.applyServerSweep();
        EXPECT_EQ(b.sweepStart, c.start) << int(c.band) << "/" << c.raster;
        EXPECT_EQ(b.sweepStep, c.step) << int(c.band) << "/" << c.raster;
        EXPECT_EQ(b.sweepCount, c.count) << int(c.band) << "/" << c.raster;
        EXPECT_EQ(b.sweepCentre, 99);
    }
}

TEST(BoardState, PlanLookupNeverSelectsAPlanForAnUnknownBand) {
    BoardState b;
    EXPECT_EQ(b.bandPlan(0), &b.cellularPlan);
    EXPECT_EQ(b.bandPlan(1), &b.pcsPlan);
    EXPECT_EQ(b.bandPlan(2), nullptr);
    EXPECT_EQ(b.bandPlan(255), nullptr);
    b.reportedBand = 0;
    EXPECT_EQ(&b.reportedBandPlan(), &b.cellularPlan);
    for (uint8_t band : {1, 2, 7, 255}) {
        b.reportedBand = band;
        EXPECT_EQ(&b.reportedBandPlan(), &b.pcsPlan) << int(band);
    }
}

TEST(BoardState, ActiveTraceIndexStaysWithinTheThreeTraces) {
    BoardState b;
    const struct { int16_t active; int index; } cases[] = {{1, 1}, {2, 2}, {3, 3}, {0, 1}, {4, 1}, {-1, 1}, {32767, 1}};
    for (const auto& c : cases) {
        b.activeTrace = c.active;
        EXPECT_EQ(b.activeTraceIndex(), c.index) << c.active;
    }
}

TEST(BoardState, SetScreenModeStoresTheValue) {
    BoardState b;
    b.setScreenMode(218);
    EXPECT_EQ(b.screenMode, 218);
}
