// Bitmap 128: the command bar's seven 16 x 16 button images, left to right.
#include "resources/gen/artwork.h"
#include "resources/gen/canvas.h"

namespace zarn::art {
namespace {

void mainMenuTree(CDC& dc, int x) {
    line(dc, x + 8, 3, x + 4, 8, vga::black);
    line(dc, x + 8, 3, x + 12, 8, vga::black);
    line(dc, x + 4, 8, x + 2, 13, vga::black);
    line(dc, x + 4, 8, x + 7, 13, vga::black);
    line(dc, x + 12, 8, x + 13, 13, vga::black);
    disc(dc, x + 8, 3, 2, vga::red);
    disc(dc, x + 4, 8, 2, vga::blue);
    disc(dc, x + 12, 8, 2, vga::green);
    disc(dc, x + 2, 13, 1, vga::fuchsia);
    disc(dc, x + 7, 13, 1, vga::teal);
    disc(dc, x + 13, 13, 1, vga::olive);
}

// A green arrow; up points to the top, otherwise to the bottom.
void arrow(CDC& dc, int x, bool up) {
    for (int i = 0; i < 7; ++i) {
        int y = up ? 2 + i : 13 - i;
        dc.FillSolidRect(x + 8 - i, y, 2 * i, 1, i == 6 ? vga::green : vga::lime);
        dc.SetPixel(x + 8 - i, y, vga::green);
        dc.SetPixel(x + 7 + i, y, vga::green);
    }
    int top = up ? 9 : 2;
    dc.FillSolidRect(x + 5, top, 6, 5, vga::green);
    dc.FillSolidRect(x + 6, top, 4, 4 + (up ? 0 : 1), vga::lime);
}

void camera(CDC& dc, int x) {
    dc.FillSolidRect(x + 1, 6, 14, 8, vga::black);
    dc.FillSolidRect(x + 4, 4, 5, 2, vga::black);
    disc(dc, x + 8, 10, 3, vga::grey);
    disc(dc, x + 8, 10, 1, vga::white);
    line(dc, x + 13, 0, x + 11, 3, vga::yellow);
    line(dc, x + 11, 3, x + 14, 3, vga::yellow);
    line(dc, x + 14, 3, x + 12, 5, vga::yellow);
}

void recordKey(CDC& dc, int x) {
    key(dc, x + 1, 1, 14);
    disc(dc, x + 7, 7, 3, vga::red);
}

void stopKey(CDC& dc, int x) {
    key(dc, x + 1, 1, 14);
    dc.FillSolidRect(x + 4, 4, 7, 7, vga::blue);
}

void questionMark(CDC& dc, int x) {
    const int pts[][2] = {{4, 5}, {5, 2}, {8, 1}, {11, 2}, {12, 5}, {10, 7}, {8, 8}, {8, 10}};
    for (int shadow = 1; shadow >= 0; --shadow)
        for (size_t i = 0; i + 1 < std::size(pts); ++i)
            line(dc, x + pts[i][0] + shadow, pts[i][1] + shadow, x + pts[i + 1][0] + shadow, pts[i + 1][1] + shadow,
                 shadow ? vga::black : vga::yellow, 2);
    dc.FillSolidRect(x + 9, 14, 2, 2, vga::black);
    dc.FillSolidRect(x + 8, 13, 2, 2, vga::yellow);
}

}  // namespace

void drawToolbar(CDC& dc) {
    dc.FillSolidRect(0, 0, 112, 16, vga::silver);
    mainMenuTree(dc, 0);
    arrow(dc, 16, true);
    arrow(dc, 32, false);
    camera(dc, 48);
    recordKey(dc, 64);
    stopKey(dc, 80);
    questionMark(dc, 96);
}

}  // namespace zarn::art
