#include "board/board_state.h"

namespace zarn {

BoardState::BoardState() {
    for (int n = 1; n <= 3; ++n) {
        for (int i = 0; i < kTraceOffsets; ++i) traces[n].samples[i] = kEmptyLevel;
        traces[n].pointCount = 32;
    }
    traces[1].enabled = 1;
    traces[1].visible = 1;
    setUpCellularPlan(cellularPlan);
    setUpPcsPlan(pcsPlan);
}

BoardState::~BoardState() = default;

BandPlan* BoardState::bandPlan(uint8_t band) {
    if (band == 0) return &cellularPlan;
    if (band == 1) return &pcsPlan;
    return nullptr;
}

void BoardState::applyServerSweep() {
    struct Window { uint16_t start, step, count; };
    Window w;
    if (bandIndex == 0) {
        w = {1, 1, 833};
    } else if (bandIndex == 1) {
        switch (pcsPlan.pcsRaster()) {
        case 30000: w = {2, 3, 1999}; break;
        case 50000: w = {5, 5, 1200}; break;
        case 200000: w = {20, 20, 298}; break;
        default: return;
        }
    } else {
        return;
    }
    sweepStart = w.start;
    sweepStep = w.step;
    sweepCount = w.count;
}

BoardState& boardState() {
    static BoardState state;
    return state;
}

}  // namespace zarn
