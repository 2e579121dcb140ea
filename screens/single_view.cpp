#include "screens/single_view.h"

#include <algorithm>
#include <cstdio>

#include "board/board_state.h"
#include "board/level.h"
#include "platform/gdi/colours.h"
#include "screens/status_strip.h"

namespace zarn {

IMPLEMENT_DYNCREATE(CSingle, CMeasurementView)

namespace {

constexpr COLORREF kTraceColour[2] = {RGB(255, 255, 255), RGB(255, 255, 0)};
constexpr COLORREF kTextColour[2] = {RGB(255, 255, 255), RGB(192, 192, 0)};
constexpr COLORREF kBarColour[2] = {RGB(255, 255, 255), RGB(192, 192, 0)};
constexpr CRect kTextRect[2] = {{0, 19, 240, 39}, {0, 44, 240, 64}};

void line(CDC* dc, int x0, int y0, int x1, int y1) {
    dc->MoveTo(x0, y0);
    dc->LineTo(x1, y1);
}

}  // namespace

int singleTraceY(int16_t level) {
    const double dbm = dbmOfLevel(level);
    const int y = static_cast<int>(70.0 - (dbm + 20.0) * 1.5);
    return std::clamp(y, CSingle::kTraceTop, CSingle::kTraceBottom);
}

CSingle::CSingle() : CMeasurementView(kTemplate) {}

void CSingle::paint(CDC* dc, const CRect& client) {
    StatusStrip& strip = statusStrip();
    strip.drawBitmapInRect(dc, kSingleBackground, client.left, client.top, client.right, client.bottom);
    strip.drawBanner(dc);

    const BoardState& board = boardState();
    const bool both = board.boardMode == 2;
    const bool drawn[2] = {both || board.levelFresh[0] != 0, both || board.levelFresh[1] != 0};
    for (int band = 0; band < 2; ++band)
        if (drawn[band]) drawBand(dc, band);
    for (int band = 0; band < 2; ++band)
        if (drawn[band]) drawBar(dc, band);
    strip.drawBandLine(dc);
    strip.drawClockLine(dc);
}

// The band's text line and its trace, the newest level appended first.
void CSingle::drawBand(CDC* dc, int band) {
    const BoardState& board = boardState();
    const int16_t level = board.level[band];
    LevelHistory& history = histories_[static_cast<size_t>(band)];
    history.append(static_cast<int16_t>(singleTraceY(level)));

    CPen pen(PS_SOLID, 1, kTraceColour[band]);
    CPen* old = dc->SelectObject(&pen);
    dc->MoveTo(kTraceRight, history.newest());
    size_t k = 1;
    history.forEachNewestFirst([&](int16_t y) {
        if (k >= std::min(history.size(), kHistoryLength)) return;
        dc->LineTo(kTraceRight - static_cast<int>(k), y);
        ++k;
    });
    dc->SelectObject(old);
    while (history.size() > kHistoryLength) history.removeOldest();

    const BandPlan& plan = band == 0 ? board.cellularPlan : board.pcsPlan;
    const uint32_t channel = band == 0 ? plan.tunedChannel() : plan.offsetToPcsChannel(plan.tunedChannel());
    char text[96];
    std::snprintf(text, sizeof text, "[%.02f MHz][Channel %d][%.1f dBm]", plan.tunedFrequency() * 0.000001,
                  static_cast<int>(channel), dbmOfLevel(level));
    dc->SetTextColor(kTextColour[band]);
    dc->SetBkColor(kBlack);
    dc->DrawText(text, kTextRect[band], DT_CENTER | DT_VCENTER);
}

// The level bar from the newest trace y down to the bottom, and the peak line.
void CSingle::drawBar(CDC* dc, int band) {
    boardState().levelFresh[band] = 0;
    const LevelHistory& history = histories_[static_cast<size_t>(band)];
    const int y = history.empty() ? kTraceBottom : history.newest();
    const int left = kBarLeft[band];
    dc->FillSolidRect(left, y, kBarWidth, kTraceBottom - y, kBarColour[band]);
    int& peak = peaks_[static_cast<size_t>(band)];
    peak = std::min(peak, y);
    CPen pen(PS_SOLID, 2, kTraceColour[band]);
    CPen* old = dc->SelectObject(&pen);
    line(dc, kTraceLeft, peak, kTraceRight, peak);
    line(dc, left, peak, left + kBarWidth, peak);
    dc->SelectObject(old);
}

}  // namespace zarn
