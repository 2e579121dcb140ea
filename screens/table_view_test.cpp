#include "screens/table_view.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/gdi/colours.h"
#include "platform/gdi/golden.h"
#include "screens/screen_test_support.h"
#include "screens/status_strip.h"

namespace zarn {
namespace {

using testing::ScreenHarness;

class TableScreen : public ::testing::Test {
protected:
    void SetUp() override {
        BoardState& b = boardState();
        b.channelTableCount = 0;
        b.markerCount = 0;
        b.pcsPlan.setPcsRaster(50000);
        statusStrip().setPressed(0);
        statusStrip().setClock([] { return LocalTime{2007, 3, 5, 9, 4, 7}; });
        screen = std::make_unique<ScreenHarness>(RUNTIME_CLASS(CTable));
    }
    void TearDown() override { screen.reset(); }
    CTable& view() { return *dynamic_cast<CTable*>(screen->view()); }
    TableRow rowOf(int16_t level, uint8_t band = 0, uint16_t channel = 384) {
        return view().row(boardState(), ChannelSlot{band, channel, level});
    }
    // The colours other than black in a rectangle of the screen.
    std::vector<COLORREF> coloursIn(int left, int top, int right, int bottom) {
        std::vector<COLORREF> found;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) {
                const COLORREF c = screen->pixel(x, y);
                if (c != kBlack && std::find(found.begin(), found.end(), c) == found.end()) found.push_back(c);
            }
        return found;
    }
    void show(std::initializer_list<ChannelSlot> slots) {
        int i = 0;
        for (const ChannelSlot& s : slots) boardState().channelTable[i++] = s;
        boardState().channelTableCount = static_cast<uint8_t>(i);
        screen->paint();
    }

    std::unique_ptr<ScreenHarness> screen;
};

TEST_F(TableScreen, ColourTableByTensOfDb) {
    const COLORREF expected[14] = {kWhite, kWhite, kWhite, kWhite, kCyan, kCyan, kGreen,
                                   kGreen, kGreen, kYellow, kYellow, kRed, kRed, kRed};
    for (int i = 0; i < 14; ++i) EXPECT_EQ(view().colour(i), expected[i]) << i;
}

TEST_F(TableScreen, RowsFromLevels) {
    struct Case {
        int16_t level;
        double dbm;
        int left, width;
        COLORREF colour;
    } cases[] = {
        {-800, -50.0, 55, 104, kCyan},     {-2080, -120.0, 160, -1, kRed}, {-160, -20.0, 10, 149, kWhite},
        {-478, -29.875, 24, 135, kWhite},  {-1440, -90.0, 115, 44, kYellow}, {-960, -60.0, 70, 89, kGreen},
        {INT16_MIN, -120.0, 160, -1, kRed}, {INT16_MAX, -20.0, 10, 149, kWhite},
    };
    for (const Case& c : cases) {
        const TableRow r = rowOf(c.level);
        EXPECT_DOUBLE_EQ(r.dbm, c.dbm) << c.level;
        EXPECT_EQ(r.barLeft, c.left) << c.level;
        EXPECT_EQ(r.barWidth, c.width) << c.level;
        EXPECT_EQ(r.colour, c.colour) << c.level;
    }
}

TEST_F(TableScreen, FrequenciesThroughThePlans) {
    EXPECT_DOUBLE_EQ(rowOf(-800, 0, 384).megahertz, 881.52);
    EXPECT_DOUBLE_EQ(rowOf(-800, 0, 990).megahertz, 869.01);
    EXPECT_DOUBLE_EQ(rowOf(-800, 1, 650).megahertz, 1962.5);
    // A band without a plan shows 0.00.
    for (uint8_t band : {2, 7, 255}) EXPECT_EQ(rowOf(-800, band, 384).megahertz, 0.0) << int(band);
}

TEST_F(TableScreen, MinusFiftyDbmDrawsACyanBarFromX55) {
    show({{0, 384, -800}});
    // Row 0: y 11..17.
    EXPECT_EQ(screen->pixel(55, 11), kCyan);
    EXPECT_EQ(screen->pixel(158, 17), kCyan);
    EXPECT_NE(screen->pixel(54, 14), kCyan);
    EXPECT_NE(screen->pixel(159, 14), kCyan);
    EXPECT_NE(screen->pixel(100, 18), kCyan);
    // Frequency and level are printed in the row's colour only.
    EXPECT_EQ(coloursIn(200, 11, 240, 18), std::vector<COLORREF>{kCyan});
    EXPECT_EQ(coloursIn(161, 11, 200, 18), std::vector<COLORREF>{kCyan});
}

TEST_F(TableScreen, LevelsOutsideTheScaleAreHeldAtItsEnds) {
    show({{0, 384, -2080}, {1, 25, -160}});
    EXPECT_TRUE(coloursIn(0, 11, 160, 18).empty() ||
                coloursIn(0, 11, 160, 18) == std::vector<COLORREF>{RGB(128, 128, 128)});  // no bar at all
    EXPECT_EQ(coloursIn(200, 11, 240, 18), std::vector<COLORREF>{kRed});
    EXPECT_EQ(screen->pixel(10, 19), kWhite);
    EXPECT_EQ(screen->pixel(158, 19), kWhite);
    EXPECT_NE(screen->pixel(9, 19), kWhite);
}

TEST_F(TableScreen, ThirtyRowsEndAboveTheClockLine) {
    std::vector<ChannelSlot> slots;
    for (int i = 0; i < 30; ++i) boardState().channelTable[i] = {0, static_cast<uint16_t>(1 + i), -800};
    boardState().channelTableCount = 30;
    screen->paint();
    EXPECT_EQ(screen->pixel(100, 243), kCyan);  // row 29
    EXPECT_EQ(screen->pixel(100, 249), kCyan);
    EXPECT_EQ(screen->pixel(100, 250), kBlack);
    EXPECT_EQ(screen->pixel(100, 254), kBlack);
    EXPECT_EQ(screen->pixel(100, 256), RGB(0, 0, 128));  // the clock line
}

TEST_F(TableScreen, EmptyTableShowsOnlyTheBackgroundAndClock) {
    show({});
    EXPECT_TRUE(coloursIn(0, 11, 159, 250).empty());
    EXPECT_EQ(screen->pixel(2, 260), RGB(0, 0, 128));
}

TEST_F(TableScreen, IncDownCountsAndUpReleases) {
    screen->backend.penDown(210, 260 + 26);
    screen->backend.runUntilIdle();
    EXPECT_EQ(boardState().markerCount, 1);
    EXPECT_EQ(statusStrip().isPressed(), 1);
    EXPECT_EQ(screen->backend.sounds().back().name, "PING");
    screen->backend.penUp(210, 260 + 26);
    screen->backend.runUntilIdle();
    EXPECT_EQ(statusStrip().isPressed(), 0);
    screen->tap(204, 260);  // just left of the box
    EXPECT_EQ(boardState().markerCount, 1);
}

TEST_F(TableScreen, MatchesGoldenImageOfAFullTable) {
    for (int i = 0; i < 30; ++i) {
        const uint8_t band = i % 3 == 2 ? 1 : 0;
        const uint16_t channel = band ? static_cast<uint16_t>(100 + 37 * i) : static_cast<uint16_t>(1 + 26 * i);
        boardState().channelTable[i] = {band, channel, static_cast<int16_t>(-2080 + i * 56)};
    }
    boardState().channelTableCount = 30;
    screen->paint();
    auto result = compareWithGolden(screen->client(), "channel_table_30_rows");
    EXPECT_TRUE(result.ok) << result.message;
}

}  // namespace
}  // namespace zarn
