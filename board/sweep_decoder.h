#pragma once
// Sweep samples (reply 33): the active trace with max-hold, the capture for the spectrum
// log, and at the start of each new sweep the best-server ranking and the trace reset.

#include <algorithm>
#include <cstdint>

#include "board/board_state.h"

namespace zarn {

// The band offset a sample lands on: from 6000 on, 6000.
constexpr uint16_t sampleOffset(uint16_t offset) { return std::min<uint16_t>(offset, kTraceOffsets); }

// A sample at an offset below the last one's starts a new sweep: the last one has wrapped.
inline bool startsNewSweep(const BoardState& board, uint16_t offset) { return board.sweepPosition > offset; }

// Stores one sample at `offset` (already through sampleOffset). When it starts a new
// sweep the finished one is ranked and, unless the spectrum is measuring, trace 1 reset.
void applySweepSample(BoardState& board, uint16_t offset, int16_t level);

// Ranks the ten strongest points of trace 1 into bestServers.
void rankBestServers(BoardState& board);

// Every offset of the trace back to the empty level.
void resetTrace(SpectrumTrace& trace);

}  // namespace zarn
