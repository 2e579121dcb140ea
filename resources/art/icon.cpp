// Icon 128: the application's icon, a receiver's screen with a spectrum trace and an antenna.
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

}  // namespace zarn::art
