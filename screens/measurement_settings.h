#pragma once
// What each measurement's options do to the board state, apart from their dialogs and
// option files: the options dialogs and zarn-record both come here, so that one choice
// gives the same requests and the same log records whoever makes it.
//
//  - applySingleChannelSettings: tunes the active bands' plans (a PCS frequency snapped
//    down to a channel of the raster) and sets the single-channel mode and band.
//  - applySpectrumSettings: the sweep window of a band (start never below 0, the PCS
//    centre inside the band, at least one point and none past the band's last offset),
//    the marker on the centre. Band -1 keeps the previous band and window.
//  - applyServerSettings: the band (-1 keeps the previous one, band 0 when there is none)
//    and its full-band window; a server count outside 0..9 leaves the setting alone.

#include <cstdint>

#include "board/board_state.h"

namespace zarn {

struct SingleChannelSettings {
    bool cellularActive = false;
    bool pcsActive = false;
    bool channelUnit = true;  // values are channel numbers, else MHz
    double cellularValue = 0.0;
    double pcsValue = 0.0;
};

struct SpectrumSettings {
    int band = -1;  // 0 cellular, 1 PCS, anything else keeps the window
    double centre = 0.0;
    double span = 0.0;
    bool megahertz = false;  // else channel numbers and a count of channels
};

void applySingleChannelSettings(BoardState& board, const SingleChannelSettings& settings);
void applySpectrumSettings(BoardState& board, const SpectrumSettings& settings);
void applyServerSettings(BoardState& board, int band, int servers);

// A channel number from a typed value: truncated, negative and NaN give 0,
// values beyond a u32 its largest.
uint32_t channelFromValue(double value);

}  // namespace zarn
