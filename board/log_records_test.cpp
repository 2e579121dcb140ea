#include "board/log_records.h"

#include <gtest/gtest.h>

#include <cstring>

#include "board/test_support.h"

using namespace zarn;
using zarn::testing::WiredBoard;
using Bytes = std::vector<uint8_t>;

namespace {
uint16_t u16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
}  // namespace

TEST(LogRecords, NothingIsStagedWhileNotLogging) {
    WiredBoard w;
    w.board.setScreenMode(kModeSingleChannel);
    w.feedFrame(5, {});
    EXPECT_TRUE(w.log.records.empty());
    EXPECT_EQ(w.window.count(WM_LOG_RECORD), 0);
}

TEST(LogRecords, SingleChannelRecordFollowsEveryFrameEvenAnAcknowledgement) {
    WiredBoard w;
    BoardState& b = w.board;
    b.logging = 1;
    b.setScreenMode(kModeSingleChannel);
    b.level[0] = -800;
    b.level[1] = -1000;
    w.feedFrame(5, {});
    ASSERT_EQ(w.log.records.size(), 1u);
    EXPECT_EQ(w.window.count(WM_LOG_RECORD), 1);
    const auto& r = w.log.records[0];
    EXPECT_EQ(r.type, 216);
    // channel 384, -800, PCS tuned channel (10 kHz steps) 3250, -1000
    EXPECT_EQ(r.bytes, (Bytes{0x80, 0x01, 0xE0, 0xFC, 0xB2, 0x0C, 0x18, 0xFC}));
}

TEST(LogRecords, OtherScreenModesLogTheFrameItself) {
    WiredBoard w;
    w.board.logging = 1;
    w.feedFrame(9, {1});
    ASSERT_EQ(w.log.records.size(), 1u);
    EXPECT_EQ(w.log.records[0].type, 9);
    EXPECT_EQ(w.log.records[0].bytes, (Bytes{1}));
}

TEST(LogRecords, ChannelTableRecordAtEachPassOnly) {
    WiredBoard w;
    BoardState& b = w.board;
    b.logging = 1;
    b.setScreenMode(kModeChannelTable);
    b.channelTableCount = 2;
    b.channelTable[0] = {0, 384, 0};
    b.channelTable[1] = {1, 650, 0};
    w.feedFrame(15, {0, 0x00, 0xFD});
    w.feedFrame(15, {1, 0x00, 0xFE});
    EXPECT_TRUE(w.log.records.empty());
    w.feedFrame(15, {0, 0x10, 0xFD});  // the pass wrapped
    ASSERT_EQ(w.log.records.size(), 1u);
    const auto& r = w.log.records[0];
    EXPECT_EQ(r.type, 217);
    ASSERT_EQ(r.bytes.size(), 201u);
    EXPECT_EQ(r.bytes[0], 2);
    EXPECT_EQ(r.bytes[1], 0);
    EXPECT_EQ(u16(r.bytes, 2), 384);
    EXPECT_EQ(static_cast<int16_t>(u16(r.bytes, 4)), -752);
    EXPECT_EQ(r.bytes[6], 1);
    EXPECT_EQ(u16(r.bytes, 7), 650);
    EXPECT_EQ(static_cast<int16_t>(u16(r.bytes, 9)), -512);
    EXPECT_EQ(b.logRecordPending, 0);
}

TEST(LogRecords, BestServersRecordAtTheWrap) {
    WiredBoard w;
    BoardState& b = w.board;
    b.logging = 1;
    b.setScreenMode(kModeBestServers);
    b.bandIndex = 0;
    b.sweepCount = 833;
    w.feedSample(400, -640);
    w.feedSample(1, -1600);
    ASSERT_EQ(w.log.records.size(), 1u);
    const auto& r = w.log.records[0];
    EXPECT_EQ(r.type, 219);
    ASSERT_EQ(r.bytes.size(), 41u);
    EXPECT_EQ(r.bytes[0], 0);
    EXPECT_EQ(u16(r.bytes, 1), 400);
    EXPECT_EQ(static_cast<int16_t>(u16(r.bytes, 3)), -40);
}

// The sample that starts the next sweep (-900, at the start again) stays out of the record.
TEST(LogRecords, SpectrumRecordHoldsTheFinishedSweepTakingEveryWthCaptureEntryForPcs) {
    struct Case { uint8_t band; uint32_t raster; uint16_t start, step, count; size_t length; } cases[] = {
        {1, 200000, 20, 20, 298, 1197}, {1, 50000, 5, 5, 1200, 4805}, {0, 50000, 1, 1, 833, 3337},
    };
    for (const auto& c : cases) {
        WiredBoard w;
        BoardState& b = w.board;
        b.logging = 1;
        b.setScreenMode(kModeSpectrum);
        b.bandIndex = c.band;
        b.pcsPlan.setPcsRaster(c.raster);
        b.sweepStart = c.start;
        b.sweepStep = c.step;
        b.sweepCount = c.count;
        for (uint16_t i = 0; i < 3; ++i) w.feedSample(static_cast<uint16_t>(c.start + c.step * i), static_cast<int16_t>(-1000 - i));
        w.feedSample(c.start, -900);  // wraps
        ASSERT_EQ(w.log.records.size(), 1u) << c.count;
        const auto& r = w.log.records[0];
        EXPECT_EQ(r.type, 218);
        ASSERT_EQ(r.bytes.size(), c.length);
        EXPECT_EQ(r.bytes[0], c.band);
        EXPECT_EQ(u16(r.bytes, 1), c.start);
        EXPECT_EQ(u16(r.bytes, 3), c.count);
        EXPECT_EQ(u16(r.bytes, 5), c.start);  // entry 0: the finished sweep's own first point
        EXPECT_EQ(static_cast<int16_t>(u16(r.bytes, 7)), -1000);
        EXPECT_EQ(u16(r.bytes, 9), c.start + c.step);  // entry 1: the next point
        EXPECT_EQ(static_cast<int16_t>(u16(r.bytes, 11)), -1001);
        // The wrap sample opens the next sweep's record.
        w.feedSample(static_cast<uint16_t>(c.start + c.step), -950);
        w.feedSample(c.start, -800);
        ASSERT_EQ(w.log.records.size(), 2u) << c.count;
        EXPECT_EQ(w.window.count(WM_LOG_RECORD), 2) << c.count;
        EXPECT_EQ(static_cast<int16_t>(u16(w.log.records[1].bytes, 7)), -900) << c.count;
        EXPECT_EQ(static_cast<int16_t>(u16(w.log.records[1].bytes, 11)), -950) << c.count;
    }
}

TEST(LogRecords, SpectrumRecordIsCappedToFitThePayloadAndTheCapture) {
    struct Case { uint8_t band; uint32_t raster; uint16_t count; uint16_t written; } cases[] = {
        {0, 50000, 2498, 2498}, {0, 50000, 2499, 2498}, {0, 50000, 65535, 2498},
        {1, 50000, 2400, 1220},  // 6099 / 5 + 1 entries reach the last capture entry
        {1, 200000, 600, 305}, {1, 30000, 2499, 2034},
    };
    for (const auto& c : cases) {
        BoardState b;
        b.bandIndex = c.band;
        b.pcsPlan.setPcsRaster(c.raster);
        b.sweepCount = c.count;
        static uint8_t out[kMaxLogPayload];
        const int n = buildSpectrumRecord(b, out);
        EXPECT_LE(n, kMaxLogPayload);
        EXPECT_EQ(n, 5 + 4 * c.written) << c.count;
        EXPECT_EQ(out[3] | (out[4] << 8), c.written) << c.count;
    }
}

TEST(LogRecords, SpectrumCaptureIndexIsClampedForOffsetsBelowTheStart) {
    WiredBoard w;
    BoardState& b = w.board;
    b.logging = 1;
    b.setScreenMode(kModeSpectrum);
    b.sweepStart = 100;
    w.feedSample(50, -700);  // below the start: lands on entry 6000
    EXPECT_EQ(+b.sweepCapture[6000].offset, 50);
    EXPECT_EQ(+b.sweepCapture[6000].level, -700);
}
