// Bitmap 154: the single-channel screen's chart. A frame from (32,70) to
// (190,219) with a dashed rule every 10 dB (15 pixels) labelled -20 at the
// top to -120 at the bottom, the legend under it, and the two bar frames.
#include <cstdio>

#include "resources/gen/artwork.h"
#include "resources/gen/canvas.h"

namespace zarn::art {
namespace {

constexpr COLORREF kFrame = RGB(128, 128, 128);
constexpr COLORREF kRule = RGB(0, 96, 0);
constexpr COLORREF kLabel = RGB(160, 160, 160);
constexpr int kLeft = 32, kTop = 70, kRight = 190, kBottom = 219;

void frame(CDC& dc, int left, int top, int right, int bottom, COLORREF c) {
    CBrush brush(c);
    dc.FrameRect(CRect(left, top, right + 1, bottom + 1), &brush);
}

void label(CDC& dc, const char* text, const CRect& r, unsigned format) {
    dc.SetTextColor(kLabel);
    dc.SetBkColor(RGB(0, 0, 0));
    dc.DrawText(text, r, format | DT_SINGLELINE | DT_VCENTER);
}

}  // namespace

void drawSingleChart(CDC& dc) {
    CFont font;
    const bool haveFont = font.CreatePointFont(80, "System", &dc);
    CFont* oldFont = haveFont ? dc.SelectObject(&font) : nullptr;

    for (int k = 0; k <= 10; ++k) {
        const int y = k == 10 ? kBottom : kTop + 15 * k;
        for (int x = kLeft + 1; x < kRight; x += 4) dc.FillSolidRect(x, y, 2, 1, kRule);
        char text[8];
        std::snprintf(text, sizeof text, "%d", -20 - 10 * k);
        label(dc, text, CRect(0, y - 6, kLeft - 3, y + 6), DT_RIGHT);
    }
    frame(dc, kLeft, kTop, kRight, kBottom, kFrame);
    frame(dc, 200, kTop, 215, kBottom, kFrame);
    frame(dc, 215, kTop, 230, kBottom, kFrame);
    label(dc, "dBm", CRect(0, kTop - 14, kLeft, kTop - 6), DT_CENTER);

    // Legend: the trace is a thin line, the peak a thick one.
    constexpr int kLegendY = 229;
    label(dc, "ACTUAL", CRect(40, kLegendY - 6, 84, kLegendY + 6), DT_LEFT);
    line(dc, 86, kLegendY, 110, kLegendY, vga::white);
    label(dc, "PEAK", CRect(124, kLegendY - 6, 154, kLegendY + 6), DT_LEFT);
    line(dc, 156, kLegendY, 180, kLegendY, vga::white, 2);

    if (oldFont) dc.SelectObject(oldFont);
}

}  // namespace zarn::art
