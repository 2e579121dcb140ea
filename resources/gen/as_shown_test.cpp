#include "resources/gen/as_shown.h"

#include <gtest/gtest.h>

namespace zarn {
namespace {

struct Sizes {
    int width, height, shownWidth, shownHeight;
};

TEST(DrawAsShown, TheStretchShowsExactlyWhatWasDrawnAtTheShownSize) {
    const Sizes cases[] = {{35, 27, 35, 26}, {35, 18, 35, 17}, {240, 320, 240, 270}, {40, 10, 25, 7}};
    for (const Sizes& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        Surface picture(c.width, c.height);
        for (size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = 0x800000u + static_cast<uint32_t>(i);
        const Surface original = picture;
        CDC dc(picture);
        // Every other shown pixel in a colour of its own; the rest left alone.
        const auto drawn = [](int x, int y) { return (x + y) % 2 == 0; };
        const auto colour = [](int x, int y) { return RGB(1, static_cast<uint8_t>(x), static_cast<uint8_t>(y)); };
        art::drawAsShown(dc, CSize(c.shownWidth, c.shownHeight), [&](CDC& face) {
            for (int y = 0; y < c.shownHeight; ++y)
                for (int x = 0; x < c.shownWidth; ++x)
                    if (drawn(x, y)) face.SetPixel(x, y, colour(x, y));
        });

        Surface onScreen(c.shownWidth, c.shownHeight), before(c.shownWidth, c.shownHeight);
        Surface source = original;
        CDC screenDc(onScreen), beforeDc(before), sourceDc(source);
        screenDc.StretchBlt(0, 0, c.shownWidth, c.shownHeight, &dc, 0, 0, c.width, c.height, SRCCOPY);
        beforeDc.StretchBlt(0, 0, c.shownWidth, c.shownHeight, &sourceDc, 0, 0, c.width, c.height, SRCCOPY);
        for (int y = 0; y < c.shownHeight; ++y)
            for (int x = 0; x < c.shownWidth; ++x) {
                const uint32_t want = drawn(x, y) ? rgbToPixel(colour(x, y)) : before.at(x, y);
                ASSERT_EQ(onScreen.at(x, y), want) << x << "," << y;
            }
        // Where nothing was drawn the picture keeps its own pixels, the dropped ones too.
        size_t kept = 0;
        for (size_t i = 0; i < picture.pixels.size(); ++i) kept += picture.pixels[i] == original.pixels[i];
        EXPECT_GE(kept, picture.pixels.size() / 3);
    }
}

}  // namespace
}  // namespace zarn
