#include "screens/band_raster_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "board/board_state.h"
#include "platform/gdi/golden.h"
#include "screens/screen_test_support.h"

namespace zarn {
namespace {

using testing::ScreenHarness;

class BandRasterTest : public ::testing::Test {
protected:
    void SetUp() override { boardState().pcsPlan.setPcsRaster(50000); }
    ScreenHarness screen{RUNTIME_CLASS(CZarnView)};
};

TEST_F(BandRasterTest, ButtonsAreNavyOutlinedInRedOverThePicture) {
    for (const MenuButton& b : CZarnView::kRasterButtons) {
        EXPECT_EQ(screen.pixel(b.rect.left, b.rect.top), kMenuOutline) << b.label;
        EXPECT_EQ(screen.pixel(b.rect.right - 1, b.rect.bottom - 1), kMenuOutline) << b.label;
        EXPECT_EQ(screen.pixel(b.rect.left + 2, b.rect.top + 2), kMenuNavy) << b.label;
    }
    // The labels are white, at the top of their buttons and centred across them.
    for (const MenuButton& b : CZarnView::kRasterButtons) {
        int left = 240, right = 0;
        for (int y = b.rect.top + 1; y < b.rect.top + 13; ++y)
            for (int x = 0; x < 240; ++x)
                if (screen.pixel(x, y) == RGB(255, 255, 255)) left = std::min(left, x), right = std::max(right, x);
        ASSERT_LT(left, right) << b.label;
        EXPECT_LE(std::abs((left + right) / 2 - 120), 3) << b.label;
    }
    // The picture's 270 rows reach past the client's last row: no amber ground shows.
    EXPECT_NE(screen.pixel(0, 267), kMenuAmber);
    EXPECT_NE(screen.pixel(239, 225), kMenuAmber);
}

TEST_F(BandRasterTest, MatchesGoldenImage) {
    auto result = compareWithGolden(screen.client(), "band_raster_screen");
    EXPECT_TRUE(result.ok) << result.message;
}

TEST_F(BandRasterTest, TapPicksTheRasterOfTheButtonUnderThePen) {
    struct Case {
        int x, y;
        uint32_t raster;  // 0: no button
    };
    const Case cases[] = {
        {0, 130, 30000},   {239, 159, 30000}, {120, 160, 50000}, {120, 189, 50000},
        {120, 190, 200000}, {0, 219, 200000}, {120, 220, 0},     {120, 129, 0},
        {120, 0, 0},       {120, 267, 0},
    };
    int switches = 0;
    for (const Case& c : cases) {
        boardState().pcsPlan.setPcsRaster(50000);
        const size_t soundsBefore = screen.backend.sounds().size();
        screen.tap(c.x, c.y);
        const bool hit = c.raster != 0;
        switches += hit;
        EXPECT_EQ(boardState().pcsPlan.pcsRaster(), hit ? c.raster : 50000u) << c.x << "," << c.y;
        EXPECT_EQ(screen.frame()->mainMenuSwitches, switches) << c.x << "," << c.y;
        ASSERT_EQ(screen.backend.sounds().size(), soundsBefore + (hit ? 1 : 0)) << c.y;
        if (hit) {
            EXPECT_EQ(screen.backend.sounds().back().name, "Online");
            EXPECT_FALSE(screen.backend.sounds().back().async);
        }
    }
}

}  // namespace
}  // namespace zarn
