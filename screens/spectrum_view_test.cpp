#include "screens/spectrum_view.h"

#include <gtest/gtest.h>

#include "platform/gdi/colours.h"
#include "platform/gdi/golden.h"
#include "screens/screen_test_support.h"
#include "screens/spectrum_actions.h"
#include "screens/spectrum_layout.h"
#include "screens/status_strip.h"
#include "screens/sweep_test_support.h"

namespace zarn {
namespace {

using namespace spectrum;
using testing::ScreenHarness;

constexpr COLORREF kRed = kTracePens[0], kCyan = kTracePens[1], kYellow = kTracePens[2];

LocalTime fixedTime() { return {2007, 3, 5, 9, 4, 7}; }

class SpectrumViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::resetSweep(board);
        statusStrip().setClock(fixedTime);
        statusStrip().setPressed(0);
        setBannerFrame(1);
    }
    void TearDown() override { statusStrip().setClock(currentLocalTime); }
    // The graph column where a pen colour shows, -1 for none.
    bool columnHas(int x, COLORREF c, int top = 24, int bottom = 157) {
        for (int y = top; y < bottom; ++y)
            if (screen.pixel(x, y) == c) return true;
        return false;
    }
    Surface painted() {
        screen.paint();
        return screen.client();
    }

    BoardState& board = boardState();
    ScreenHarness screen{RUNTIME_CLASS(CSpectrum)};
};

TEST_F(SpectrumViewTest, LevelsMapOntoTheGraphRows) {
    testing::fillTrace(board, 1, -320, 201);   // -20 dBm
    testing::fillTrace(board, 2, -1200, 201);  // -75 dBm
    testing::fillTrace(board, 3, -2240, 201);  // -140 dBm: held at the bottom
    board.traces[3].samples[100] = -160;       // -10 dBm: held at the top
    screen.paint();
    EXPECT_EQ(screen.pixel(60, 24), kRed);
    EXPECT_NE(screen.pixel(60, 25), kRed);
    EXPECT_EQ(screen.pixel(60, 90), kCyan);
    EXPECT_NE(screen.pixel(60, 89), kCyan);
    EXPECT_NE(screen.pixel(60, 91), kCyan);
    // Trace 3 lies on row 157, under the readout line; its one strong point rises to row 24.
    EXPECT_FALSE(columnHas(60, kYellow, 24, 157));
    EXPECT_EQ(screen.pixel(130, 24), kYellow);
    EXPECT_TRUE(columnHas(129, kYellow, 150, 157));
    EXPECT_EQ(screen.pixel(60, 157), kBlack);
}

TEST_F(SpectrumViewTest, TwoHundredOnePointsTakeOneColumnEach) {
    testing::fillTrace(board, 1, -1200, 201);
    board.traces[1].samples[50] = -320;
    screen.paint();
    EXPECT_EQ(screen.pixel(80, 24), kRed);  // x = 30 + i
    EXPECT_NE(screen.pixel(79, 24), kRed);
    EXPECT_NE(screen.pixel(81, 24), kRed);
    EXPECT_EQ(screen.pixel(30, 90), kRed);
    EXPECT_EQ(screen.pixel(229, 90), kRed);
    EXPECT_FALSE(columnHas(231, kRed));
}

TEST_F(SpectrumViewTest, ManyPointsShareColumnsWithVerticalStrokes) {
    testing::fillTrace(board, 1, -1200, 833);
    board.sweepCount = 833;
    for (int i = 0; i < 833; i += 2) board.traces[1].samples[i] = -320;
    screen.paint();
    for (int x = 31; x < 229; x += 17) {
        EXPECT_EQ(screen.pixel(x, 24), kRed) << x;
        EXPECT_EQ(screen.pixel(x, 60), kRed) << x;  // the strokes between the two levels
    }
}

TEST_F(SpectrumViewTest, TraceWithoutPointsIsNotPlottedButKeepsItsButtons) {
    testing::fillTrace(board, 1, -320, 0);
    const Surface s = painted();
    EXPECT_EQ(testing::countColour(s, kGraph, kRed), 0);
    EXPECT_GT(testing::countColour(s, traceButton(kEnable, 1), RGB(255, 0, 0)), 20);
}

TEST_F(SpectrumViewTest, DiamondOnlyOnTheActiveTrace) {
    testing::fillTrace(board, 1, -1200, 201);  // row 90
    testing::fillTrace(board, 2, -640, 201);   // -40 dBm: row 48
    board.markerOffset = 100;
    screen.paint();
    EXPECT_EQ(screen.pixel(126, 86), kWhite);  // (x - 4, y - 4) with x 130
    EXPECT_EQ(screen.pixel(130, 82), kWhite);  // (x, y - 8)
    EXPECT_EQ(screen.pixel(134, 86), kWhite);
    EXPECT_NE(screen.pixel(126, 44), kWhite);
    screen.tap(20, 205);  // ENABLE TRACE 2
    EXPECT_EQ(board.activeTrace, 2);
    screen.paint();
    EXPECT_EQ(screen.pixel(126, 44), kWhite);
    EXPECT_NE(screen.pixel(126, 86), kWhite);
}

TEST_F(SpectrumViewTest, SweepCursorStandsAtTheLastSampleOfTheEnabledTrace) {
    testing::fillTrace(board, 1, -1200, 201);
    testing::fillTrace(board, 2, -640, 201);
    board.sweepPosition = 61;
    board.markerOffset = 300;
    screen.paint();
    for (int y = 25; y < 157; y += 10) EXPECT_EQ(screen.pixel(91, y), kWhite) << y;  // between the traces' rows
    int whiteColumns = 0;
    for (int x = kGraph.left; x < kGraph.right; ++x) whiteColumns += screen.pixel(x, 30) == kWhite;
    EXPECT_EQ(whiteColumns, 1);  // trace 2 is not enabled: no cursor of its own
}

TEST_F(SpectrumViewTest, NoPointsPastTheLastBandOffset) {
    board.bandIndex = 1;
    board.pcsPlan.setPcsRaster(200000);
    board.sweepStart = 5900, board.sweepStep = 20, board.sweepCount = 100, board.sweepCentre = 6000;
    testing::fillTrace(board, 1, -1200, 100);
    board.markerOffset = 0;
    screen.paint();
    // Offsets 5900 .. 6000 are points 0 .. 5, columns 30 .. 40.
    EXPECT_EQ(screen.pixel(35, 90), kRed);
    for (int x = 41; x < kGraph.right; ++x) EXPECT_FALSE(columnHas(x, kRed)) << x;
}

TEST_F(SpectrumViewTest, ReadoutLinesShowCentreSpanMarkerAndLevel) {
    board.sweepStart = 367, board.sweepCount = 101, board.sweepCentre = 417;
    testing::fillTrace(board, 1, -1000, 101);
    board.markerOffset = 417;
    struct Case {
        const char* name;
        int visible;
        int16_t marker;
        const char* markerText;
    };
    const Case cases[] = {
        {"drawn", 1, 417, "MARKER: 881.52 MHz RSSI: -62 dBm"},
        {"trace hidden", 0, 417, "MARKER: 881.52 MHz RSSI: -62 dBm"},
        {"outside the trace", 1, 6500, "MARKER: 1064.01 MHz RSSI: -130 dBm"},
    };
    for (const Case& c : cases) {
        board.traces[1].visible = static_cast<uint8_t>(c.visible);
        board.markerOffset = c.marker;
        const Surface s = painted();
        const Surface centre = testing::drawnText("CENTER: 881.52 MHz SPAN: 3.03 MHz", kCentreLine, kWhite, kBlack,
                                                      DT_CENTER | DT_VCENTER);
        const Surface marker = testing::drawnText(c.markerText, kMarkerLine, kWhite, kBlack, DT_CENTER | DT_VCENTER);
        EXPECT_EQ(testing::firstDifference(s, centre, kCentreLine), "") << c.name;
        EXPECT_EQ(testing::firstDifference(s, marker, kMarkerLine), "") << c.name;
        EXPECT_GT(testing::countColour(s, kMarkerLine, kWhite), 50) << c.name;
    }
}

// A pixel of a trace button's ground, clear of its lettering.
COLORREF buttonGround(ScreenHarness& screen, int flag, int trace) {
    const CRect r = traceButton(flag, trace);
    return screen.pixel(r.right - 2, r.bottom - 2);
}

TEST_F(SpectrumViewTest, TraceButtonFacesFollowTheirFlags) {
    const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255), yellow = RGB(255, 255, 0);
    screen.paint();
    EXPECT_EQ(buttonGround(screen, kEnable, 1), kWhite);
    EXPECT_EQ(buttonGround(screen, kEnable, 2), blue);
    EXPECT_EQ(buttonGround(screen, kVisible, 2), blue);
    EXPECT_EQ(buttonGround(screen, kHold, 3), yellow);
    struct Step {
        CPoint tap;
        int flag, trace;
        COLORREF after;
    };
    const Step steps[] = {
        {{60, 205}, kVisible, 2, kWhite}, {{60, 205}, kVisible, 2, blue}, {{100, 225}, kHold, 3, kWhite},
        {{100, 185}, kHold, 1, kWhite},   {{100, 185}, kHold, 1, red},    {{20, 225}, kEnable, 3, kWhite},
        {{20, 185}, kEnable, 1, kWhite},
    };
    for (const Step& s : steps) {
        screen.tap(s.tap.x, s.tap.y);
        screen.paint();
        EXPECT_EQ(buttonGround(screen, s.flag, s.trace), s.after) << s.tap.x << "," << s.tap.y;
    }
    EXPECT_EQ(buttonGround(screen, kEnable, 3), yellow);  // enabling trace 1 again cleared trace 3
}

TEST_F(SpectrumViewTest, ButtonsRunTheirActionsAndSendTheirRequests) {
    testing::AnsweringSender sender(board);
    board.sweepStart = 1, board.sweepCount = 833, board.sweepCentre = 417;
    board.traces[1].pointCount = 833;
    const size_t sounds = screen.backend.sounds().size();
    screen.tap(140, 190);  // ZOOM IN
    EXPECT_EQ(board.sweepCount, 416);
    EXPECT_EQ(board.sweepStart, 209);
    EXPECT_EQ(sender.types, (std::vector<uint8_t>{8, 21, 8}));
    screen.tap(140, 220);  // ZOOM OUT
    EXPECT_EQ(board.sweepCount, 832);
    EXPECT_EQ(board.sweepStart, 1);
    screen.tap(180, 220);  // MARKER TO CENTER
    EXPECT_EQ(board.markerOffset, 417);
    screen.tap(220, 190);  // marker left
    EXPECT_EQ(board.markerOffset, 416);
    screen.tap(220, 220);  // marker right
    screen.tap(220, 220);
    EXPECT_EQ(board.markerOffset, 418);
    board.traces[1].samples[600] = -100;
    screen.tap(180, 190);  // MARKER TO PEAK
    EXPECT_EQ(board.markerOffset, 600);
    board.traces[1].pointCount = 832;
    sender.types.clear();
    screen.tap(30, 100);  // the graph's first column: re-centre on the sweep's start
    EXPECT_EQ(board.sweepStart, 0);
    EXPECT_EQ(board.sweepCentre, 416);
    EXPECT_EQ(sender.types, (std::vector<uint8_t>{8, 21, 8}));
    EXPECT_EQ(screen.backend.sounds().size(), sounds + 8);
    EXPECT_EQ(screen.backend.sounds().back().name, "PING");
    screen.tap(120, 170);  // the readout lines: nothing
    screen.tap(40, 190);   // the gap between two trace buttons: nothing
    EXPECT_EQ(screen.backend.sounds().size(), sounds + 8);
}

TEST_F(SpectrumViewTest, IncCountsOnPenDownAndReleasesOnPenUp) {
    screen.backend.penDown(210, 260 + 26);
    screen.backend.runUntilIdle();
    EXPECT_EQ(board.markerCount, 1);
    EXPECT_EQ(statusStrip().isPressed(), 1);
    EXPECT_EQ(screen.pixel(207, 258), RGB(255, 0, 0));  // drawn pressed
    screen.backend.penUp(210, 260 + 26);
    screen.backend.runUntilIdle();
    EXPECT_EQ(statusStrip().isPressed(), 0);
    EXPECT_EQ(screen.pixel(207, 258), kWhite);
    EXPECT_EQ(screen.backend.sounds().back().name, "PING");
}

TEST_F(SpectrumViewTest, MatchesGoldenImageWithThreeTraces) {
    board.sweepStart = 1, board.sweepCount = 833, board.sweepCentre = 417;
    for (int n = 1; n <= 3; ++n) testing::fillTrace(board, n, kEmptyLevel, 833);
    for (int i = 0; i < 833; ++i) {
        board.traces[1].samples[i] = static_cast<int16_t>(-16 * (100 + (i * 7) % 13));
        board.traces[2].samples[i] = static_cast<int16_t>(-16 * (80 + (i * 5) % 17));
        board.traces[3].samples[i] = static_cast<int16_t>(-16 * (60 + (i * 3) % 11));
    }
    board.traces[1].samples[417] = -16 * 30;
    board.traces[2].hold = 1;
    board.markerOffset = 417;
    board.sweepPosition = 600;
    const Surface s = painted();
    auto result = compareWithGolden(s, "spectrum_screen");
    EXPECT_TRUE(result.ok) << result.message;
}

}  // namespace
}  // namespace zarn
