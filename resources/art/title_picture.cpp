// Bitmap 134: the start screen's title picture, a dusk horizon with a radio
// mast sending waves, a signal trace across the sky and the word mark. The
// band-raster screen shows its 320 rows in 270.
#include <cmath>

#include "resources/art/scenery.h"
#include "resources/gen/artwork.h"
#include "resources/gen/as_shown.h"

namespace zarn::art {
namespace {

constexpr int kWidth = 240, kHeight = 320, kHorizon = 205;
constexpr CSize kShown{240, 270};

void stars(CDC& dc, int bottom) {
    uint32_t x = 0x2F6B1D5u;
    for (int i = 0; i < 140; ++i) {
        x = x * 1664525u + 1013904223u;
        int px = static_cast<int>(x >> 8) % kWidth, py = static_cast<int>(x >> 20) % bottom;
        int bright = 120 + static_cast<int>(x & 0x7F);
        dc.SetPixel(px, py, blend(dc.GetPixel(px, py), RGB(255, 255, 255), bright / 255.0));
    }
}

void hills(CDC& dc) {
    for (int x = 0; x < kWidth; ++x) {
        double far = 18 + 9 * std::sin(x / 23.0) + 5 * std::sin(x / 9.0 + 1.3);
        double near = 8 + 10 * std::sin(x / 41.0 + 2.0) + 3 * std::sin(x / 7.0);
        int farTop = kHorizon - static_cast<int>(far), nearTop = kHorizon - static_cast<int>(std::fabs(near));
        dc.FillSolidRect(x, farTop, 1, kHorizon - farTop, RGB(70, 30, 80));
        dc.FillSolidRect(x, nearTop, 1, kHorizon - nearTop, RGB(36, 14, 52));
    }
}

// A lit grid running to the horizon: the ground of the picture.
void ground(CDC& dc) {
    verticalGradient(dc, 0, kHorizon, kWidth, kHeight - kHorizon, RGB(40, 10, 60), RGB(6, 4, 24));
    for (int i = 1; i < 16; ++i) {
        int y = kHorizon + static_cast<int>(std::pow(i / 15.0, 2.0) * (kHeight - kHorizon));
        dc.FillSolidRect(0, y, kWidth, 1, blend(RGB(255, 90, 170), RGB(60, 200, 255), i / 15.0));
    }
    for (int i = -12; i <= 12; ++i)
        stroke(dc, kWidth / 2.0 + i * 6, kHorizon, kWidth / 2.0 + i * 60, kHeight, 0.5,
               blend(RGB(255, 90, 170), RGB(60, 200, 255), std::abs(i) / 12.0));
}

// A received signal: noise floor with a few carriers, across the sky.
void signalTrace(CDC& dc) {
    double prev = 0;
    for (int x = 0; x < kWidth; ++x) {
        double level = 3 * std::sin(x * 1.7) + 2 * std::sin(x * 0.63);
        for (int carrier : {38, 97, 151, 204}) level += 34 * std::exp(-std::pow((x - carrier) / 4.0, 2.0));
        double y = 176 - level;
        if (x > 0) stroke(dc, x - 1, prev, x, y, 0.7, RGB(120, 255, 120));
        prev = y;
    }
}

}  // namespace

void drawTitlePicture(CDC& dc) {
    verticalGradient(dc, 0, 0, kWidth, 120, RGB(8, 12, 54), RGB(84, 36, 112));
    verticalGradient(dc, 0, 120, kWidth, kHorizon - 120, RGB(84, 36, 112), RGB(255, 150, 60));
    stars(dc, 120);
    glow(dc, 70, kHorizon, 80, RGB(255, 230, 140), 0.85);
    signalTrace(dc);
    hills(dc);
    ground(dc);
    radioMast(dc, 196, kHorizon + 6, 118, 4, RGB(20, 16, 36), RGB(170, 230, 255));
    const int height = 56;
    wordMark(dc, "ZARN", (kWidth - wordMarkWidth("ZARN", height)) / 2, 20, height, RGB(255, 240, 150),
             RGB(255, 110, 20), RGB(20, 10, 50));
    // Text this small loses whole strokes with the rows the stretch drops: it is set as shown.
    drawAsShown(dc, kShown, [](CDC& shown) {
        caption(shown, "DUAL-BAND RECEIVER", 94, kWidth, RGB(230, 240, 255));
        caption(shown, "800 MHz  /  1900 MHz", 107, kWidth, RGB(170, 220, 255));
    });
}

}  // namespace zarn::art
