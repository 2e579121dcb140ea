#pragma once
// Small drawing helpers for artwork, on top of CDC.

#include <cmath>

#include "platform/gdi/dc.h"

namespace zarn::art {

// The sixteen colours of a 4-bit picture.
namespace vga {
constexpr COLORREF black = RGB(0, 0, 0), maroon = RGB(128, 0, 0), green = RGB(0, 128, 0), olive = RGB(128, 128, 0),
                   navy = RGB(0, 0, 128), purple = RGB(128, 0, 128), teal = RGB(0, 128, 128),
                   grey = RGB(128, 128, 128), silver = RGB(192, 192, 192), red = RGB(255, 0, 0),
                   lime = RGB(0, 255, 0), yellow = RGB(255, 255, 0), blue = RGB(0, 0, 255),
                   fuchsia = RGB(255, 0, 255), aqua = RGB(0, 255, 255), white = RGB(255, 255, 255);
}

// A filled disc of radius r around (cx, cy).
inline void disc(CDC& dc, int cx, int cy, int r, COLORREF c) {
    for (int dy = -r; dy <= r; ++dy) {
        int half = static_cast<int>(std::sqrt((r + 0.5) * (r + 0.5) - dy * dy));
        dc.FillSolidRect(cx - half, cy + dy, 2 * half + 1, 1, c);
    }
}

// A line in colour c, width 1 or 2, both end points drawn.
inline void line(CDC& dc, int x0, int y0, int x1, int y1, COLORREF c, int width = 1) {
    CPen pen(PS_SOLID, width, c);
    CPen* old = dc.SelectObject(&pen);
    dc.MoveTo(x0, y0);
    dc.LineTo(x1, y1);
    dc.SetPixel(x1, y1, c);
    if (width == 2) dc.FillSolidRect(x1, y1, 2, 2, c);
    dc.SelectObject(old);
}

// A raised key: a square with a light top-left and a dark bottom-right edge.
inline void key(CDC& dc, int x, int y, int size) {
    dc.FillSolidRect(x, y, size, size, vga::silver);
    dc.FillSolidRect(x, y, size, 1, vga::white);
    dc.FillSolidRect(x, y, 1, size, vga::white);
    dc.FillSolidRect(x, y + size - 1, size, 1, vga::black);
    dc.FillSolidRect(x + size - 1, y, 1, size, vga::black);
    dc.FillSolidRect(x + 1, y + size - 2, size - 2, 1, vga::grey);
    dc.FillSolidRect(x + size - 2, y + 1, 1, size - 2, vga::grey);
}

}  // namespace zarn::art
