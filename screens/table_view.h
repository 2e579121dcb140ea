#pragma once
// CTable: the channel-table screen. One 8-pixel row per slot of the loaded
// table: a level bar growing left from x 159, coloured by the level's tens of
// dB, the channel's frequency and its level.

#include <array>

#include "board/board_state.h"
#include "screens/measurement_view.h"

namespace zarn {

constexpr unsigned kTableBackground = 183;

struct TableRow {
    double dbm;        // limited to -120..-20
    int barLeft;       // 160 at -120 dBm, 10 at -20 dBm
    int barWidth;      // 159 - barLeft
    COLORREF colour;
    double megahertz;  // 0 for a band without a plan
};

class CTable : public CMeasurementView {
    DECLARE_DYNCREATE(CTable)
public:
    static constexpr UINT kTemplate = 117;
    static constexpr int kFirstRowTop = 11, kRowPitch = 8, kBarHeight = 7;

    CTable();

    // The text colour of a level's tens of dB (0..13).
    COLORREF colour(int index) const { return colours_[static_cast<size_t>(index)]; }
    TableRow row(const BoardState& board, const ChannelSlot& slot) const;

protected:
    void paint(CDC* dc, const CRect& client) override;

private:
    std::array<COLORREF, 14> colours_;
};

// The frequency of a table slot's channel in Hz; 0 for a band that selects no plan.
uint32_t tableSlotFrequency(const BoardState& board, uint8_t band, uint16_t channel);

}  // namespace zarn
