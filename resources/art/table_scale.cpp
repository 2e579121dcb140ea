// Bitmap 183: the channel-table screen's scale. Along the top a level scale
// from -20 dBm at the left to -120 at x 160 in the colours of the level bands,
// the headings FREQ/CH and RSSI to its right, and a dashed rule down x 160.
#include <cstdio>

#include "resources/gen/artwork.h"
#include "resources/gen/canvas.h"

namespace zarn::art {
namespace {

// The bar colour of a level's tens of dB, as the table screen colours its rows.
COLORREF bandColour(int tens) {
    if (tens <= 3) return vga::white;
    if (tens <= 5) return vga::aqua;
    if (tens <= 8) return vga::lime;
    if (tens <= 10) return vga::yellow;
    return vga::red;
}

// x of a level on the scale: 10 at -20 dBm, 160 at -120 dBm.
int scaleX(int dbm) { return 160 - ((dbm + 120) * 150) / 100; }

void text(CDC& dc, const char* s, const CRect& r, COLORREF c, unsigned align) {
    dc.SetTextColor(c);
    dc.SetBkColor(vga::black);
    dc.DrawText(s, r, align | DT_SINGLELINE | DT_VCENTER);
}

}  // namespace

void drawTableScale(CDC& dc) {
    CFont font;
    const bool haveFont = font.CreatePointFont(80, "System", &dc);
    CFont* oldFont = haveFont ? dc.SelectObject(&font) : nullptr;

    // The coloured strip, one 10 dB band after the other, with a tick every band.
    for (int dbm = -20; dbm > -120; dbm -= 10) {
        const int right = scaleX(dbm), left = scaleX(dbm - 10);
        dc.FillSolidRect(left, 8, right - left, 2, bandColour(-dbm / 10));
        dc.FillSolidRect(right - 1, 6, 1, 4, bandColour(-dbm / 10));
    }
    text(dc, "-20", CRect(0, 0, 24, 7), vga::white, DT_LEFT);
    for (int dbm : {-60, -90}) {
        char s[8];
        std::snprintf(s, sizeof s, "%d", dbm);
        const int x = scaleX(dbm);
        text(dc, s, CRect(x - 12, 0, x + 12, 7), bandColour(-dbm / 10), DT_CENTER);
    }
    text(dc, "-120", CRect(132, 0, 159, 7), vga::red, DT_RIGHT);
    text(dc, "FREQ/CH", CRect(160, 0, 200, 10), vga::silver, DT_CENTER);
    text(dc, "RSSI", CRect(200, 0, 240, 10), vga::silver, DT_CENTER);

    for (int y = 0; y < 255; y += 4) dc.FillSolidRect(160, y, 1, 2, vga::grey);

    if (oldFont) dc.SelectObject(oldFont);
}

}  // namespace zarn::art
