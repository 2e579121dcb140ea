#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "platform/gdi/dc.h"
#include "platform/gdi/golden.h"
#include "platform/gdi/resource.h"
#include "resources/gen/canvas.h"

namespace zarn {
namespace {

Surface pixelsOf(int id) {
    Surface s;
    const BitmapResource* res = findBitmap(id);
    if (res) decodeBitmap(*res, s);
    return s;
}

size_t coloursIn(const Surface& s, int left, int top, int right, int bottom) {
    std::set<uint32_t> colours;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) colours.insert(s.at(x, y));
    return colours.size();
}

size_t coloursIn(const Surface& s) { return coloursIn(s, 0, 0, s.width, s.height); }

size_t differingPixels(const Surface& a, const Surface& b) {
    size_t n = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
    return n;
}

struct Shape {
    int id, width, height, bitsPerPixel;
};

TEST(ArtworkTest, BitmapsHaveTheirSizesAndDepths) {
    std::vector<Shape> shapes = {{128, 112, 16, 4}, {134, 240, 320, 24}, {150, 240, 320, 24}};
    for (int id = 135; id <= 149; ++id) shapes.push_back({id, 240, 15, 8});
    for (const Shape& want : shapes) {
        SCOPED_TRACE(want.id);
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.LoadBitmap(want.id));
        BITMAP info;
        bitmap.GetBitmap(&info);
        EXPECT_EQ(info.bmWidth, want.width);
        EXPECT_EQ(info.bmHeight, want.height);
        EXPECT_EQ(info.bmBitsPixel, want.bitsPerPixel);
    }
}

TEST(ArtworkTest, PicturesUseNoMoreColoursThanTheirDepthHolds) {
    // A 4-bit picture keeps to the sixteen standard colours; an 8-bit one to 256.
    const std::set<uint32_t> vga16 = [] {
        using namespace art::vga;
        std::set<uint32_t> s;
        for (COLORREF c : {black, maroon, green, olive, navy, purple, teal, grey, silver, red, lime, yellow, blue,
                           fuchsia, aqua, white})
            s.insert(rgbToPixel(c));
        return s;
    }();
    Surface toolbar = pixelsOf(128);
    for (uint32_t p : toolbar.pixels) ASSERT_TRUE(vga16.count(p)) << std::hex << p;
    for (int size : {32, 16}) {
        const BitmapResource* icon = findIcon(128, size);
        ASSERT_NE(icon, nullptr) << size;
        Surface s;
        ASSERT_TRUE(decodeBitmap(*icon, s));
        for (uint32_t p : s.pixels) ASSERT_TRUE(vga16.count(p)) << size << " " << std::hex << p;
    }
    for (int id = 135; id <= 149; ++id) EXPECT_LE(coloursIn(pixelsOf(id)), 256u) << id;
}

struct Region {
    const char* what;
    int id;
    int left, top, right, bottom;  // in the picture's own pixels
};

TEST(ArtworkTest, StartPicturesAreDetailedWhereTheButtonsLie) {
    // The screens stretch the 320 rows into 270, so screen rows map to picture rows * 320 / 270.
    const Region regions[] = {
        {"title picture", 134, 0, 0, 240, 320},
        {"behind the raster buttons", 134, 0, 130 * 320 / 270, 240, 220 * 320 / 270},
        {"menu picture", 150, 0, 0, 240, 320},
        {"behind the menu buttons", 150, 20, 25 * 320 / 270, 220, 160 * 320 / 270},
        {"left of the menu buttons", 150, 0, 25 * 320 / 270, 20, 160 * 320 / 270},
        {"below the menu buttons", 150, 0, 160 * 320 / 270, 240, 209 * 320 / 270},
    };
    for (const Region& r : regions) {
        SCOPED_TRACE(r.what);
        Surface s = pixelsOf(r.id);
        ASSERT_EQ(s.width, 240);
        // Not a flat colour, nor a few bands of one: many shades in every part.
        EXPECT_GE(coloursIn(s, r.left, r.top, r.right, r.bottom), 40u);
    }
}

TEST(ArtworkTest, TitleBandFramesFollowOneAnother) {
    // Shown in the order 136..149, then 135, then 136 again.
    std::vector<int> order;
    for (int id = 136; id <= 149; ++id) order.push_back(id);
    order.push_back(135);
    order.push_back(136);
    std::vector<size_t> steps;
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        Surface a = pixelsOf(order[i]), b = pixelsOf(order[i + 1]);
        ASSERT_EQ(a.pixels.size(), 240u * 15u);
        ASSERT_EQ(b.pixels.size(), a.pixels.size());
        steps.push_back(differingPixels(a, b));
        EXPECT_GT(steps.back(), 0u) << order[i] << " to " << order[i + 1];
        EXPECT_GE(coloursIn(a), 8u) << order[i];
    }
    // The way back from the last frame to the first is a step like any other, not a jump.
    size_t largestInside = *std::max_element(steps.begin(), steps.end() - 2);
    size_t smallestInside = *std::min_element(steps.begin(), steps.end() - 2);
    EXPECT_LE(steps[steps.size() - 2], largestInside * 3 / 2);
    EXPECT_GE(steps[steps.size() - 2], smallestInside * 2 / 3);
}

struct WaveShape {
    const char* name;
    int rate;
    double seconds;
};

TEST(ArtworkTest, SoundsHaveTheirRatesLengthsAndAreAudible) {
    const WaveShape waves[] = {{"HOWL", 22050, 5.5}, {"PING", 11025, 1.7}, {"CAMERA", 11025, 0.8}};
    for (const WaveShape& w : waves) {
        SCOPED_TRACE(w.name);
        const WaveResource* wave = findWave(w.name);
        ASSERT_NE(wave, nullptr);
        ASSERT_GT(wave->sampleCount, 0u);
        EXPECT_EQ(wave->sampleRate, w.rate);
        EXPECT_NEAR(static_cast<double>(wave->sampleCount) / wave->sampleRate, w.seconds, 0.05);
        int loudest = 0;
        for (size_t i = 0; i < wave->sampleCount; ++i) loudest = std::max(loudest, std::abs(wave->samples[i] - 128));
        EXPECT_GE(loudest, 40);
        // It ends in silence, so no click is heard when it stops.
        EXPECT_LE(std::abs(wave->samples[wave->sampleCount - 1] - 128), 2);
    }
}

TEST(ArtworkTest, StartPicturesAndTitleBandMatchTheirGoldenImages) {
    for (auto [id, name] : {std::pair{134, "title_picture_134"}, std::pair{150, "menu_picture_150"}}) {
        GoldenResult r = compareWithGolden(pixelsOf(id), name);
        EXPECT_TRUE(r.ok) << r.message;
    }
    // The fifteen frames stacked in the order they show.
    Surface band(240, 15 * 15);
    for (int k = 0; k < 15; ++k) {
        int id = k < 14 ? 136 + k : 135;
        Surface frame = pixelsOf(id);
        ASSERT_EQ(frame.pixels.size(), 240u * 15u);
        std::copy(frame.pixels.begin(), frame.pixels.end(), band.pixels.begin() + k * 240 * 15);
    }
    GoldenResult r = compareWithGolden(band, "title_band_frames");
    EXPECT_TRUE(r.ok) << r.message;
}

TEST(ArtworkTest, IconComesInTwoSizes) {
    const BitmapResource* large = findIcon(128);
    const BitmapResource* small = findIcon(128, 16);
    ASSERT_NE(large, nullptr);
    ASSERT_NE(small, nullptr);
    // The about box takes the first, the large one.
    EXPECT_EQ(large->width, 32);
    EXPECT_EQ(small->height, 16);
    EXPECT_EQ(findIcon(128, 24), nullptr);
    EXPECT_EQ(small->mask[0], 0);
    Surface pixels;
    ASSERT_TRUE(decodeBitmap(*small, pixels));
    GoldenResult r = compareWithGolden(pixels, "icon_128_small");
    EXPECT_TRUE(r.ok) << r.message;
}

}  // namespace
}  // namespace zarn
