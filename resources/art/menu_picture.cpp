// Bitmap 150: the main menu's picture, rings of radio waves from a mast
// over a teal-to-amber sky, a spectrum along the top and the word mark
// below the menu's buttons.
#include <cmath>

#include "resources/art/scenery.h"
#include "resources/gen/artwork.h"

namespace zarn::art {
namespace {

constexpr int kWidth = 240, kHeight = 320;
constexpr int kMastX = 204, kMastBase = 250;

void rings(CDC& dc) {
    for (int r = 16; r < 320; r += 13)
        arc(dc, kMastX, kMastBase - 80, r, 0, 360, 0.9,
            blend(RGB(120, 220, 255), RGB(255, 240, 200), r / 320.0));
}

// The band as the spectrum screen shows it: a grid and a trace with carriers.
void spectrumStrip(CDC& dc) {
    dc.FillSolidRect(0, 0, kWidth, 28, RGB(0, 20, 40));
    for (int x = 0; x < kWidth; x += 20) dc.FillSolidRect(x, 0, 1, 28, RGB(0, 70, 90));
    for (int y = 6; y < 28; y += 7) dc.FillSolidRect(0, y, kWidth, 1, RGB(0, 70, 90));
    double prev = 0;
    for (int x = 0; x < kWidth; ++x) {
        double level = 2 * std::sin(x * 2.3) + 1.5 * std::sin(x * 0.71);
        for (int carrier : {22, 64, 118, 170, 219}) level += 15 * std::exp(-std::pow((x - carrier) / 3.0, 2.0));
        double y = 25 - level;
        if (x > 0) stroke(dc, x - 1, prev, x, y, 0.6, RGB(255, 255, 0));
        prev = y;
    }
    dc.FillSolidRect(0, 28, kWidth, 2, RGB(255, 192, 0));
}

void land(CDC& dc) {
    for (int x = 0; x < kWidth; ++x) {
        int top = 236 - static_cast<int>(8 * std::sin(x / 30.0) + 4 * std::sin(x / 11.0 + 0.5));
        verticalGradient(dc, x, top, 1, kHeight - top, RGB(70, 40, 20), RGB(20, 10, 6));
    }
}

}  // namespace

void drawMenuPicture(CDC& dc) {
    verticalGradient(dc, 0, 0, kWidth, 160, RGB(0, 40, 90), RGB(0, 120, 150));
    verticalGradient(dc, 0, 160, kWidth, kHeight - 160, RGB(0, 120, 150), RGB(255, 180, 40));
    glow(dc, kMastX, kMastBase - 80, 110, RGB(255, 250, 210), 0.6);
    rings(dc);
    spectrumStrip(dc);
    land(dc);
    radioMast(dc, kMastX, kMastBase, 72, 3, RGB(30, 20, 10), RGB(255, 255, 255));
    wordMark(dc, "ZARN", 16, 196, 40, RGB(255, 255, 255), RGB(120, 200, 255), RGB(0, 20, 70));
}

}  // namespace zarn::art
