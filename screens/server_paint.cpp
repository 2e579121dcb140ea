#include "screens/server_paint.h"

#include <cstdio>

#include "platform/gdi/colours.h"
#include "screens/server_view.h"

namespace zarn {
namespace {

constexpr unsigned kFormat = DT_CENTER | DT_VCENTER;
constexpr CRect kProgressFill{11, 21, 229, 39};
constexpr CRect kProgressText{10, 20, 230, 40};
constexpr CRect kTable{0, 70, 240, 220};

// The PCS channel count of each raster, as the progress line names it.
int pcsChannels(uint32_t raster, int fallback) {
    switch (raster) {
    case 30000: return 1999;
    case 50000: return 1200;
    case 200000: return 810;
    default: return fallback;
    }
}

std::string format(const char* f, auto... values) {
    char text[64];
    std::snprintf(text, sizeof text, f, values...);
    return text;
}

}  // namespace

std::string progressText(BoardState& board) {
    if (board.bandIndex != 1)
        return format("Current Channel = %d of %d", static_cast<int>(board.sweepPosition), int{board.sweepCount});
    const BandPlan& plan = board.pcsPlan;
    return format("Current Channel = %d of %d", static_cast<int>(plan.offsetToPcsChannel(board.sweepPosition)),
                  pcsChannels(plan.pcsRaster(), board.sweepCount));
}

ServerRow serverRow(BoardState& board, const ServerEntry& entry) {
    const uint16_t offset = entry.offset;
    const bool pcs = board.bandIndex == 1;
    const BandPlan& plan = pcs ? board.pcsPlan : board.cellularPlan;
    const double megahertz = plan.offsetToFrequency(offset) * 0.000001;
    const uint32_t channel =
        pcs ? plan.offsetToPcsChannel(offset) : plan.frequencyToChannel(megahertzToHz(megahertz, true));
    return {format("%.2f", megahertz), format("%d", static_cast<int>(channel)), format("%d", int{entry.level})};
}

void paintServers(CDC* dc, BoardState& board, StatusStrip& strip) {
    strip.drawBanner(dc);
    dc->FillSolidRect(kProgressFill, kBlack);
    dc->SetTextColor(kWhite);
    dc->SetBkColor(kBlack);
    dc->DrawText(progressText(board), kProgressText, kFormat);
    strip.drawBitmap(dc, CServer::kTableBitmap, kTable.left, kTable.top, kTable.Width(), kTable.Height());
    dc->SetTextColor(kWhite);
    dc->SetBkColor(kNavy);
    for (int i = 0; i < CServer::kRows; ++i) {
        const int top = 87 + 13 * i, bottom = 94 + 13 * i;
        const ServerRow row = serverRow(board, board.bestServers[i]);
        dc->DrawText(row.frequency, CRect(50, top, 100, bottom), kFormat);
        dc->DrawText(row.channel, CRect(120, top, 180, bottom), kFormat);
        dc->DrawText(row.level, CRect(181, top, 239, bottom), kFormat);
    }
    strip.drawBandLine(dc);
    strip.drawClockLine(dc);
}

}  // namespace zarn
