// Bitmaps 159 - 164: the spectrum screen's big buttons (35 x 27): marker
// left and right, marker to centre and to peak, zoom out and in. The screen
// shows them 35 x 26, so each face is drawn at that size and spread over the
// rows the stretch keeps.
#include "resources/art/sweep_art.h"
#include "resources/gen/artwork.h"
#include "resources/gen/as_shown.h"
#include "resources/gen/canvas.h"

namespace zarn::art {
namespace {

constexpr int kW = 35, kH = 26;  // as shown
constexpr COLORREF kOrange = RGB(224, 128, 64);

void diamond(CDC& dc, int cx, int cy, int r, COLORREF c) {
    for (int dy = -r; dy <= r; ++dy) {
        const int half = r - (dy < 0 ? -dy : dy);
        dc.FillSolidRect(cx - half, cy + dy, 2 * half + 1, 1, c);
    }
}

// A black arrow along row cy from x0 to x1, its head at x1.
void arrow(CDC& dc, int x0, int x1, int cy) {
    const int dir = x1 > x0 ? 1 : -1;
    line(dc, x0, cy, x1, cy, vga::black, 2);
    for (int i = 1; i <= 4; ++i) {
        dc.SetPixel(x1 - dir * i, cy - i, vga::black);
        dc.SetPixel(x1 - dir * i, cy + i + 1, vga::black);
    }
}

void markerStep(CDC& dc, bool right) {
    framedWhite(dc, kW, kH, vga::black);
    const int centre = right ? 11 : kW - 12;
    diamond(dc, centre, 13, 7, vga::purple);
    if (right)
        arrow(dc, 21, 31, 13);
    else
        arrow(dc, 13, 3, 13);
}

void magnifier(CDC& dc, bool plus) {
    const int cx = 9, cy = 16;
    disc(dc, cx, cy, 5, vga::red);
    disc(dc, cx, cy, 4, vga::white);
    dc.FillSolidRect(cx - 2, cy, 5, 1, vga::red);
    if (plus) dc.FillSolidRect(cx, cy - 2, 1, 5, vga::red);
    line(dc, cx + 4, cy + 4, cx + 7, cy + 7, vga::black, 2);
}

void zoom(CDC& dc, bool in) {
    framedWhite(dc, kW, kH, kOrange);
    label(dc, "ZOOM", CRect(1, 2, kW - 1, 10), vga::red, vga::white);
    magnifier(dc, in);
    label(dc, in ? "IN" : "OUT", CRect(17, 12, kW - 1, 20), vga::red, vga::white);
}

void marker(CDC& dc, const char* where) {
    framedWhite(dc, kW, kH, vga::black);
    label(dc, where, CRect(1, 1, kW - 1, kH - 1), vga::green, vga::white);
}

}  // namespace

void drawSpectrumButton(CDC& dc, int id) {
    drawAsShown(dc, CSize(kW, kH), [id](CDC& face) {
        switch (id) {
        case 159: markerStep(face, false); break;
        case 160: markerStep(face, true); break;
        case 161: marker(face, "MARKER\nTO\nCENTER"); break;
        case 162: marker(face, "MARKER\nTO\nPEAK"); break;
        case 163: zoom(face, false); break;
        case 164: zoom(face, true); break;
        default: break;
        }
    });
}

}  // namespace zarn::art
