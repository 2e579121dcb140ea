#pragma once
// The request sequences that start and stop the board's measurements. Each request waits
// for its answer (at most 1000 ms) before the next one goes out. Screens send
// returnToIdle() before they open their options, then the start sequence.

#include "board/board_state.h"

namespace zarn {

void startBoard(BoardState& board);          // 1 (the decoder adds 2 when 1 is answered)
void returnToIdle(BoardState& board);        // 8 with 0
void startSingleChannel(BoardState& board);  // from singleChannelMode 1 or 2
void uploadChannelTable(BoardState& board);  // 32, 17 per slot, 5 with 32, 8 with 2
void startSweep(BoardState& board);          // 9, 5 with 1, 10, 21, 8 with 5
void restartSweep(BoardState& board);        // 8 with 0, 21, 8 with 5
// The opening requests of the measurement `mode` names (a screen mode), which then
// becomes the screen mode: the last step of every way into a measurement.
void startMeasurement(BoardState& board, uint8_t mode);
// 8 with 0, then the opening requests of the measurement screenMode names, for a board
// that was lost and answers again.
void resumeMeasurement(BoardState& board);

// The band offset of a channel-table slot's channel; 0 for a band without a plan.
uint16_t tableEntryOffset(BoardState& board, uint8_t band, uint16_t channel);

}  // namespace zarn
