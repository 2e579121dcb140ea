#include <gtest/gtest.h>

#include "platform/gdi/dc.h"
#include "platform/gdi/test_art.h"

namespace zarn {
namespace {


// The box covered by pixels of one colour, empty when there are none.
CRect extentOf(const Surface& s, COLORREF c) {
    CRect r(s.width, s.height, -1, -1);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            if (s.at(x, y) == rgbToPixel(c)) {
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    return r.IsRectEmpty() ? CRect() : r;
}

class TextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(small.CreatePointFont(80, "System")) << "the font files of xfonts-base are needed";
        ASSERT_TRUE(large.CreatePointFont(100, "System"));
        dc.SelectObject(&small);
        dc.SetTextColor(kWhite);
        dc.SetBkColor(kNavy);
    }
    int lineHeight() { return dc.GetTextExtent("X").cy; }

    Surface surface{60, 40};
    CDC dc{surface};
    CFont small, large;
};

TEST_F(TextTest, SystemFontsHaveTheScreensSizes) {
    // The 8-point face is 8 pixels high, the 10-point face 12.
    EXPECT_EQ(dc.GetTextExtent("Ag").cy, 8);
    dc.SelectObject(&large);
    EXPECT_EQ(dc.GetTextExtent("Ag").cy, 12);
}

TEST_F(TextTest, LongStatusLinesFitTheScreenWidth) {
    const char* lines[] = {
        "(869.01-893.97MHz/30kHz) (1930.00-1990.00/50kHz)",
        "(869.01-893.97MHz/30kHz) (1930.00-1990.00/200kHz)",
        "(Firmware Version 0.00)(Serial Number XXXXXX)",
        "CENTER: 1960.00 MHz SPAN: 60.00 MHz",
        "[881.52 MHz][Channel 1023][-119.9 dBm]",
    };
    // Every long line of the screens fits the 240-pixel width in the 8-point face.
    for (const char* line : lines) EXPECT_LE(dc.GetTextExtent(line).cx, 240) << line;
    dc.SelectObject(&large);
    // The widest label of the 10-point face fits too.
    EXPECT_LE(dc.GetTextExtent("Use 800 (30kHz) / 1900 (200kHz)").cx, 240);
}

TEST_F(TextTest, NarrowSignsTakeLessRoomThanLetters) {
    // Glyphs are spaced by their ink: a point is narrower than a capital M.
    EXPECT_LT(dc.GetTextExtent(".").cx, dc.GetTextExtent("M").cx);
    // Widths add up glyph by glyph.
    EXPECT_EQ(dc.GetTextExtent("M.").cx, dc.GetTextExtent("M").cx + dc.GetTextExtent(".").cx);
}

TEST_F(TextTest, OpaqueBackgroundCoversTheTextCellOnly) {
    dc.DrawText("Hi", CRect(3, 4, 50, 30), DT_LEFT);
    CSize cell = dc.GetTextExtent("Hi");
    // The background fills the text's width by the font's height at the rectangle's top-left.
    CRect ink = extentOf(surface, kNavy);
    EXPECT_EQ(ink.left, 3);
    EXPECT_EQ(ink.top, 4);
    CRect all = extentOf(surface, kWhite);
    all.IntersectRect(all, CRect(3, 4, 3 + cell.cx, 4 + cell.cy));
    // All text ink lies inside that cell.
    EXPECT_EQ(extentOf(surface, kWhite), all);
    EXPECT_LE(ink.right, 3 + cell.cx);
    EXPECT_EQ(ink.bottom, 4 + cell.cy);
}

TEST_F(TextTest, TransparentModeLeavesTheBackground) {
    dc.SetBkMode(TRANSPARENT);
    dc.DrawText("Hi", CRect(0, 0, 60, 40), DT_LEFT);
    // No background pixels are painted, only the ink.
    EXPECT_TRUE(extentOf(surface, kNavy).IsRectEmpty());
    EXPECT_FALSE(extentOf(surface, kWhite).IsRectEmpty());
}

TEST_F(TextTest, CentreAndVerticalCentreInSingleLineMode) {
    CRect r(0, 0, 60, 40);
    dc.DrawText("ABC", r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    CSize cell = dc.GetTextExtent("ABC");
    CRect bg = extentOf(surface, kNavy);
    // The cell starts half the spare width in and half the spare height down, rounded down.
    CRect ink = extentOf(surface, kWhite);
    CRect cellRect((60 - cell.cx) / 2, (40 - cell.cy) / 2, (60 - cell.cx) / 2 + cell.cx, (40 - cell.cy) / 2 + cell.cy);
    CRect inside;
    inside.IntersectRect(ink, cellRect);
    EXPECT_EQ(inside, ink);
    EXPECT_EQ(bg.top, cellRect.top);
    EXPECT_EQ(bg.bottom, cellRect.bottom);
    EXPECT_EQ(bg.left, cellRect.left);
}

TEST_F(TextTest, VerticalCentreNeedsSingleLineMode) {
    dc.DrawText("ABC", CRect(0, 10, 60, 40), DT_CENTER | DT_VCENTER);
    // Without single-line mode the text stays at the rectangle's top, as on the device.
    EXPECT_EQ(extentOf(surface, kNavy).top, 10);
    EXPECT_EQ(extentOf(surface, kNavy).bottom, 10 + lineHeight());
}

TEST_F(TextTest, BottomAlignmentInSingleLineMode) {
    dc.DrawText("ABC", CRect(0, 0, 60, 30), DT_BOTTOM | DT_SINGLELINE);
    // The cell's last row is the rectangle's last row.
    EXPECT_EQ(extentOf(surface, kNavy).bottom, 30);
}

TEST_F(TextTest, NewlinesStackLinesEachCentred) {
    int h = dc.DrawText("Zarn Dual-Band Receiver\nV2", CRect(0, 0, 60, 40), DT_CENTER);
    // Two lines take twice the font's height.
    EXPECT_EQ(h, 2 * lineHeight());
    Surface second(60, 40);
    CDC other(second);
    other.SelectObject(&small);
    other.SetTextColor(kWhite);
    other.SetBkColor(kNavy);
    other.DrawText("V2", CRect(0, lineHeight(), 60, 40), DT_CENTER);
    // The second line lands exactly where it would drawn alone one line lower.
    for (int y = lineHeight(); y < 2 * lineHeight(); ++y)
        for (int x = 0; x < 60; ++x) ASSERT_EQ(surface.at(x, y), second.at(x, y)) << x << "," << y;
}

TEST_F(TextTest, SingleLineModeKeepsNewlinesOnOneLine) {
    int h = dc.DrawText("A\nB", CRect(0, 0, 60, 40), DT_SINGLELINE);
    // One line high, whatever the text holds.
    EXPECT_EQ(h, lineHeight());
    EXPECT_EQ(extentOf(surface, kNavy).bottom, lineHeight());
}

TEST_F(TextTest, TextIsClippedToItsRectangle) {
    CRect r(10, 5, 20, 9);
    dc.DrawText("WWWWWWWWWW", r, DT_CENTER);
    // Neither background nor ink leaves the rectangle, though the text is far wider.
    EXPECT_EQ(extentOf(surface, kNavy), r);
    CRect ink = extentOf(surface, kWhite), inside;
    inside.IntersectRect(ink, r);
    EXPECT_EQ(inside, ink);
}

TEST_F(TextTest, NoClipLetsTextOverhang) {
    dc.DrawText("WWWWWWWWWW", CRect(10, 5, 20, 9), DT_NOCLIP);
    // With DT_NOCLIP the cell runs past the rectangle's right edge.
    EXPECT_GT(extentOf(surface, kNavy).right, 20);
}

TEST_F(TextTest, TextIsClippedToTheContext) {
    Surface window(30, 20, rgbToPixel(kRed));
    CDC clipped(window, CPoint(0, 0), CRect(0, 0, 30, 10));
    clipped.SelectObject(&small);
    clipped.DrawText("Hello", CRect(0, 6, 30, 20), DT_LEFT);
    // Below the context's clip the window keeps its red.
    for (int y = 10; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(window.at(x, y), rgbToPixel(kRed));
}

TEST_F(TextTest, WideTextDrawsLikeNarrowText) {
    dc.DrawText(L"Marker #3", CRect(0, 0, 60, 20), DT_LEFT);
    Surface narrow(60, 40);
    CDC other(narrow);
    other.SelectObject(&small);
    other.SetTextColor(kWhite);
    other.SetBkColor(kNavy);
    other.DrawText("Marker #3", CRect(0, 0, 60, 20), DT_LEFT);
    // The same pixels come out.
    EXPECT_EQ(surface.pixels, narrow.pixels);
}

TEST_F(TextTest, CalcRectMeasuresWithoutDrawing) {
    CRect r(5, 5, 100, 100);
    dc.DrawText("ab\nabc", &r, DT_CALCRECT);
    // The rectangle shrinks to the widest line and the lines' height, and nothing is drawn.
    EXPECT_EQ(r, CRect(5, 5, 5 + dc.GetTextExtent("abc").cx, 5 + 2 * lineHeight()));
    EXPECT_TRUE(extentOf(surface, kNavy).IsRectEmpty());
}

TEST_F(TextTest, WordBreakWrapsAtBlanks) {
    int width = dc.GetTextExtent("How Many").cx;
    CRect r(0, 0, width, 40);
    dc.DrawText("How Many Servers", &r, DT_WORDBREAK | DT_CALCRECT);
    // A text too wide for the rectangle breaks at a blank into two lines.
    EXPECT_EQ(r.Height(), 2 * lineHeight());
}

TEST_F(TextTest, DefaultFontIsTheSmallSystemFace) {
    Surface s(20, 10);
    CDC fresh(s);
    // A context with no font selected measures with the 8-point face.
    EXPECT_EQ(fresh.GetTextExtent("Ag"), dc.GetTextExtent("Ag"));
}

TEST(FontTest, FontFilesAreFoundInTheStandardFolder) {
    // Both sizes resolve to installed files under the X11 misc folder.
    EXPECT_NE(fontFilePath(FontFace::Size::Small).find("/fonts/X11/misc/"), std::string::npos);
    EXPECT_NE(fontFilePath(FontFace::Size::Large).find("/fonts/X11/misc/"), std::string::npos);
}

TEST(FontTest, MissingFileGivesNoFace) {
    // A path that does not exist yields no face rather than a crash.
    EXPECT_EQ(FontFace::load("/nonexistent/font.pcf.gz"), nullptr);
}

TEST(FontTest, UnknownCodesDrawAsQuestionMark) {
    auto face = loadFontFace(FontFace::Size::Small);
    ASSERT_NE(face, nullptr);
    // A code the font lacks takes the question mark's shape; control codes take no room.
    EXPECT_EQ(face->glyph(0x81).mask, face->glyph('?').mask);
    EXPECT_EQ(face->glyph('\t').advance, 0);
}

}  // namespace
}  // namespace zarn
