// Icon 128, 32 x 32 and 16 x 16: a receiver's screen with a spectrum trace and an antenna.
#include "resources/gen/artwork.h"
#include "resources/gen/canvas.h"

namespace zarn::art {

void drawAppIcon(CDC& dc) {
    dc.FillSolidRect(0, 0, 32, 32, kTransparent);
    line(dc, 24, 1, 24, 8, vga::black);
    line(dc, 21, 2, 24, 5, vga::black);
    line(dc, 27, 2, 24, 5, vga::black);
    dc.FillSolidRect(2, 8, 28, 22, vga::maroon);
    dc.FillSolidRect(4, 10, 24, 18, vga::navy);
    const int trace[][2] = {{5, 25}, {9, 24}, {11, 17}, {13, 24}, {17, 23}, {19, 13}, {21, 23}, {26, 25}};
    for (size_t i = 0; i + 1 < std::size(trace); ++i)
        line(dc, trace[i][0], trace[i][1], trace[i + 1][0], trace[i + 1][1], vga::yellow);
    for (int x = 6; x < 28; x += 4) dc.SetPixel(x, 14, vga::lime);
}

// The 16 x 16 icon: the same screen and antenna with fewer details.
void drawAppIconSmall(CDC& dc) {
    dc.FillSolidRect(0, 0, 16, 16, kTransparent);
    line(dc, 12, 0, 12, 4, vga::black);
    line(dc, 10, 1, 12, 3, vga::black);
    line(dc, 14, 1, 12, 3, vga::black);
    dc.FillSolidRect(1, 4, 14, 11, vga::maroon);
    dc.FillSolidRect(2, 5, 12, 9, vga::navy);
    const int trace[][2] = {{3, 12}, {5, 11}, {6, 8}, {7, 11}, {9, 11}, {10, 6}, {11, 11}, {13, 12}};
    for (size_t i = 0; i + 1 < std::size(trace); ++i)
        line(dc, trace[i][0], trace[i][1], trace[i + 1][0], trace[i + 1][1], vga::yellow);
}

}  // namespace zarn::art
