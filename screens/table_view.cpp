#include "screens/table_view.h"

#include <cstdio>
#include <cstdlib>

#include "board/level.h"
#include "platform/gdi/colours.h"
#include "screens/status_strip.h"

namespace zarn {

IMPLEMENT_DYNCREATE(CTable, CMeasurementView)

namespace {

constexpr int kScaleEnd = 160;  // the bar's left edge at -120 dBm
constexpr CRect kBackgroundRect{0, 0, 240, 255};

}  // namespace

uint32_t tableSlotFrequency(const BoardState& board, uint8_t band, uint16_t channel) {
    if (band == 0) return board.cellularPlan.channelToFrequency(channel);
    if (band == 1) return board.pcsPlan.pcsChannelToFrequency(channel);
    return 0;  // no plan: never index one with it
}

CTable::CTable()
    : CMeasurementView(kTemplate),
      colours_{kWhite, kWhite, kWhite, kWhite, kCyan, kCyan, kGreen, kGreen, kGreen, kYellow, kYellow, kRed, kRed, kRed} {}

TableRow CTable::row(const BoardState& board, const ChannelSlot& slot) const {
    TableRow r{};
    const int16_t level = slot.level;
    r.dbm = dbmOfLevel(level);
    if (r.dbm < -120.0)
        r.dbm = -120.0;
    else if (r.dbm > -20.0)
        r.dbm = -20.0;
    const int n = static_cast<int>(r.dbm);
    r.barLeft = kScaleEnd - ((n + 120) * 150) / 100;
    r.barWidth = kScaleEnd - 1 - r.barLeft;
    r.colour = colour(std::abs(n) / 10);
    r.megahertz = tableSlotFrequency(board, slot.band, slot.channel) * 0.000001;
    return r;
}

void CTable::paint(CDC* dc, const CRect&) {
    StatusStrip& strip = statusStrip();
    strip.drawBitmapInRect(dc, kTableBackground, kBackgroundRect.left, kBackgroundRect.top, kBackgroundRect.right,
                           kBackgroundRect.bottom);

    const BoardState& board = boardState();
    const int rows = std::min<int>(board.channelTableCount, kChannelSlots);
    for (int i = 0; i < rows; ++i) {
        const ChannelSlot slot = board.channelTable[i];
        const TableRow r = row(board, slot);
        const int top = kFirstRowTop + kRowPitch * i;
        const int bottom = top + kBarHeight;
        char text[32];
        dc->SetBkColor(kBlack);
        dc->SetTextColor(r.colour);
        std::snprintf(text, sizeof text, "%.2f", r.megahertz);
        dc->DrawText(text, CRect{160, top, 200, bottom}, DT_CENTER | DT_VCENTER);
        std::snprintf(text, sizeof text, "%.2f", r.dbm);
        dc->DrawText(text, CRect{200, top, 240, bottom}, DT_CENTER | DT_VCENTER);
        dc->FillSolidRect(r.barLeft, top, r.barWidth, kBarHeight, r.colour);
    }
    strip.drawClockLine(dc);
}

}  // namespace zarn
