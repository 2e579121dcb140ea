#pragma once
// The spectrum screen's picture: graticule, buttons, the visible traces with
// the sweep cursor and the marker diamond, the two readout lines and the
// status strip, onto the black image of a measurement paint.

#include "board/board_state.h"
#include "platform/gdi/dc.h"
#include "screens/status_strip.h"

namespace zarn {

void paintSpectrum(CDC* dc, BoardState& board, StatusStrip& strip);

// One trace into dc with its pen; true when it drew the marker diamond, whose level lands in markerDbm.
bool plotTrace(CDC* dc, const BoardState& board, int n, int& markerDbm);

}  // namespace zarn
