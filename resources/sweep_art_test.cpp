#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "platform/gdi/colours.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/golden.h"
#include "platform/gdi/resource.h"

namespace zarn {
namespace {

Surface decoded(int id) {
    Surface s;
    const BitmapResource* r = findBitmap(id);
    if (r) decodeBitmap(*r, s);
    return s;
}

COLORREF at(const Surface& s, int x, int y) { return pixelToRgb(s.at(x, y)); }

// The picture as the spectrum screen shows it, stretched into w x h.
Surface shown(const Surface& picture, int w, int h) {
    Surface out(w, h);
    Surface source = picture;
    CDC from(source), to(out);
    to.StretchBlt(0, 0, w, h, &from, 0, 0, picture.width, picture.height, SRCCOPY);
    return out;
}

// Its rows top to bottom, each run of equal rows counted once.
std::vector<std::vector<uint32_t>> distinctRows(const Surface& s) {
    std::vector<std::vector<uint32_t>> rows;
    for (int y = 0; y < s.height; ++y) {
        std::vector<uint32_t> row(s.pixels.begin() + y * s.width, s.pixels.begin() + (y + 1) * s.width);
        if (rows.empty() || rows.back() != row) rows.push_back(std::move(row));
    }
    return rows;
}

// How many pixels of each colour a picture holds.
std::map<COLORREF, int> colours(const Surface& s) {
    std::map<COLORREF, int> n;
    for (uint32_t p : s.pixels) ++n[pixelToRgb(p)];
    return n;
}

struct Face {
    int id;
    COLORREF ink, ground;
};

TEST(SweepArtTest, TraceButtonsShowTheirFlagInTheirFace) {
    const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255), olive = RGB(128, 128, 0), yellow = RGB(255, 255, 0);
    const Face faces[] = {
        {167, red, kWhite},  {166, kWhite, red},  {169, blue, kWhite},  {168, kWhite, blue},
        {165, olive, kWhite}, {170, kBlack, yellow}, {179, red, kWhite},  {178, kWhite, red},
        {181, blue, kWhite}, {180, kWhite, blue}, {177, olive, kWhite}, {182, kBlack, yellow},
        {173, red, kWhite},  {172, kWhite, red},  {175, blue, kWhite},  {174, kWhite, blue},
        {171, olive, kWhite}, {176, kBlack, yellow},
    };
    for (const Face& f : faces) {
        const Surface s = decoded(f.id);
        ASSERT_EQ(s.width, 35) << f.id;
        ASSERT_EQ(s.height, 18) << f.id;
        EXPECT_EQ(at(s, 0, 0), kBlack) << f.id;    // the frame
        EXPECT_EQ(at(s, 34, 17), kBlack) << f.id;
        auto n = colours(s);
        EXPECT_GT(n[f.ground], n[f.ink]) << f.id;  // lettering on its ground
        EXPECT_GT(n[f.ink], 40) << f.id;           // two lines of it
    }
}

TEST(SweepArtTest, BigButtonsAreFramedWithColouredLettering) {
    const Face faces[] = {
        {164, RGB(255, 0, 0), RGB(224, 128, 64)}, {163, RGB(255, 0, 0), RGB(224, 128, 64)},
        {162, RGB(0, 128, 0), kBlack},            {161, RGB(0, 128, 0), kBlack},
        {159, RGB(128, 0, 128), kBlack},          {160, RGB(128, 0, 128), kBlack},
    };
    for (const Face& f : faces) {
        const Surface s = decoded(f.id);
        ASSERT_EQ(s.width, 35) << f.id;
        ASSERT_EQ(s.height, 27) << f.id;
        EXPECT_EQ(at(s, 0, 0), f.ground) << f.id;  // here: the frame colour
        EXPECT_EQ(at(s, 17, 26), f.ground) << f.id;
        EXPECT_GT(colours(s)[f.ink], 20) << f.id;
    }
    // As shown, 159 points left with the diamond on the right; 160 is its mirror image.
    const Surface left = shown(decoded(159), 35, 26), right = shown(decoded(160), 35, 26);
    EXPECT_EQ(at(left, 35 - 12, 13), RGB(128, 0, 128));
    EXPECT_EQ(at(right, 11, 13), RGB(128, 0, 128));
    for (int y : {13, 14}) {  // the shaft keeps both its rows
        EXPECT_EQ(at(left, 5, y), kBlack) << y;
        EXPECT_EQ(at(right, 29, y), kBlack) << y;
    }
}

TEST(SweepArtTest, TheScreenShowsEveryRowOfEveryButton) {
    // The screen's rectangles are a row shorter than the pictures: the row the
    // stretch drops must repeat its neighbour, or lettering loses a stroke.
    for (int id = 159; id <= 182; ++id) {
        const Surface picture = decoded(id);
        ASSERT_EQ(picture.width, 35) << id;
        const Surface onScreen = shown(picture, 35, picture.height - 1);
        EXPECT_EQ(distinctRows(onScreen), distinctRows(picture)) << id;
    }
}

TEST(SweepArtTest, GraticuleLinesFallOnTheGraphGrid) {
    const Surface s = decoded(158);
    ASSERT_EQ(s.width, 221);
    ASSERT_EQ(s.height, 141);
    const COLORREF lime = RGB(0, 255, 0);
    // Laid at (10, 20): verticals at screen x 29 + 20k, horizontals at screen y 24 + 12k.
    for (int k = 0; k <= 10; ++k) EXPECT_EQ(at(s, 29 + 20 * k - 10, 80 - 20), lime) << k;
    for (int k = 0; k <= 11; ++k) EXPECT_EQ(at(s, 39 - 10, 24 + 12 * k - 20), lime) << k;
    EXPECT_EQ(at(s, 40 - 10, 30 - 20), kBlack);  // between the lines
    // Each line has its label at its left end.
    for (int k = 0; k <= 11; ++k) {
        int ink = 0;
        for (int y = 24 + 12 * k - 20 - 4; y < 24 + 12 * k - 20 + 4; ++y)
            for (int x = 0; x < 18; ++x) ink += at(s, x, y) == lime;
        EXPECT_GT(ink, 6) << k;
    }
}

TEST(SweepArtTest, ServerTableHasNavyCellsOnAYellowGridInARedBorder) {
    const Surface s = decoded(157);
    ASSERT_EQ(s.width, 240);
    ASSERT_EQ(s.height, 150);
    EXPECT_EQ(at(s, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(at(s, 239, 149), RGB(255, 0, 0));
    for (int i = 0; i < 10; ++i) {
        const int top = 17 + 13 * i;  // where the screen writes row i
        EXPECT_EQ(at(s, 75, top + 3), RGB(0, 0, 128)) << i;
        EXPECT_EQ(at(s, 75, top - 1), RGB(255, 255, 0)) << i;
        EXPECT_EQ(at(s, 110, top + 3), RGB(255, 255, 0)) << i;
    }
}

TEST(SweepArtTest, MatchesGoldenImage) {
    Surface sheet(240, 230, 0x808080);
    CDC dc(sheet);
    const auto put = [&](int id, int x, int y) {
        CBitmap b;
        ASSERT_TRUE(b.LoadBitmap(static_cast<unsigned>(id))) << id;
        CDC mem;
        mem.CreateCompatibleDC(&dc);
        mem.SelectObject(&b);
        BITMAP info;
        b.GetBitmap(&info);
        dc.BitBlt(x, y, info.bmWidth, info.bmHeight, &mem, 0, 0, SRCCOPY);
    };
    put(158, 0, 0);
    for (int i = 0; i < 6; ++i) put(159 + i, 2 + 39 * i, 144);
    for (int i = 0; i < 18; ++i) put(165 + i, 2 + 40 * (i % 6), 174 + 19 * (i / 6));
    auto r = compareWithGolden(sheet, "sweep_art");
    EXPECT_TRUE(r.ok) << r.message;
    auto t = compareWithGolden(decoded(157), "server_table_157");
    EXPECT_TRUE(t.ok) << t.message;
}

}  // namespace
}  // namespace zarn
