// Bitmaps 165 - 182: the spectrum screen's trace buttons (35 x 18), each in
// two faces: coloured lettering on white while its flag is set, the lettering
// on a filled ground while it is clear.
#include <cstdio>

#include "resources/art/sweep_art.h"
#include "resources/gen/artwork.h"
#include "resources/gen/canvas.h"

namespace zarn::art {
namespace {

struct TraceColours {
    COLORREF setInk, clearInk, clearGround;
};
constexpr TraceColours kColours[3] = {
    {vga::red, vga::white, vga::red},
    {vga::blue, vga::white, vga::blue},
    {vga::olive, vga::black, vga::yellow},
};
constexpr const char* kFlagNames[3] = {"ENABLE", "VISIBLE", "HOLD"};

}  // namespace

void drawTraceButton(CDC& dc, int flag, int trace, bool set) {
    constexpr int kW = 35, kH = 18;
    const TraceColours& c = kColours[trace - 1];
    const COLORREF ground = set ? vga::white : c.clearGround;
    dc.FillSolidRect(0, 0, kW, kH, ground);
    CBrush frame(vga::black);
    dc.FrameRect(CRect(0, 0, kW, kH), &frame);
    char text[32];
    std::snprintf(text, sizeof text, "%s\nTRACE %d", kFlagNames[flag], trace);
    label(dc, text, CRect(1, 1, kW - 1, kH - 1), set ? c.setInk : c.clearInk, ground);
}

}  // namespace zarn::art
