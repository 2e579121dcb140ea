#include "resources/gen/encode.h"

#include <gtest/gtest.h>

#include "platform/gdi/resource.h"

namespace zarn::art {
namespace {

void drawSample(CDC& dc) {
    dc.FillSolidRect(1, 0, 2, 2, RGB(255, 0, 0));
    dc.SetPixel(0, 2, kTransparent);
}

TEST(EncodeTest, RunsDecodeToTheSamePicture) {
    Artwork a{1, 4, 3, 24, drawSample};
    Surface s = render(a);
    std::vector<uint32_t> runs = runLengths(s);
    BitmapResource res{1, 4, 3, 24, runs.data(), runs.size() / 2, nullptr};
    Surface back;
    ASSERT_TRUE(decodeBitmap(res, back));
    // Encoding then decoding gives every pixel back.
    EXPECT_EQ(back.pixels, s.pixels);
    // Equal neighbours share one run: black, red x2, black x2, red x2, black x1, magenta, black x3.
    EXPECT_EQ(runs.size() / 2, 7u);
}

TEST(EncodeTest, MaskMarksTheTransparentColourOnly) {
    Artwork a{1, 4, 3, 24, drawSample};
    std::vector<uint8_t> mask = opaqueMask(render(a), kTransparent);
    // Only the magenta pixel at (0,2) is see-through.
    EXPECT_EQ(mask[8], 0);
    EXPECT_EQ(std::count(mask.begin(), mask.end(), 0), 1);
}

}  // namespace
}  // namespace zarn::art
