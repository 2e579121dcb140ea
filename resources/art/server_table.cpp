// Bitmap 157: the best-servers table (240 x 150): a red border, a header row
// and ten numbered rows of navy cells on a yellow grid. The screen writes the
// values into the cells at rows 17 + 13 i of the picture.
#include <cstdio>

#include "resources/art/sweep_art.h"
#include "resources/gen/artwork.h"
#include "resources/gen/canvas.h"

namespace zarn::art {
namespace {

constexpr int kW = 240, kH = 150;
constexpr int kFirstGrid = 16, kRowHeight = 13, kRows = 10;
constexpr int kColumns[] = {2, 40, 110, 180, 237};  // grid lines between the cells
constexpr const char* kHeaders[] = {"#", "FREQUENCY", "CHANNEL", "RSSI"};

}  // namespace

void drawServerTable(CDC& dc) {
    dc.FillSolidRect(0, 0, kW, kH, vga::red);
    const int bottomGrid = kFirstGrid + kRows * kRowHeight;
    dc.FillSolidRect(2, 2, kW - 4, bottomGrid - 1, vga::navy);
    for (int k = 0; k <= kRows; ++k) dc.FillSolidRect(2, kFirstGrid + k * kRowHeight, kW - 4, 1, vga::yellow);
    for (int x : kColumns) dc.FillSolidRect(x, 2, 1, bottomGrid - 1, vga::yellow);
    dc.FillSolidRect(2, 2, kW - 4, 1, vga::yellow);
    for (size_t c = 0; c < std::size(kHeaders); ++c)
        label(dc, kHeaders[c], CRect(kColumns[c] + 1, 5, kColumns[c + 1], kFirstGrid), vga::yellow, vga::navy);
    for (int i = 0; i < kRows; ++i) {
        char number[12];
        std::snprintf(number, sizeof number, "%d", i + 1);
        const int top = kFirstGrid + 1 + i * kRowHeight;
        label(dc, number, CRect(kColumns[0] + 1, top + 1, kColumns[1], top + kRowHeight - 1), vga::yellow, vga::navy);
    }
}

}  // namespace zarn::art
