#include "platform/gdi/dc.h"

#include <gtest/gtest.h>

#include "platform/gdi/test_art.h"

namespace zarn {
namespace {

using test::art;
using Rows = std::vector<std::string>;

const std::map<COLORREF, char> kKey = {{kBlack, '.'}, {kWhite, '#'}, {kRed, 'r'}, {kNavy, 'n'}};

struct Canvas {
    Surface surface;
    CDC dc;
    CPen pen;
    explicit Canvas(int w, int h, int penWidth = 1) : surface(w, h), dc(surface), pen(PS_SOLID, penWidth, kWhite) {
        dc.SelectObject(&pen);
    }
    Rows rows() const { return art(surface, kKey); }
};

struct LineCase {
    const char* what;
    std::vector<CPoint> points;
    int penWidth;
    Rows expected;
};

// gtest would name each case by its bytes; its sentence reads better in the log.
template <typename Case>
    requires requires(const Case& c) { c.what; }
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

class LineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineTest, PaintsExactlyThesePixels) {
    const LineCase& c = GetParam();
    Canvas canvas(8, 6, c.penWidth);
    canvas.dc.MoveTo(c.points[0]);
    for (size_t i = 1; i < c.points.size(); ++i) canvas.dc.LineTo(c.points[i]);
    EXPECT_EQ(canvas.rows(), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Lines, LineTest, ::testing::Values(
    // A horizontal line paints from its start up to, not including, its end.
    LineCase{"horizontal", {{1, 1}, {5, 1}}, 1,
             {"........", ".####...", "........", "........", "........", "........"}},
    // Drawn right to left, the start pixel is painted and the end pixel is not.
    LineCase{"reversed", {{5, 1}, {1, 1}}, 1,
             {"........", "..####..", "........", "........", "........", "........"}},
    // A vertical line leaves out its bottom end.
    LineCase{"vertical", {{2, 0}, {2, 4}}, 1,
             {"..#.....", "..#.....", "..#.....", "..#.....", "........", "........"}},
    // A 45-degree diagonal paints one pixel per row and stops before its end.
    LineCase{"diagonal", {{0, 0}, {4, 4}}, 1,
             {"#.......", ".#......", "..#.....", "...#....", "........", "........"}},
    // A shallow line steps once, half-way, as Bresenham does.
    LineCase{"shallow", {{0, 0}, {6, 2}}, 1,
             {"##......", "..###...", ".....#..", "........", "........", "........"}},
    // A line of length zero paints nothing.
    LineCase{"point", {{3, 3}, {3, 3}}, 1,
             {"........", "........", "........", "........", "........", "........"}},
    // A polyline paints each corner once, as the start of the next segment.
    LineCase{"corner", {{1, 1}, {4, 1}, {4, 4}}, 1,
             {"........", ".####...", "....#...", "....#...", "........", "........"}},
    // A 2-pixel horizontal line also paints the row below, over the same columns.
    LineCase{"wide horizontal", {{1, 1}, {5, 1}}, 2,
             {"........", ".####...", ".####...", "........", "........", "........"}},
    // A 2-pixel vertical line also paints the column to the right, and its end row stays out.
    LineCase{"wide vertical", {{2, 1}, {2, 4}}, 2,
             {"........", "..##....", "..##....", "..##....", "........", "........"}},
    // A 2-pixel polyline corner is closed: the vertical leg covers the corner square.
    LineCase{"wide corner", {{1, 1}, {4, 1}, {4, 4}}, 2,
             {"........", ".#####..", ".#####..", "....##..", "........", "........"}},
    // A line running off the surface is cut at the edge without harm.
    LineCase{"off the edge", {{-3, 5}, {12, 5}}, 1,
             {"........", "........", "........", "........", "........", "########"}}));

TEST(DcTest, LineToMovesTheCurrentPosition) {
    Canvas canvas(4, 4);
    canvas.dc.MoveTo(0, 0);
    canvas.dc.LineTo(3, 0);
    // MoveTo returns the position the last LineTo ended at.
    EXPECT_EQ(canvas.dc.MoveTo(0, 0), CPoint(3, 0));
}

TEST(DcTest, NullPenDrawsNoLine) {
    Canvas canvas(4, 2);
    CPen none(PS_NULL, 1, kWhite);
    canvas.dc.SelectObject(&none);
    canvas.dc.MoveTo(0, 0);
    canvas.dc.LineTo(4, 0);
    // A null pen leaves the surface as it was.
    EXPECT_EQ(canvas.rows(), (Rows{"....", "...."}));
}

struct RectCase {
    const char* what;
    CRect rect;
    int penWidth;
    Rows expected;
};

class RectangleTest : public ::testing::TestWithParam<RectCase> {};

TEST_P(RectangleTest, OutlinesInsideAndFillsTheRest) {
    const RectCase& c = GetParam();
    Canvas canvas(8, 6, c.penWidth);
    CPen red(PS_SOLID, c.penWidth, kRed);
    CBrush navy(kNavy);
    canvas.dc.SelectObject(&red);
    canvas.dc.SelectObject(&navy);
    canvas.dc.Rectangle(c.rect);
    EXPECT_EQ(canvas.rows(), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Rectangles, RectangleTest, ::testing::Values(
    // The outline lies on the rectangle's outermost pixels; right and bottom are exclusive.
    RectCase{"1 pixel", {1, 1, 7, 5}, 1,
             {"........", ".rrrrrr.", ".rnnnnr.", ".rnnnnr.", ".rrrrrr.", "........"}},
    // A 2-pixel pen takes the two outermost rings, leaving the brush a smaller core.
    RectCase{"2 pixel", {0, 0, 7, 6}, 2,
             {"rrrrrrr.", "rrrrrrr.", "rrnnnrr.", "rrnnnrr.", "rrrrrrr.", "rrrrrrr."}},
    // A rectangle two pixels across is all outline.
    RectCase{"tiny", {2, 2, 4, 4}, 1,
             {"........", "........", "..rr....", "..rr....", "........", "........"}},
    // Edges given the wrong way round are put right first.
    RectCase{"reversed", {7, 5, 1, 1}, 1,
             {"........", ".rrrrrr.", ".rnnnnr.", ".rnnnnr.", ".rrrrrr.", "........"}},
    // An empty rectangle paints nothing.
    RectCase{"empty", {3, 3, 3, 5}, 1,
             {"........", "........", "........", "........", "........", "........"}}));

TEST(DcTest, FrameRectPaintsOnlyTheBorder) {
    Canvas canvas(6, 5);
    CBrush red(kRed);
    canvas.dc.FrameRect(CRect(1, 1, 5, 4), &red);
    // The frame is one pixel on each side of the rectangle, the inside untouched.
    EXPECT_EQ(canvas.rows(), (Rows{"......", ".rrrr.", ".r..r.", ".rrrr.", "......"}));
}

TEST(DcTest, FillSolidRectFillsExactlyAndSetsTheBackground) {
    Canvas canvas(5, 4);
    canvas.dc.FillSolidRect(1, 1, 3, 2, kRed);
    // Width and height count pixels from the corner given.
    EXPECT_EQ(canvas.rows(), (Rows{".....", ".rrr.", ".rrr.", "....."}));
    // The fill colour becomes the background colour, as the framework does.
    EXPECT_EQ(canvas.dc.GetBkColor(), kRed);
    canvas.dc.FillSolidRect(0, 0, -2, 3, kWhite);
    // A negative width fills nothing.
    EXPECT_EQ(canvas.rows()[0], ".....");
}

TEST(DcTest, OriginAndClipKeepDrawingInsideTheWindowArea) {
    Surface window(8, 8);
    CDC dc(window, CPoint(2, 3), CRect(2, 3, 6, 7));
    dc.FillSolidRect(-10, -10, 100, 100, kRed);
    // Only the clip rectangle is painted, whatever the fill's extent.
    EXPECT_EQ(art(window, kKey), (Rows{"........", "........", "........", "..rrrr..", "..rrrr..", "..rrrr..",
                                      "..rrrr..", "........"}));
    dc.SetPixel(0, 0, kWhite);
    // Logical (0,0) is the device pixel at the origin.
    EXPECT_EQ(window.at(2, 3), rgbToPixel(kWhite));
    // The drawable area reads back in logical coordinates.
    EXPECT_EQ(dc.clipBox(), CRect(0, 0, 4, 4));
}

TEST(DcTest, LinesAreClippedToTheClipRectangle) {
    Surface window(6, 3);
    CDC dc(window, CPoint(0, 0), CRect(1, 0, 4, 3));
    CPen pen(PS_SOLID, 2, kWhite);
    dc.SelectObject(&pen);
    dc.MoveTo(0, 1);
    dc.LineTo(6, 1);
    // Both rows of the 2-pixel line stop at the clip's edges.
    EXPECT_EQ(art(window, kKey), (Rows{"......", ".###..", ".###.."}));
}

TEST(DcTest, MemoryContextDrawsOnlyIntoItsBitmap) {
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    mem.FillSolidRect(0, 0, 5, 5, kRed);
    // Without a bitmap there is nothing to draw on.
    EXPECT_EQ(mem.surface(), nullptr);
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&mem, 3, 2));
    CBitmap* old = mem.SelectObject(&bitmap);
    // The previous selection is handed back, never null.
    EXPECT_NE(old, nullptr);
    mem.FillSolidRect(1, 0, 5, 5, kRed);
    // The fill is cut at the bitmap's right and bottom edges.
    EXPECT_EQ(art(*bitmap.surface(), kKey), (Rows{".rr", ".rr"}));
}

TEST(DcTest, SelectObjectReturnsWhatWasSelected) {
    Surface s(2, 2);
    CDC dc(s);
    CPen a(PS_SOLID, 1, kRed), b(PS_SOLID, 1, kWhite);
    CPen* stock = dc.SelectObject(&a);
    // The first selection returns the stock pen, a second the pen selected before it.
    EXPECT_EQ(stock->color(), kBlack);
    EXPECT_EQ(dc.SelectObject(&b), &a);
    EXPECT_EQ(dc.SelectObject(stock), &b);
}

TEST(DcTest, DeletedPenKeepsDrawingWithItsColour) {
    Surface s(3, 1);
    CDC dc(s);
    {
        CPen pen(PS_SOLID, 1, kRed);
        dc.SelectObject(&pen);
    }
    dc.MoveTo(0, 0);
    dc.LineTo(3, 0);
    // The context keeps the pen's colour after the pen object is gone.
    EXPECT_EQ(art(s, kKey), (Rows{"rrr"}));
}

}  // namespace
}  // namespace zarn
