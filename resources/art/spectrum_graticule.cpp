// Bitmap 158: the spectrum graph's dBm graticule, laid at (10, 20) on the screen.
#include <cstdio>

#include "resources/gen/artwork.h"
#include "resources/gen/canvas.h"

namespace zarn::art {
namespace {

constexpr int kLeft = 19, kTop = 4;  // the first line of each direction, in the picture
constexpr int kColumnsApart = 20, kRowsApart = 12;
constexpr int kRight = kLeft + 10 * kColumnsApart, kBottom = kTop + 11 * kRowsApart;

}  // namespace

void drawSpectrumGraticule(CDC& dc) {
    dc.FillSolidRect(0, 0, 221, 141, vga::black);
    for (int k = 0; k <= 10; ++k)
        for (int y = kTop; y <= kBottom; y += 2) dc.SetPixel(kLeft + kColumnsApart * k, y, vga::lime);
    dc.SetTextColor(vga::lime);
    dc.SetBkColor(vga::black);
    for (int k = 0; k <= 11; ++k) {
        const int y = kTop + kRowsApart * k;
        for (int x = kLeft; x <= kRight; x += 2) dc.SetPixel(x, y, vga::lime);
        char text[8];
        std::snprintf(text, sizeof text, "%d", -20 - 10 * k);
        dc.DrawText(text, CRect(0, y - 4, kLeft - 1, y + 5), DT_RIGHT | DT_NOCLIP);
    }
}

}  // namespace zarn::art
