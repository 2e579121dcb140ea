#include <gtest/gtest.h>

#include "platform/gdi/dc.h"
#include "platform/gdi/test_art.h"

namespace zarn {
namespace {

using test::art;
using Rows = std::vector<std::string>;

// Pixels named by letters: each distinct colour is one letter, '.' is black.
const std::map<COLORREF, char> kKey = {{RGB(0, 0, 0), '.'}, {RGB(10, 0, 0), 'a'}, {RGB(20, 0, 0), 'b'},
                                       {RGB(30, 0, 0), 'c'}, {RGB(40, 0, 0), 'd'}, {RGB(50, 0, 0), 'e'},
                                       {RGB(60, 0, 0), 'f'}, {RGB(70, 0, 0), 'g'}, {RGB(80, 0, 0), 'h'},
                                       {RGB(90, 0, 0), 'i'}};

// A memory context with a w x h bitmap whose pixels are letters a, b, c, ... row by row.
struct Source {
    CDC dc;
    CBitmap bitmap;
    Source(int w, int h) {
        dc.CreateCompatibleDC(nullptr);
        bitmap.CreateCompatibleBitmap(&dc, w, h);
        dc.SelectObject(&bitmap);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) dc.SetPixel(x, y, RGB(static_cast<uint8_t>(10 * (1 + x + y * w)), 0, 0));
    }
};

TEST(BlitTest, BitBltCopiesTheRectangle) {
    Source src(3, 3);
    Surface dst(5, 4);
    CDC dc(dst);
    ASSERT_TRUE(dc.BitBlt(1, 1, 2, 2, &src.dc, 1, 1, SRCCOPY));
    // The 2 x 2 block from source (1,1) lands at (1,1).
    EXPECT_EQ(art(dst, kKey), (Rows{".....", ".ef..", ".hi..", "....."}));
}

TEST(BlitTest, BitBltLeavesPixelsWhoseSourceIsOutside) {
    Source src(3, 3);
    Surface dst(5, 4);
    CDC dc(dst);
    dc.BitBlt(0, 0, 5, 4, &src.dc, -1, 0, SRCCOPY);
    // Only the columns and rows that read inside the source change.
    EXPECT_EQ(art(dst, kKey), (Rows{".abc.", ".def.", ".ghi.", "....."}));
}

TEST(BlitTest, BitBltIntoAWindowContextHonoursOriginAndClip) {
    Source src(3, 3);
    Surface window(5, 5);
    CDC dc(window, CPoint(1, 2), CRect(1, 2, 5, 4));
    dc.BitBlt(0, 0, 3, 3, &src.dc, 0, 0, SRCCOPY);
    // Client (0,0) is window (1,2), and the copy stops at the clip's bottom.
    EXPECT_EQ(art(window, kKey), (Rows{".....", ".....", ".abc.", ".def.", "....."}));
}

TEST(BlitTest, BitBltReadsFromAWindowContext) {
    Surface window(4, 4);
    CDC screen(window, CPoint(0, 1), CRect(0, 1, 4, 4));
    screen.SetPixel(0, 0, RGB(10, 0, 0));
    Surface out(2, 1);
    CDC dc(out);
    dc.BitBlt(0, 0, 2, 1, &screen, 0, 0, SRCCOPY);
    // Client (0,0) of the window context reads window row 1.
    EXPECT_EQ(art(out, kKey), (Rows{"a."}));
}

TEST(BlitTest, OverlappingCopyWithinOneSurface) {
    Source src(3, 3);
    src.dc.BitBlt(0, 1, 3, 2, &src.dc, 0, 0, SRCCOPY);
    // Moving rows down inside one bitmap copies the original rows, not already-moved ones.
    EXPECT_EQ(art(*src.bitmap.surface(), kKey), (Rows{"abc", "abc", "def"}));
}

TEST(BlitTest, OnlyCopyModeIsSupported) {
    Source src(2, 2);
    Surface dst(2, 2);
    CDC dc(dst);
    // Any raster operation other than SRCCOPY is refused.
    EXPECT_FALSE(dc.BitBlt(0, 0, 2, 2, &src.dc, 0, 0, 0x00EE0086));
    EXPECT_FALSE(dc.StretchBlt(0, 0, 2, 2, &src.dc, 0, 0, 2, 2, 0x00EE0086));
}

TEST(StretchTest, DoublingRepeatsEachPixel) {
    Source src(2, 2);
    Surface dst(4, 4);
    CDC dc(dst);
    ASSERT_TRUE(dc.StretchBlt(0, 0, 4, 4, &src.dc, 0, 0, 2, 2, SRCCOPY));
    // Each source pixel becomes a 2 x 2 block.
    EXPECT_EQ(art(dst, kKey), (Rows{"aabb", "aabb", "ccdd", "ccdd"}));
}

TEST(StretchTest, HalvingSamplesPixelCentres) {
    Source src(3, 3);
    Surface dst(1, 1);
    CDC dc(dst);
    dc.StretchBlt(0, 0, 1, 1, &src.dc, 0, 0, 3, 3, SRCCOPY);
    // One destination pixel takes the source pixel under its centre, the middle one.
    EXPECT_EQ(art(dst, kKey), (Rows{"e"}));
}

TEST(StretchTest, TitlePictureRowsMapEvenly) {
    Source src(1, 320);
    Surface dst(1, 270);
    CDC dc(dst);
    dc.StretchBlt(0, 0, 1, 270, &src.dc, 0, 0, 1, 320, SRCCOPY);
    auto row = [&](int y) { return pixelToRgb(dst.at(0, y)); };
    auto srcRow = [&](int y) { return pixelToRgb(src.bitmap.surface()->at(0, y)); };
    // The first and last destination rows take the first and last source rows.
    EXPECT_EQ(row(0), srcRow(0));
    EXPECT_EQ(row(269), srcRow(319));
}

TEST(StretchTest, ClippedToTheDestination) {
    Source src(2, 2);
    Surface dst(3, 3);
    CDC dc(dst);
    dc.StretchBlt(-2, -2, 4, 4, &src.dc, 0, 0, 2, 2, SRCCOPY);
    // Only the part of the stretched image inside the surface is painted: the bottom-right block.
    EXPECT_EQ(art(dst, kKey), (Rows{"dd.", "dd.", "..."}));
}

TEST(StretchTest, EmptySizesAreRefused) {
    Source src(2, 2);
    Surface dst(2, 2);
    CDC dc(dst);
    // A zero-sized source or destination is an error, not a division by zero.
    EXPECT_FALSE(dc.StretchBlt(0, 0, 2, 2, &src.dc, 0, 0, 0, 2, SRCCOPY));
    EXPECT_FALSE(dc.StretchBlt(0, 0, 0, 2, &src.dc, 0, 0, 2, 2, SRCCOPY));
}

TEST(DibTest, BitBltWritesBottomUpBlueGreenRedRows) {
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap colours;
    colours.CreateCompatibleBitmap(&mem, 3, 2);
    mem.SelectObject(&colours);
    mem.SetPixel(0, 0, RGB(1, 2, 3));    // top left
    mem.SetPixel(2, 1, RGB(7, 8, 9));    // bottom right

    CDC dibDc;
    dibDc.CreateCompatibleDC(&mem);
    CBitmap dib;
    void* bits = nullptr;
    ASSERT_TRUE(dib.CreateDIBSection(&dibDc, 3, 2, 24, &bits));
    dibDc.SelectObject(&dib);
    ASSERT_TRUE(dibDc.BitBlt(0, 0, 3, 2, &mem, 0, 0, SRCCOPY));
    const uint8_t* b = static_cast<const uint8_t*>(bits);
    // Rows are 3 x 3 = 9 bytes padded to 12; the first stored row is the bottom one.
    EXPECT_EQ(b[6], 9);
    EXPECT_EQ(b[7], 8);
    EXPECT_EQ(b[8], 7);
    EXPECT_EQ(b[9], 0);
    // The top-left pixel starts the second stored row, blue first.
    EXPECT_EQ(b[12], 3);
    EXPECT_EQ(b[13], 2);
    EXPECT_EQ(b[14], 1);

    Surface back(3, 2);
    CDC out(back);
    out.BitBlt(0, 0, 3, 2, &dibDc, 0, 0, SRCCOPY);
    // Copying the DIB section back gives the original pixels.
    EXPECT_EQ(back.pixels, colours.surface()->pixels);
}

TEST(DibTest, OnlyBottomUp24BitSectionsAreMade) {
    CBitmap dib;
    void* bits = nullptr;
    // Other depths and empty sizes are refused.
    EXPECT_FALSE(dib.CreateDIBSection(nullptr, 4, 4, 32, &bits));
    EXPECT_FALSE(dib.CreateDIBSection(nullptr, 0, 4, 24, &bits));
    ASSERT_TRUE(dib.CreateDIBSection(nullptr, 240, 268, 24, &bits));
    BITMAP info;
    dib.GetBitmap(&info);
    // The section reports its size and depth.
    EXPECT_EQ(info.bmWidth, 240);
    EXPECT_EQ(info.bmHeight, 268);
    EXPECT_EQ(info.bmBitsPixel, 24);
}

}  // namespace
}  // namespace zarn
