#include "screens/server_view.h"

#include <gtest/gtest.h>

#include "platform/gdi/colours.h"
#include "platform/gdi/golden.h"
#include "screens/screen_test_support.h"
#include "screens/server_paint.h"
#include "screens/status_strip.h"
#include "screens/sweep_test_support.h"

namespace zarn {
namespace {

using testing::ScreenHarness;

constexpr unsigned kFormat = DT_CENTER | DT_VCENTER;
constexpr CRect kProgress{10, 20, 230, 40};

LocalTime fixedTime() { return {2007, 3, 5, 9, 4, 7}; }

class ServerViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::resetSweep(board);
        board.sweepStart = 1, board.sweepCount = 833, board.sweepStep = 1;
        statusStrip().setClock(fixedTime);
        statusStrip().setPressed(0);
        setBannerFrame(1);
    }
    void TearDown() override { statusStrip().setClock(currentLocalTime); }
    Surface painted() {
        screen.paint();
        return screen.client();
    }
    // Row i's three cells hold these texts, white on navy.
    void expectRow(const Surface& s, int i, const char* frequency, const char* channel, const char* level) {
        const int top = 87 + 13 * i, bottom = 94 + 13 * i;
        const struct {
            CRect rect;
            const char* text;
        } cells[] = {{{50, top, 100, bottom}, frequency}, {{120, top, 180, bottom}, channel}, {{181, top, 239, bottom}, level}};
        for (const auto& c : cells) {
            const Surface expected = testing::drawnText(c.text, c.rect, kWhite, kNavy, kFormat);
            EXPECT_EQ(testing::firstInkDifference(s, expected, c.rect, kWhite), "") << "row " << i << ": " << c.text;
            EXPECT_GT(testing::countColour(s, c.rect, kWhite), 3) << "row " << i << ": " << c.text;
        }
    }

    BoardState& board = boardState();
    ScreenHarness screen{RUNTIME_CLASS(CServer)};
};

TEST_F(ServerViewTest, BeforeTheFirstSweepEveryRowIsOffsetZero) {
    const Surface s = painted();
    for (int i = 0; i < 10; ++i) expectRow(s, i, "869.01", "990", "0");
}

TEST_F(ServerViewTest, RowsShowTheRankedPointsStrongestFirst) {
    const ServerEntry ranks[] = {{417, -55}, {34, -62}, {418, -63}, {131, -78}, {724, -90}};
    for (size_t i = 0; i < std::size(ranks); ++i) board.bestServers[i] = ranks[i];
    for (size_t i = std::size(ranks); i < 10; ++i) board.bestServers[i] = {0, -130};
    const Surface s = painted();
    expectRow(s, 0, "881.52", "384", "-55");
    expectRow(s, 1, "870.03", "1", "-62");
    expectRow(s, 2, "881.55", "385", "-63");
    expectRow(s, 3, "872.94", "98", "-78");
    expectRow(s, 4, "890.73", "691", "-90");
    expectRow(s, 9, "869.01", "990", "-130");
    // The table picture lies under the rows: its grid shows between them.
    EXPECT_EQ(screen.pixel(75, 86), RGB(255, 255, 0));
    EXPECT_EQ(screen.pixel(0, 70), RGB(255, 0, 0));
}

TEST_F(ServerViewTest, PcsRowsCountPcsChannels) {
    board.bandIndex = 1;
    board.pcsPlan.setPcsRaster(50000);
    board.bestServers[0] = {3250, -58};  // 1962.50 MHz
    const Surface s = painted();
    expectRow(s, 0, "1962.50", "650", "-58");
}

TEST_F(ServerViewTest, ProgressLineForEachRaster) {
    struct Case {
        uint8_t band;
        uint32_t raster, position;
        uint16_t count;
        const char* text;
    };
    const Case cases[] = {
        {0, 50000, 100, 833, "Current Channel = 100 of 833"},
        {1, 30000, 2, 1999, "Current Channel = 0 of 1999"},
        {1, 30000, 3002, 1999, "Current Channel = 1000 of 1999"},
        {1, 50000, 3000, 1200, "Current Channel = 600 of 1200"},
        {1, 200000, 20, 298, "Current Channel = 512 of 810"},
        {1, 200000, 5980, 298, "Current Channel = 810 of 810"},
    };
    for (const Case& c : cases) {
        board.bandIndex = c.band;
        board.pcsPlan.setPcsRaster(c.raster);
        board.sweepPosition = c.position;
        board.sweepCount = c.count;
        EXPECT_EQ(progressText(board), c.text);
        const Surface s = painted();
        const Surface expected = testing::drawnText(c.text, kProgress, kWhite, kBlack, kFormat);
        EXPECT_EQ(testing::firstDifference(s, expected, CRect(11, 21, 229, 39)), "") << c.text;
    }
}

TEST_F(ServerViewTest, IncCountsOnPenDownAndReleasesOnPenUp) {
    for (int press = 1; press <= 3; ++press) {
        screen.backend.penDown(220, 262 + 26);
        screen.backend.runUntilIdle();
        EXPECT_EQ(board.markerCount, press);
        EXPECT_EQ(statusStrip().isPressed(), 1);
        EXPECT_EQ(screen.pixel(207, 258), RGB(255, 0, 0));
        screen.backend.penUp(220, 262 + 26);
        screen.backend.runUntilIdle();
        EXPECT_EQ(statusStrip().isPressed(), 0);
        EXPECT_EQ(screen.pixel(207, 258), kWhite);
    }
    const size_t sounds = screen.backend.sounds().size();
    screen.tap(120, 100);  // the table: nothing
    EXPECT_EQ(screen.backend.sounds().size(), sounds);
    EXPECT_EQ(board.markerCount, 3);
}

TEST_F(ServerViewTest, MatchesGoldenImage) {
    const ServerEntry ranks[] = {{417, -55}, {418, -56}, {416, -57}, {1, -62}, {2, -64},
                                 {503, -78}, {502, -80}, {733, -90}, {734, -91}, {100, -104}};
    for (int i = 0; i < 10; ++i) board.bestServers[i] = ranks[i];
    board.sweepPosition = 600;
    const Surface s = painted();
    auto result = compareWithGolden(s, "best_servers_screen");
    EXPECT_TRUE(result.ok) << result.message;
}

}  // namespace
}  // namespace zarn
