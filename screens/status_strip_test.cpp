#include "screens/status_strip.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/board_state.h"
#include "platform/gdi/colours.h"
#include "recording/log_recorder.h"
#include "screens/screen_test_support.h"

namespace zarn {
namespace {

using testing::drawnText;
using testing::firstDifference;

int countPixels(const Surface& s, const CRect& rect, COLORREF colour) {
    int n = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) n += s.at(x, y) == rgbToPixel(colour);
    return n;
}

LocalTime fixedTime() { return {2007, 3, 5, 9, 4, 7}; }

class StatusStripTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::strcpy(board.firmwareVersion, "0.00");
        std::strcpy(board.serialNumber, "XXXXXX");
        board.markerCount = 0;
        board.pcsPlan.setPcsRaster(50000);
        setBannerFrame(1);
    }
    void TearDown() override { logRecorder().stopLog(board); }

    BoardState& board = boardState();
    StatusStrip strip{fixedTime};
    Surface screen{240, 320, 0};
    CDC dc{screen};
};

TEST_F(StatusStripTest, LinesFillTheirRowsInTheirColoursWithWhiteCentredText) {
    struct Case {
        const char* name;
        void (StatusStrip::*draw)(CDC*);
        CRect rect;
        COLORREF colour;
        std::string text;
    };
    std::strcpy(board.firmwareVersion, "0.00");
    std::strcpy(board.serialNumber, "XXXXXX");
    const Case cases[] = {
        {"identity", &StatusStrip::drawIdentityLine, {0, 209, 240, 224}, RGB(64, 0, 0),
         "(Firmware Version 0.00)(Serial Number XXXXXX)"},
        {"log", &StatusStrip::drawLogLine, {0, 224, 240, 239}, RGB(0, 0, 196), "Log File Is Now 0 Kb"},
        {"band", &StatusStrip::drawBandLine, {0, 239, 240, 254}, RGB(0, 128, 0),
         "(869.01-893.97MHz/30kHz) (1930.00-1990.00/50kHz)"},
    };
    for (const Case& c : cases) {
        Surface fresh(240, 320, 0);
        CDC target(fresh);
        (strip.*c.draw)(&target);
        const Surface expected = drawnText(c.text, c.rect, kWhite, c.colour, DT_CENTER | DT_VCENTER);
        EXPECT_EQ(firstDifference(fresh, expected, c.rect), "") << c.name;
        EXPECT_GT(countPixels(fresh, c.rect, kWhite), 50) << c.name << ": the text is there";
        // Nothing outside the line is touched.
        EXPECT_EQ(fresh.at(0, c.rect.top - 1), 0u) << c.name;
        EXPECT_EQ(fresh.at(239, c.rect.bottom), 0u) << c.name;
    }
}

TEST_F(StatusStripTest, IdentityLineShowsWhatTheBoardReported) {
    std::strcpy(board.firmwareVersion, "SIM 2.10");
    std::strcpy(board.serialNumber, "ZS004217");
    strip.drawIdentityLine(&dc);
    const CRect line{0, 209, 240, 224};
    const Surface expected = drawnText("(Firmware Version SIM 2.10)(Serial Number ZS004217)", line, kWhite,
                                           RGB(64, 0, 0), DT_CENTER | DT_VCENTER);
    EXPECT_EQ(firstDifference(screen, expected, line), "");
}

TEST_F(StatusStripTest, BandLineNamesEachPcsRaster) {
    const CRect line{0, 239, 240, 254};
    for (uint32_t raster : {30000u, 50000u, 200000u}) {
        board.pcsPlan.setPcsRaster(raster);
        strip.drawBandLine(&dc);
        const std::string text = "(869.01-893.97MHz/30kHz) (1930.00-1990.00/" + std::to_string(raster / 1000) + "kHz)";
        const Surface expected = drawnText(text, line, kWhite, RGB(0, 128, 0), DT_CENTER | DT_VCENTER);
        EXPECT_EQ(firstDifference(screen, expected, line), "") << raster;
    }
}

TEST_F(StatusStripTest, LogLineRoundsTheLengthDownToWholeKilobytes) {
    const std::string path = ::testing::TempDir() + "strip_log.zrn";
    std::string error;
    ASSERT_EQ(logRecorder().startLog(board, path, "\\strip_log.zrn", error, fixedTime), 0) << error;
    // The header is 15 bytes; records of 7 bytes of payload make the length grow.
    const CRect line{0, 224, 240, 239};
    const uint8_t payload[7] = {};
    while (logRecorder().fileLength() < 1999) {
        logRecorder().setPendingRecord(216, payload, 7);
        ASSERT_EQ(logRecorder().writePendingRecord(error), 0) << error;
    }
    const uint64_t length = logRecorder().fileLength();
    strip.drawLogLine(&dc);
    const std::string text = "Log File Is Now " + std::to_string(length / 1000) + " Kb";
    EXPECT_EQ(firstDifference(screen, drawnText(text, line, kWhite, RGB(0, 0, 196), 5), line), "");
    EXPECT_EQ(text, length < 2000 ? "Log File Is Now 1 Kb" : "Log File Is Now 2 Kb");
}

// A writer held up for seconds: the records past the log's backlog are not lost unseen.
TEST_F(StatusStripTest, LogLineSaysHowManyRecordsTheLogLost) {
    const std::string path = ::testing::TempDir() + "strip_lost.zrn";
    std::string error;
    ASSERT_EQ(logRecorder().startLog(board, path, "\\strip_lost.zrn", error, fixedTime), 0) << error;
    const uint8_t payload[7] = {};
    for (size_t i = 0; i < kMaxStagedRecords + 3; ++i) logRecorder().setPendingRecord(216, payload, 7);
    ASSERT_EQ(logRecorder().writePendingRecord(error), 0) << error;
    strip.drawLogLine(&dc);
    const CRect line{0, 224, 240, 239};
    const std::string text = "Log File Is Now " + std::to_string(logRecorder().fileLength() / 1000) + " Kb, 3 lost";
    EXPECT_EQ(firstDifference(screen, drawnText(text, line, kWhite, RGB(0, 0, 196), 5), line), "");
}

TEST_F(StatusStripTest, ClockLineShowsDateTimeAndMarkerInTheirBoxes) {
    board.markerCount = 12;
    strip.drawClockLine(&dc);
    struct Box {
        std::string text;
        CRect rect;
    };
    const Box boxes[] = {
        {"RTC", {5, 257, 40, 268}},
        {"3/5/2007", {45, 257, 90, 268}},
        {"09:04:07", {95, 257, 140, 268}},
        {"Marker #12", {145, 257, 205, 268}},  // INC covers the rest of its box
    };
    for (const Box& b : boxes) {
        const Surface expected = drawnText(b.text, b.rect, kWhite, RGB(0, 0, 128), DT_VCENTER);
        EXPECT_EQ(firstDifference(screen, expected, b.rect), "") << b.text;
    }
    EXPECT_EQ(pixelToRgb(screen.at(0, 255)), RGB(0, 0, 128));
    EXPECT_EQ(pixelToRgb(screen.at(239, 269)), RGB(0, 0, 128));
    EXPECT_EQ(screen.at(0, 270), 0u);
}

TEST_F(StatusStripTest, IncButtonSwapsRedAndWhiteWhenPressed) {
    for (uint8_t pressed : {0, 1}) {
        strip.setPressed(pressed);
        strip.drawIncButton(&dc);
        const COLORREF face = pressed ? kRed : kWhite;
        const COLORREF ink = pressed ? kWhite : kRed;
        EXPECT_EQ(strip.isPressed(), pressed);
        // The one-pixel red frame on the rectangle's outermost pixels.
        EXPECT_EQ(pixelToRgb(screen.at(205, 256)), kRed);
        EXPECT_EQ(pixelToRgb(screen.at(237, 267)), kRed);
        EXPECT_EQ(pixelToRgb(screen.at(206, 257)), face);
        EXPECT_EQ(pixelToRgb(screen.at(236, 266)), face);
        Surface expected = drawnText("INC", {212, 256, 236, 269}, ink, face, DT_VCENTER);
        EXPECT_EQ(firstDifference(screen, expected, {212, 257, 236, 267}), "") << +pressed;
        EXPECT_GT(countPixels(screen, {206, 257, 237, 267}, ink), 10) << +pressed;
    }
}

TEST_F(StatusStripTest, BannerWalksFramesOneToFifteenAndWraps) {
    const unsigned expected[] = {136, 137, 138, 139, 140, 141, 142, 143, 144, 145, 146, 147, 148, 149, 135, 136};
    for (unsigned id : expected) {
        EXPECT_EQ(bannerBitmap(bannerFrame()), id);
        strip.drawBanner(&dc);
    }
    EXPECT_EQ(bannerFrame(), 2);
}

TEST_F(StatusStripTest, MissingBitmapDrawsNothing) {
    strip.drawBitmap(&dc, 999, 0, 0, 240, 320);
    strip.drawBitmapInRect(&dc, 999, 0, 0, 240, 320);
    EXPECT_EQ(countPixels(screen, {0, 0, 240, 320}, 0), 240 * 320);
    EXPECT_FALSE(stretchBitmapResource(&dc, 999, {0, 0, 10, 10}));
}

}  // namespace
}  // namespace zarn
