#pragma once
// Sweep samples (reply 33): the active trace with max-hold, the capture for
// the spectrum log, and at each wrap the best-server ranking and trace reset.

#include <cstdint>

#include "board/board_state.h"

namespace zarn {

// Stores one sample; returns the repaint flag (1 after every fifth sample).
int applySweepSample(BoardState& board, uint16_t offset, int16_t level);

// Ranks the ten strongest points of trace 1 into bestServers.
void rankBestServers(BoardState& board);

void resetSweepDecoder();

}  // namespace zarn
