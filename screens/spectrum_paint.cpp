#include "screens/spectrum_paint.h"

#include <algorithm>
#include <cstdio>

#include "board/level.h"
#include "platform/gdi/colours.h"
#include "screens/spectrum_actions.h"
#include "screens/spectrum_layout.h"

namespace zarn {
namespace {

using namespace spectrum;

constexpr unsigned kReadoutFormat = DT_CENTER | DT_VCENTER;

int levelRow(int dbm) { return std::clamp(kGraph.top - ((dbm + 20) * 133) / 110, kGraph.top, kGraph.bottom); }

void drawDiamond(CDC* dc, int x, int y) {
    dc->LineTo(x - 4, y - 4);
    dc->LineTo(x, y - 8);
    dc->LineTo(x + 4, y - 4);
    dc->LineTo(x, y);
}

void drawTraceButtons(CDC* dc, StatusStrip& strip, const SpectrumTrace& trace, int n) {
    const uint8_t flags[3] = {trace.enabled, trace.visible, trace.hold};
    for (int flag = kEnable; flag <= kHold; ++flag) {
        const CRect r = traceButton(flag, n);
        strip.drawBitmapInRect(dc, kTraceFaces[flag][n - 1][flags[flag] ? 0 : 1], r.left, r.top, r.right, r.bottom);
    }
}

void drawReadout(CDC* dc, const CRect& line, const char* text) {
    dc->FillSolidRect(line, kBlack);
    dc->DrawText(text, line, kReadoutFormat);
}

void drawReadouts(CDC* dc, BoardState& board, int markerDbm) {
    const BandPlan& plan = board.reportedBandPlan();
    dc->SetTextColor(kWhite);
    dc->SetBkColor(kBlack);
    char text[96];
    const uint32_t span = uint32_t{board.sweepStep} * board.sweepCount;
    std::snprintf(text, sizeof text, "CENTER: %.2f MHz SPAN: %.2f MHz",
                  plan.offsetToFrequency(board.sweepCentre) * 0.000001, plan.stepToFrequency(span) * 0.000001);
    drawReadout(dc, kCentreLine, text);
    const uint32_t marker = static_cast<uint32_t>(std::max<int>(board.markerOffset, 0));
    std::snprintf(text, sizeof text, "MARKER: %.2f MHz RSSI: %d dBm", plan.offsetToFrequency(marker) * 0.000001,
                  markerDbm);
    drawReadout(dc, kMarkerLine, text);
}

}  // namespace

bool plotTrace(CDC* dc, const BoardState& board, int n, int& markerDbm) {
    const SpectrumTrace& trace = board.traces[n];
    const uint32_t raster = plotRaster(board);
    const uint32_t start = board.sweepStart;
    const bool active = n == board.activeTrace;
    CPen pen(PS_SOLID, 1, kTracePens[n - 1]);
    CPen white(PS_SOLID, 1, kCursorPen);
    CPen* previous = dc->SelectObject(&pen);
    bool marked = false;
    // The link thread may change the point count meanwhile: it is read again for every point.
    for (uint32_t i = 0;; ++i) {
        const uint32_t count = trace.pointCount;
        if (i >= count) break;
        const uint32_t offset = start + raster * i;
        if (offset > kLastTraceOffset) break;
        const int dbm = wholeDbmOfLevel(trace.samples[offset]);
        const int x = kGraph.left + static_cast<int>(i * kGraphColumns / count);
        const int y = levelRow(dbm);
        if (i == 0) dc->MoveTo(x, y);
        dc->LineTo(x, y);
        if (offset == board.sweepPosition && trace.enabled == 1) {
            dc->SelectObject(&white);
            dc->MoveTo(x, kGraph.top);
            dc->LineTo(x, kGraph.bottom);
            dc->SelectObject(&pen);
            dc->MoveTo(x, y);
        }
        if (active && static_cast<int>(offset) == board.markerOffset) {
            dc->SelectObject(&white);
            drawDiamond(dc, x, y);
            dc->SelectObject(&pen);
            markerDbm = dbm;
            marked = true;
        }
    }
    dc->SelectObject(previous);
    return marked;
}

void paintSpectrum(CDC* dc, BoardState& board, StatusStrip& strip) {
    strip.drawBanner(dc);
    strip.drawBitmap(dc, kGraticule, kGraticuleAt.x, kGraticuleAt.y, kGraticuleSize.cx, kGraticuleSize.cy);
    for (const BigButton& b : kBigButtons)
        strip.drawBitmapInRect(dc, b.bitmap, b.rect.left, b.rect.top, b.rect.right, b.rect.bottom);
    int markerDbm = markerLevel(board);
    for (int n = 1; n <= 3; ++n) {
        drawTraceButtons(dc, strip, board.traces[n], n);
        if (board.traces[n].visible == 1 && board.traces[n].pointCount > 0) plotTrace(dc, board, n, markerDbm);
    }
    drawReadouts(dc, board, markerDbm);
    strip.drawBandLine(dc);
    strip.drawClockLine(dc);
}

}  // namespace zarn
