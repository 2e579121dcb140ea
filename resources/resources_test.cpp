#include <gtest/gtest.h>

#include "platform/gdi/dc.h"
#include "platform/gdi/golden.h"
#include "platform/gdi/resource.h"

namespace zarn {
namespace {

TEST(ProgramResourcesTest, ToolbarBitmapHoldsSevenButtonImages) {
    CBitmap toolbar;
    ASSERT_TRUE(toolbar.LoadBitmap(128));
    BITMAP info;
    toolbar.GetBitmap(&info);
    // Bitmap 128 is 112 x 16, seven 16 x 16 images, drawn for 16 colours.
    EXPECT_EQ(info.bmWidth, 112);
    EXPECT_EQ(info.bmHeight, 16);
    EXPECT_EQ(info.bmBitsPixel, 4);
    GoldenResult r = compareWithGolden(*toolbar.surface(), "toolbar_128");
    EXPECT_TRUE(r.ok) << r.message;
}

TEST(ProgramResourcesTest, IconHasAMaskWithBothSeeThroughAndOpaquePixels) {
    const BitmapResource* icon = findIcon(128);
    ASSERT_NE(icon, nullptr);
    ASSERT_NE(icon->mask, nullptr);
    int opaque = 0;
    for (int i = 0; i < icon->width * icon->height; ++i) opaque += icon->mask[i];
    // The corners are see-through and the picture itself is not.
    EXPECT_EQ(icon->mask[0], 0);
    EXPECT_GT(opaque, icon->width * icon->height / 2);
    Surface pixels;
    ASSERT_TRUE(decodeBitmap(*icon, pixels));
    GoldenResult r = compareWithGolden(pixels, "icon_128");
    EXPECT_TRUE(r.ok) << r.message;
}

TEST(ProgramResourcesTest, PingIsAShortLowRateSound) {
    const WaveResource* ping = findWave("PING");
    ASSERT_NE(ping, nullptr);
    // "PING" is 11025 Hz and about 1.7 s long.
    EXPECT_EQ(ping->sampleRate, 11025);
    EXPECT_NEAR(static_cast<double>(ping->sampleCount) / ping->sampleRate, 1.7, 0.05);
}

TEST(ProgramResourcesTest, CommandBarTextsAreInTheStringTable) {
    // The six tooltip texts and the command texts are found by number.
    EXPECT_EQ(loadString(65001), "File");
    EXPECT_EQ(loadString(65007), "About");
    EXPECT_EQ(loadString(32774), "Store a JPEG image");
    EXPECT_EQ(loadString(65003), "");
}

TEST(ProgramResourcesTest, DialogTemplatesCarryTheirControls) {
    const DialogTemplate* best = findDialog(151);
    ASSERT_NE(best, nullptr);
    // The best-server options have two visible band choices and eleven hidden controls.
    ASSERT_EQ(best->controlCount, 13u);
    EXPECT_FALSE(best->controls[1].style & CF_HIDDEN);
    EXPECT_TRUE(best->controls[12].style & CF_HIDDEN);
    const DialogTemplate* about = findDialog(155);
    ASSERT_NE(about, nullptr);
    // The about box is 135 x 95 units and shows the icon first.
    EXPECT_EQ(about->width, 135);
    EXPECT_EQ(about->controls[0].kind, ControlKind::Icon);
    const DialogTemplate* single = findDialog(152);
    ASSERT_NE(single, nullptr);
    // The single-channel edit boxes have a border and scroll horizontally.
    EXPECT_EQ(single->controls[1].style & (CF_BORDER | CF_AUTOHSCROLL), CF_BORDER | CF_AUTOHSCROLL);
}

}  // namespace
}  // namespace zarn
