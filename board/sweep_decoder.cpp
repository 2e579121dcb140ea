#include "board/sweep_decoder.h"

#include <algorithm>
#include <cstring>

#include "board/level.h"

namespace zarn {

namespace {
constexpr int kRankedServers = 10;
constexpr int16_t kRankFloor = -130;  // whole dBm
}  // namespace

void rankBestServers(BoardState& board) {
    for (ServerEntry& e : board.bestServers) e = {0, kRankFloor};
    // Samples from 6000 on carry no band offset: they would rank as 0 dBm.
    const uint32_t end = std::min<uint32_t>(uint32_t{board.sweepStep} * board.sweepCount, kTraceOffsets);
    ServerEntry* ranks = board.bestServers;
    const SpectrumTrace& trace = board.traces[1];
    for (uint32_t i = 1; i < end; ++i) {
        const int16_t level = static_cast<int16_t>(wholeDbmOfLevel(trace.samples[i]));
        if (level <= ranks[kRankedServers - 1].level) continue;  // the ranks stay sorted
        int at = 0;
        while (ranks[at].level >= level) ++at;
        std::memmove(&ranks[at + 1], &ranks[at], sizeof(ServerEntry) * (kRankedServers - 1 - at));
        ranks[at] = {static_cast<uint16_t>(i), level};
    }
}

namespace {

// Packed fields are read and written by value: a reference to one may be misaligned.
void storeSample(SpectrumTrace& trace, uint16_t offset, int16_t level) {
    const int16_t previous = trace.samples[offset];
    int16_t stored = trace.hold && previous > level ? previous : level;
    if (stored >= 16) stored = kEmptyLevel;  // +1 dBm or more is no reading
    trace.samples[offset] = stored;
}

}  // namespace

void resetTrace(SpectrumTrace& trace) {
    for (int i = 0; i < kTraceOffsets; ++i) trace.samples[i] = kEmptyLevel;
}

void applySweepSample(BoardState& board, uint16_t o, int16_t level) {
    SpectrumTrace& trace = board.traces[board.activeTraceIndex()];
    trace.pointCount = board.sweepCount;
    if (board.screenMode == kModeSpectrum && board.logging) {
        const uint32_t k = std::min<uint32_t>(static_cast<uint32_t>(o) - board.sweepStart, kTraceOffsets);
        board.sweepCapture[k] = {o, level};
    }
    storeSample(trace, o, level);
    if (startsNewSweep(board, o)) {
        rankBestServers(board);
        if (board.screenMode != kModeSpectrum) resetTrace(board.traces[1]);
    }
    board.sweepPosition = o;
}

}  // namespace zarn
