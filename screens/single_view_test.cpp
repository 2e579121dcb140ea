#include "screens/single_view.h"

#include <gtest/gtest.h>

#include <memory>

#include "board/board_state.h"
#include "platform/gdi/colours.h"
#include "platform/gdi/golden.h"
#include "screens/screen_test_support.h"
#include "screens/status_strip.h"

namespace zarn {
namespace {

using testing::ScreenHarness;

constexpr COLORREF kOlive = RGB(192, 192, 0);

int16_t raw(double dbm) { return static_cast<int16_t>(dbm * 16); }

class SingleScreen : public ::testing::Test {
protected:
    void SetUp() override {
        BoardState& b = boardState();
        b.level[0] = b.level[1] = raw(-120);
        b.levelFresh[0] = b.levelFresh[1] = 0;
        b.boardMode = 0;
        b.markerCount = 0;
        b.pcsPlan.setPcsRaster(50000);
        b.cellularPlan.tuneMegahertz(881.52);
        b.pcsPlan.tuneMegahertz(1962.5);
        statusStrip().setPressed(0);
        statusStrip().setClock([] { return LocalTime{2007, 3, 5, 9, 4, 7}; });
        setBannerFrame(1);
        screen = std::make_unique<ScreenHarness>(RUNTIME_CLASS(CSingle));
    }
    void TearDown() override { screen.reset(); }

    CSingle& view() { return *dynamic_cast<CSingle*>(screen->view()); }
    void paintWith(int band, double dbm) {
        boardState().level[band] = raw(dbm);
        boardState().levelFresh[band] = 1;
        screen->paint();
    }

    std::unique_ptr<ScreenHarness> screen;
};

TEST(SingleTraceY, MapsLevelsOntoTheChart) {
    struct Case {
        double dbm;
        int y;
    } cases[] = {{-10, 70}, {-20, 70}, {-60, 130}, {-100, 190}, {-119, 218}, {-120, 219}, {-130, 219}, {-2000, 219}};
    for (const Case& c : cases) EXPECT_EQ(singleTraceY(raw(c.dbm)), c.y) << c.dbm;
    EXPECT_EQ(singleTraceY(INT16_MAX), 70);
    EXPECT_EQ(singleTraceY(INT16_MIN), 219);
}

TEST_F(SingleScreen, HistoryHolds158ValuesAfter200Paints) {
    for (int i = 0; i < 100; ++i) paintWith(0, -100);  // y 190
    for (int i = 0; i < 100; ++i) paintWith(0, -60);   // y 130
    EXPECT_EQ(view().history(0).size(), CSingle::kHistoryLength);
    EXPECT_EQ(view().history(1).size(), 0u);
    // The newest 100 values lie on y 130 from x 190 leftwards, the older 58 on y 190 down to x 34.
    EXPECT_EQ(screen->pixel(190, 130), kWhite);
    EXPECT_EQ(screen->pixel(100, 130), kWhite);
    EXPECT_EQ(screen->pixel(80, 190), kWhite);
    EXPECT_EQ(screen->pixel(34, 190), kWhite);
    EXPECT_NE(screen->pixel(31, 190), kWhite);
    EXPECT_NE(screen->pixel(100, 190), kWhite);
}

TEST_F(SingleScreen, CellularBarAndPeakLine) {
    paintWith(0, -60);
    paintWith(0, -100);  // the peak stays at -60 dBm
    EXPECT_EQ(view().peak(0), 130);
    EXPECT_EQ(boardState().levelFresh[0], 0);
    for (int x = 201; x < 215; ++x) {
        EXPECT_EQ(screen->pixel(x, 190), kWhite) << x;   // bar top
        EXPECT_EQ(screen->pixel(x, 218), kWhite) << x;   // bar bottom
        EXPECT_EQ(screen->pixel(x, 130), kWhite) << x;   // peak line, 2 pixels
        EXPECT_EQ(screen->pixel(x, 131), kWhite) << x;
        EXPECT_NE(screen->pixel(x, 160), kWhite) << x;   // between peak and bar
    }
    EXPECT_NE(screen->pixel(208, 219), kWhite);
    EXPECT_EQ(screen->pixel(32, 130), kWhite);  // the peak line across the chart
    EXPECT_EQ(screen->pixel(189, 131), kWhite);
}

TEST_F(SingleScreen, PcsDrawsInYellowBeside) {
    paintWith(1, -80);  // y 160
    EXPECT_EQ(view().history(1).size(), 1u);
    EXPECT_EQ(view().history(0).size(), 0u);
    EXPECT_EQ(screen->pixel(222, 200), kOlive);
    EXPECT_EQ(screen->pixel(222, 160), kYellow);  // peak line over the bar top
    EXPECT_EQ(screen->pixel(100, 160), kYellow);
    EXPECT_NE(screen->pixel(208, 200), kWhite);   // no cellular bar
}

TEST_F(SingleScreen, BandWithoutFreshLevelIsNotDrawn) {
    paintWith(0, -60);
    screen->paint();  // nothing fresh
    EXPECT_EQ(view().history(0).size(), 1u);
    EXPECT_NE(screen->pixel(208, 200), kWhite);
    EXPECT_NE(screen->pixel(100, 130), kWhite);
}

TEST_F(SingleScreen, BothBandModeDrawsBothOnEveryPaint) {
    boardState().boardMode = 2;
    boardState().level[0] = raw(-50);
    boardState().level[1] = raw(-90);
    for (int i = 0; i < 5; ++i) screen->paint();
    EXPECT_GE(view().history(0).size(), 5u);
    EXPECT_EQ(view().history(0).size(), view().history(1).size());
    EXPECT_EQ(screen->pixel(208, 200), kWhite);
    EXPECT_EQ(screen->pixel(222, 200), kOlive);
}

TEST_F(SingleScreen, IncCountsAMarkerAndIsReleasedOnPenUp) {
    const size_t sounds = screen->backend.sounds().size();
    screen->backend.penDown(220, 262 + 26);
    screen->backend.runUntilIdle();
    EXPECT_EQ(boardState().markerCount, 1);
    EXPECT_EQ(statusStrip().isPressed(), 1);
    ASSERT_EQ(screen->backend.sounds().size(), sounds + 1);
    EXPECT_EQ(screen->backend.sounds().back().name, "PING");
    EXPECT_TRUE(screen->backend.sounds().back().async);
    EXPECT_EQ(screen->pixel(207, 258), RGB(255, 0, 0));  // drawn pressed
    screen->backend.penUp(220, 262 + 26);
    screen->backend.runUntilIdle();
    EXPECT_EQ(statusStrip().isPressed(), 0);
    EXPECT_EQ(screen->pixel(207, 258), kWhite);

    screen->tap(100, 262);  // outside the box
    EXPECT_EQ(boardState().markerCount, 1);
}

TEST_F(SingleScreen, MatchesGoldenImageWithBothBands) {
    boardState().boardMode = 2;
    for (int i = 0; i < 120; ++i) {
        boardState().level[0] = raw(-55 - (i * 7) % 25);
        boardState().level[1] = raw(-95 + (i * 3) % 20);
        screen->paint();
    }
    auto result = compareWithGolden(screen->client(), "single_channel_both_bands");
    EXPECT_TRUE(result.ok) << result.message;
}

}  // namespace
}  // namespace zarn
