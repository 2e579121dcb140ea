#pragma once
// What the spectrum screen's buttons and graph taps do to the board state.
// The window arithmetic is done in 32 bits. Zoom and re-centre keep the
// window inside the band: one that would start below offset 0 or end past
// the band's last offset (832 cellular, 6000 PCS) keeps its width and is
// pinned at that end, its centre moving with it; zooming out is refused only
// when the doubled window is wider than the band. The zoom and re-centre
// actions stop the board, send the new window and start the sweep again; the
// others send nothing.

#include <cstdint>

#include "board/board_state.h"

namespace zarn {

// Highest band offset a trace sample stands for.
constexpr uint32_t kLastTraceOffset = 6000;

void selectTrace(BoardState& board, int n);
void toggleTraceVisible(BoardState& board, int n);
void toggleTraceHold(BoardState& board, int n);
void markerToPeak(BoardState& board);
void markerToCentre(BoardState& board);
void markerLeft(BoardState& board);
void markerRight(BoardState& board);
void zoomIn(BoardState& board);
void zoomOut(BoardState& board);
void recentre(BoardState& board, uint32_t offset);

// Band offsets between two sweep points as the plot counts them.
uint32_t plotRaster(const BoardState& board);
// The band offset a tap at graph column x stands for (trace 1's points).
uint32_t graphTapOffset(const BoardState& board, int x);
// Whole dBm of the active trace at the marker; -130 off the trace.
int markerLevel(const BoardState& board);
// The last band offset of the band the options chose.
uint32_t lastBandOffset(const BoardState& board);

}  // namespace zarn
