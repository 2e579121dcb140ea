// Bitmaps 135..149: the title band, a dark strip with two waves scrolling
// through it under a travelling highlight. Frame k of 15 is the animation
// at k/15 of its cycle, so the last frame leads back into the first.
// Colours come from a few small ramps, as an 8-bit picture needs.
#include <cmath>

#include "resources/art/scenery.h"
#include "resources/gen/artwork.h"

namespace zarn::art {
namespace {

constexpr int kWidth = 240, kHeight = 15, kFrames = 15, kLevels = 8;
constexpr double kTwoPi = 6.283185307179586;

// Highlight strength 0..kLevels-1 at column x: a bump travelling one band width per cycle.
int highlight(int x, int frame) {
    double centre = kWidth * frame / double(kFrames);
    double d = std::fabs(x - centre);
    d = std::min(d, kWidth - d);
    double s = std::exp(-std::pow(d / 28.0, 2.0));
    return static_cast<int>(std::lround(s * (kLevels - 1)));
}

double waveY(double x, int frame, double period, int turns, double amplitude) {
    return 7 + amplitude * std::sin(kTwoPi * (x / period - turns * frame / double(kFrames)));
}

}  // namespace

void drawTitleBand(CDC& dc, int frame) {
    for (int x = 0; x < kWidth; ++x) {
        double lift = highlight(x, frame) / double(kLevels - 1);
        for (int y = 0; y < kHeight; ++y) {
            COLORREF band = blend(RGB(0, 10, 48), RGB(0, 0, 24), y / double(kHeight - 1));
            dc.SetPixel(x, y, blend(band, RGB(40, 70, 150), lift * 0.6));
        }
        // The slow wave scrolls right once per cycle, the quick one left twice.
        int slow = static_cast<int>(std::lround(waveY(x, frame, 80, 1, 4.5)));
        int quick = static_cast<int>(std::lround(waveY(x, frame, 40, -2, 2.5)));
        dc.SetPixel(x, quick, blend(RGB(0, 90, 110), RGB(160, 255, 255), lift));
        dc.FillSolidRect(x, slow, 1, 2, blend(RGB(0, 170, 210), RGB(255, 255, 255), lift));
    }
    // Thin rules above and below close the band.
    dc.FillSolidRect(0, 0, kWidth, 1, RGB(90, 110, 170));
    dc.FillSolidRect(0, kHeight - 1, kWidth, 1, RGB(0, 0, 0));
}

}  // namespace zarn::art
