#include "board/sweep_decoder.h"

#include <gtest/gtest.h>

#include "board/test_support.h"

using namespace zarn;
using zarn::testing::WiredBoard;

TEST(SweepDecoder, WrapRanksThenResetsTrace1UnlessTheSpectrumIsMeasuring) {
    for (uint8_t mode : {uint8_t{kModeNone}, uint8_t{kModeSpectrum}}) {
        WiredBoard w;
        BoardState& b = w.board;
        b.setScreenMode(mode);
        b.sweepCount = 20;
        w.feedSample(10, -800);
        w.feedSample(11, -480);
        w.feedSample(12, -960);
        w.feedSample(3, -320);  // wraps: stored first, then ranked, then cleared
        EXPECT_EQ(b.logRecordPending, 1);
        EXPECT_EQ(+b.bestServers[0].offset, 3);
        EXPECT_EQ(+b.bestServers[0].level, -20);
        EXPECT_EQ(+b.bestServers[1].offset, 11);
        EXPECT_EQ(+b.bestServers[1].level, -30);
        EXPECT_EQ(+b.bestServers[2].offset, 10);
        EXPECT_EQ(+b.bestServers[3].offset, 12);
        EXPECT_EQ(+b.bestServers[4].level, -130);
        EXPECT_EQ(b.sweepPosition, 3u);
        if (mode == kModeSpectrum) {
            EXPECT_EQ(+b.traces[1].samples[3], -320);
            EXPECT_EQ(+b.traces[1].samples[11], -480);
        } else {
            for (int i : {3, 10, 11, 12, 5999}) EXPECT_EQ(+b.traces[1].samples[i], kEmptyLevel) << i;
        }
    }
}

TEST(SweepDecoder, HoldKeepsTheHigherSampleAndPositiveReadingsBecomeEmpty) {
    WiredBoard w;
    BoardState& b = w.board;
    b.traces[1].hold = 1;
    w.feedSample(100, -1000);
    w.feedSample(101, -1200);
    w.feedSample(100 + 2, 20);  // +1.25 dBm is no reading
    b.sweepPosition = 0;        // no wrap from here on
    w.feedSample(100, -1200);
    EXPECT_EQ(+b.traces[1].samples[100], -1000);
    EXPECT_EQ(+b.traces[1].samples[102], kEmptyLevel);
    b.traces[1].hold = 0;
    w.feedSample(101, -1300);
    EXPECT_EQ(+b.traces[1].samples[101], -1300);
    w.feedSample(103, 15);  // just below +1 dBm is kept
    EXPECT_EQ(+b.traces[1].samples[103], 15);
}

TEST(SweepDecoder, SamplesGoToTheActiveTraceWithTheSweepCount) {
    WiredBoard w;
    BoardState& b = w.board;
    b.activeTrace = 2;
    b.sweepCount = 833;
    w.feedSample(7, -640);
    EXPECT_EQ(+b.traces[2].samples[7], -640);
    EXPECT_EQ(+b.traces[2].pointCount, 833);
    EXPECT_EQ(+b.traces[1].samples[7], kEmptyLevel);
    b.activeTrace = 9;  // out of range falls back to trace 1
    w.feedSample(8, -640);
    EXPECT_EQ(+b.traces[1].samples[8], -640);
}

TEST(SweepDecoder, OffsetsFrom6000OnLandOn6000) {
    WiredBoard w;
    BoardState& b = w.board;
    w.feedSample(65535, -500);
    EXPECT_EQ(+b.traces[1].samples[6000], -500);
    EXPECT_EQ(b.sweepPosition, 6000u);
    EXPECT_EQ(+b.traces[1].samples[6001], 0);
}

TEST(SweepDecoder, EveryFifthSampleRepaints) {
    WiredBoard w;
    for (int i = 0; i < 4; ++i) w.feedSample(static_cast<uint16_t>(20 + i), -900);
    EXPECT_EQ(w.window.count(WM_BOARD_UPDATE), 0);
    w.feedSample(24, -900);
    EXPECT_EQ(w.window.count(WM_BOARD_UPDATE), 1);
    for (int i = 0; i < 5; ++i) w.feedSample(static_cast<uint16_t>(30 + i), -900);
    EXPECT_EQ(w.window.count(WM_BOARD_UPDATE), 2);
}

TEST(Ranking, EqualLevelsKeepTheLowerOffsetFirstAndOnlyTenRank) {
    BoardState b;
    b.sweepStep = 1;
    b.sweepCount = 833;
    for (int i = 0; i < 30; ++i) b.traces[1].samples[100 + i] = -800;  // -50 dBm
    b.traces[1].samples[500] = -481;                                  // -30.06 truncates to -30
    rankBestServers(b);
    EXPECT_EQ(+b.bestServers[0].offset, 500);
    EXPECT_EQ(+b.bestServers[0].level, -30);
    for (int e = 1; e < 10; ++e) {
        EXPECT_EQ(+b.bestServers[e].offset, 100 + e - 1) << e;
        EXPECT_EQ(+b.bestServers[e].level, -50) << e;
    }
    EXPECT_EQ(+b.bestServers[10].offset, 0);
    EXPECT_EQ(+b.bestServers[10].level, -130);
    EXPECT_EQ(+b.bestServers[11].level, -130);
}

TEST(Ranking, OffsetZeroAndOffsetsPastTheSweepDoNotRank) {
    BoardState b;
    b.sweepStep = 1;
    b.sweepCount = 10;
    b.traces[1].samples[0] = -160;
    b.traces[1].samples[10] = -160;
    b.traces[1].samples[9] = -320;
    rankBestServers(b);
    EXPECT_EQ(+b.bestServers[0].offset, 9);
    EXPECT_EQ(+b.bestServers[1].level, -130);
}

TEST(Ranking, AZoomedOutWindowNeverRanksTheUnusedSamplesPast6000) {
    BoardState b;
    b.sweepStep = 5;
    b.sweepCount = 2400;  // 12000 offsets, past the trace
    b.traces[1].samples[5995] = -1600;
    rankBestServers(b);
    EXPECT_EQ(+b.bestServers[0].offset, 5995);
    EXPECT_EQ(+b.bestServers[0].level, -100);
    for (int e = 1; e < 10; ++e) EXPECT_EQ(+b.bestServers[e].level, -130) << e;  // no phantom 0 dBm
}

TEST(Ranking, RanksTheStrongestTenInOrderFromAnyArrangement) {
    BoardState b;
    b.sweepStep = 1;
    b.sweepCount = 833;
    const int levels[] = {-70, -40, -90, -40, -60, -110, -20, -85, -95, -45, -50, -100, -65};
    for (int i = 0; i < 13; ++i) b.traces[1].samples[200 + 37 * i] = static_cast<int16_t>(levels[i] * 16);
    rankBestServers(b);
    const int expectedLevels[] = {-20, -40, -40, -45, -50, -60, -65, -70, -85, -90};
    const int expectedOffsets[] = {422, 237, 311, 533, 570, 348, 644, 200, 459, 274};
    for (int e = 0; e < 10; ++e) {
        EXPECT_EQ(+b.bestServers[e].level, expectedLevels[e]) << e;
        EXPECT_EQ(+b.bestServers[e].offset, expectedOffsets[e]) << e;
    }
}
