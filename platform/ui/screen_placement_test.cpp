#include "platform/ui/screen_placement.h"

#include <gtest/gtest.h>

namespace zarn {
namespace {

struct Fit {
    CSize display;
    int rotation;
    int scale;
    CPoint origin;
};

// The whole-factor fit on the panels and screens a hand-held or a desktop has.
TEST(ScreenPlacement, FitsTheLargestWholeScaleCentred) {
    const Fit cases[] = {
        {{240, 320}, 0, 1, {0, 0}},     {{320, 240}, 90, 1, {0, 0}},     {{320, 240}, 270, 1, {0, 0}},
        {{480, 800}, 0, 2, {0, 80}},    {{1920, 1080}, 0, 3, {600, 60}}, {{1920, 1080}, 90, 4, {320, 60}},
        {{1024, 768}, 0, 2, {272, 64}}, {{200, 200}, 0, 1, {-20, -60}},
    };
    for (const Fit& c : cases) {
        const ScreenPlacement p = ScreenPlacement::fit(c.display, c.rotation, 0);
        EXPECT_EQ(p.scale(), c.scale) << c.display.cx << "x" << c.display.cy << " at " << c.rotation;
        EXPECT_EQ(p.origin(), c.origin) << c.display.cx << "x" << c.display.cy << " at " << c.rotation;
    }
    EXPECT_EQ(ScreenPlacement::fit({1920, 1080}, 0, 3).scale(), 3);
    EXPECT_EQ(ScreenPlacement::fit({2560, 1600}, 0, 3).scale(), 3);  // a window stays at most 3
}

// Turned clockwise: at 90 the device's top-left corner is at the output's top right.
TEST(ScreenPlacement, CornersTurnClockwise) {
    struct Corner {
        int rotation;
        CPoint topLeftLandsAt;
    } cases[] = {{0, {0, 0}}, {90, {319, 0}}, {180, {239, 319}}, {270, {0, 239}}};
    for (const Corner& c : cases) {
        const ScreenPlacement p(c.rotation, 1, {});
        EXPECT_EQ(p.toOutput(CRect(0, 0, 1, 1)), CRect(c.topLeftLandsAt, CSize(1, 1))) << c.rotation;
        EXPECT_EQ(p.toDevice(c.topLeftLandsAt), CPoint(0, 0)) << c.rotation;
    }
}

// The picture and the pointer share the transform: every output pixel shows
// the device pixel that a tap there reaches, and nothing off the picture or
// outside the changed area is written.
TEST(ScreenPlacement, DrawShowsUnderEachPointTheDevicePixelATapThereReaches) {
    Surface screen(240, 320);
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; ++x) screen.at(x, y) = static_cast<uint32_t>(y * 240 + x);
    constexpr uint32_t kUntouched = 0xDEADBEEF;
    const CRect changed(10, 20, 130, 300);
    for (int rotation : {0, 90, 180, 270}) {
        for (int scale : {1, 3}) {
            const CSize output(1000, 1000);
            const ScreenPlacement p(rotation, scale, {7, 11});
            std::vector<uint32_t> out(static_cast<size_t>(output.cx) * output.cy, kUntouched);
            p.draw(screen, changed, out.data(), output, output.cx);
            for (int y = 0; y < output.cy; ++y) {
                for (int x = 0; x < output.cx; ++x) {
                    const CPoint d = p.toDevice({x, y});
                    const uint32_t want = changed.PtInRect(d) ? screen.at(d.x, d.y) : kUntouched;
                    ASSERT_EQ(out[static_cast<size_t>(y) * output.cx + x], want)
                        << "rotation " << rotation << " scale " << scale << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(ScreenPlacement, DrawIsClippedToTheOutput) {
    Surface screen(240, 320, 0x123456);
    std::vector<uint32_t> out(100 * 50, 0);
    ScreenPlacement(90, 2, {-30, -10}).draw(screen, CRect(0, 0, 240, 320), out.data(), {100, 50}, 100);
    for (uint32_t pixel : out) ASSERT_EQ(pixel, 0x123456u);
}

}  // namespace
}  // namespace zarn
