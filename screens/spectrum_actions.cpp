#include "screens/spectrum_actions.h"

#include <algorithm>

#include "board/board_sequences.h"
#include "board/level.h"

namespace zarn {
namespace {

constexpr uint32_t kLastCellularOffset = 832;
constexpr int kFloorDbm = -130;
constexpr uint8_t kModeSweep = 5;

int traceIndex(int n) { return std::clamp(n, 1, 3); }

// Puts the window of `count` points around `centre`, held inside the band:
// pinned at offset 0 or at the band's last offset, it keeps its width and its
// centre moves with it. The marker stays on the offset it marks.
void placeWindow(BoardState& board, uint32_t centre, uint32_t count) {
    const uint32_t step = board.sweepStep;
    const uint32_t half = step * (count / 2);
    const uint32_t width = count ? step * (count - 1) : 0;
    const uint32_t last = lastBandOffset(board);
    bool pinned = half > centre;
    uint32_t start = pinned ? 0 : centre - half;
    if (start + width > last) {
        start = width > last ? 0 : last - width;
        pinned = true;
    }
    board.sweepStart = static_cast<uint16_t>(start);
    board.sweepCentre = static_cast<uint16_t>(pinned ? start + half : centre);
    board.sweepCount = static_cast<uint16_t>(count);
}

// The board was stopped before the window changed; now it learns the window and sweeps it.
void sweepNewWindow(BoardState& board) {
    board.sendSweepParameters();
    board.sendMode(kModeSweep);
}

}  // namespace

void selectTrace(BoardState& board, int n) {
    n = traceIndex(n);
    for (int t = 1; t <= 3; ++t) board.traces[t].enabled = t == n ? 1 : 0;
    board.activeTrace = static_cast<int16_t>(n);
}

void toggleTraceVisible(BoardState& board, int n) {
    SpectrumTrace& t = board.traces[traceIndex(n)];
    t.visible = t.visible == 0 ? 1 : 0;
}

void toggleTraceHold(BoardState& board, int n) {
    SpectrumTrace& t = board.traces[traceIndex(n)];
    t.hold = t.hold == 0 ? 1 : 0;
}

void markerToPeak(BoardState& board) {
    const SpectrumTrace& trace = board.traces[board.activeTraceIndex()];
    const uint32_t step = board.sweepStep;
    const uint32_t start = board.sweepStart;
    int best = -2500;
    // The point count is read again for every point: the link thread may change it.
    for (uint32_t k = 0; k < uint32_t{trace.pointCount} * step; k += step) {
        const uint32_t offset = start + k;
        if (offset > kLastTraceOffset) break;
        const int sample = trace.samples[offset];
        if (sample > best) {
            best = sample;
            board.markerOffset = static_cast<int16_t>(offset);
        }
    }
}

void markerToCentre(BoardState& board) { board.markerOffset = static_cast<int16_t>(board.sweepCentre); }

void markerLeft(BoardState& board) {
    const int32_t moved = int32_t{board.markerOffset} - board.sweepStep;
    board.markerOffset = static_cast<int16_t>(std::max(moved, 0));
}

void markerRight(BoardState& board) {
    const int32_t moved = int32_t{board.markerOffset} + board.sweepStep;
    board.markerOffset = static_cast<int16_t>(std::min<int32_t>(moved, kLastTraceOffset));
}

void zoomIn(BoardState& board) {
    if (board.sweepCount < 2) return;
    returnToIdle(board);
    placeWindow(board, board.sweepCentre, board.sweepCount / 2u);
    sweepNewWindow(board);
}

void zoomOut(BoardState& board) {
    const uint32_t count = 2u * board.sweepCount;
    // Only a window wider than the band is refused; one that passes an end is moved inside.
    if (count == 0 || uint32_t{board.sweepStep} * (count - 1) > lastBandOffset(board)) return;
    returnToIdle(board);
    placeWindow(board, board.sweepCentre, count);
    sweepNewWindow(board);
}

void recentre(BoardState& board, uint32_t offset) {
    returnToIdle(board);
    placeWindow(board, std::min(offset, lastBandOffset(board)), board.sweepCount);
    sweepNewWindow(board);
}

uint32_t plotRaster(const BoardState& board) {
    return board.bandIndex == 1 ? board.pcsPlan.pcsRaster() / 10000 : 1;
}

uint32_t graphTapOffset(const BoardState& board, int x) {
    const int64_t column = std::max(x - 30, 0);
    const uint32_t i = static_cast<uint32_t>(column * board.traces[1].pointCount / 201);
    return board.sweepStart + plotRaster(board) * i;
}

int markerLevel(const BoardState& board) {
    const int offset = board.markerOffset;
    if (offset < 0 || offset > static_cast<int>(kLastTraceOffset)) return kFloorDbm;
    return wholeDbmOfLevel(board.traces[board.activeTraceIndex()].samples[offset]);
}

uint32_t lastBandOffset(const BoardState& board) {
    return board.bandIndex == 1 ? kLastTraceOffset : kLastCellularOffset;
}

}  // namespace zarn
