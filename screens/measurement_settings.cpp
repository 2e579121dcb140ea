#include "screens/measurement_settings.h"

#include <algorithm>
#include <climits>

#include "screens/options_file.h"
#include "screens/spectrum_actions.h"

namespace zarn {
namespace {

constexpr uint32_t kCellularOffsets = 833;

void applyCellular(BoardState& board, double centre, double span, bool megahertz) {
    BandPlan& plan = board.cellularPlan;
    if (megahertz) {
        plan.tuneMegahertz(centre);
        plan.setSpanMegahertz(span);
    } else {
        plan.tuneChannel(static_cast<uint32_t>(clampedTrunc(centre, 0, INT_MAX)));
        plan.setSpan(static_cast<uint32_t>(clampedTrunc(span, 0, INT_MAX)));
    }
    const uint32_t offset = std::min(plan.tunedOffset(), kCellularOffsets - 1);
    const uint32_t half = plan.span() / 2;
    const uint32_t start = offset < half ? 1 : offset - half;
    const uint64_t points = std::min<uint64_t>(uint64_t{plan.span()} + 1, kCellularOffsets - start);
    board.sweepCentre = static_cast<uint16_t>(offset);
    board.sweepStart = static_cast<uint16_t>(start);
    board.sweepCount = static_cast<uint16_t>(points);
    board.sweepStep = 1;
}

void applyPcs(BoardState& board, double centre, double span, bool megahertz) {
    const BandPlan& plan = board.pcsPlan;
    const uint32_t raster = plan.pcsRaster();
    const uint32_t step = raster / 10000;
    const uint32_t offset = megahertz ? plan.frequencyToOffset(megahertzToHz(centre, false))
                                      : plan.pcsChannelToOffset(static_cast<uint32_t>(clampedTrunc(centre, 0, INT_MAX)));
    const int most = static_cast<int>(step ? kLastTraceOffset / step : kLastTraceOffset);
    const double wanted = megahertz ? (raster ? span * 1000000.0 / raster : 0.0) : span;
    const uint32_t points = static_cast<uint32_t>(clampedTrunc(wanted, 1, most));
    const uint32_t centreOffset = std::min(offset, kLastTraceOffset);
    const uint32_t half = step * (points / 2);
    const uint32_t start = half > centreOffset ? 0 : centreOffset - half;
    // As on the cellular band: no point past the band's last offset.
    const uint32_t pointsLeft = step ? (kLastTraceOffset - start) / step + 1 : 1;
    board.sweepCentre = static_cast<uint16_t>(centreOffset);
    board.sweepStep = static_cast<uint16_t>(step);
    board.sweepStart = static_cast<uint16_t>(start);
    board.sweepCount = static_cast<uint16_t>(std::min(points, pointsLeft));
}

}  // namespace

uint32_t channelFromValue(double value) {
    if (!(value > 0.0)) return 0;
    if (value >= 4294967295.0) return UINT32_MAX;
    return static_cast<uint32_t>(value);
}

void applySingleChannelSettings(BoardState& board, const SingleChannelSettings& s) {
    if (s.cellularActive) {
        if (s.channelUnit)
            board.cellularPlan.tuneChannel(channelFromValue(s.cellularValue));
        else
            board.cellularPlan.tuneMegahertz(s.cellularValue);
    }
    if (s.pcsActive) {
        BandPlan& pcs = board.pcsPlan;
        // A frequency is snapped down to a channel of the raster; one below the
        // band saturates to offset 0, the raster's lowest channel.
        const uint32_t channel = s.channelUnit ? channelFromValue(s.pcsValue)
                                               : pcs.offsetToPcsChannel(pcs.frequencyToOffset(megahertzToHz(s.pcsValue, false)));
        pcs.tuneMegahertz(pcs.pcsChannelToFrequency(channel) * 0.000001);
    }
    if (s.cellularActive && s.pcsActive) {
        board.singleChannelMode = 2;
    } else {
        board.singleChannelMode = 1;
        board.singleChannelBand = s.cellularActive ? 0 : 1;
    }
}

void applySpectrumSettings(BoardState& board, const SpectrumSettings& s) {
    if (s.band == 0) {
        board.bandIndex = 0;
        applyCellular(board, s.centre, s.span, s.megahertz);
    } else if (s.band == 1) {
        board.bandIndex = 1;
        applyPcs(board, s.centre, s.span, s.megahertz);
    }
    markerToCentre(board);
}

void applyServerSettings(BoardState& board, int band, int servers) {
    if (band == 0 || band == 1)
        board.bandIndex = static_cast<uint8_t>(band);
    else if (board.bandIndex > 1)
        board.bandIndex = 0;  // no band chosen, none kept
    // The kept band sweeps its whole band too, not the window another screen left.
    board.applyServerSweep();
    if (servers >= 0 && servers <= 9) board.serverCountSetting = static_cast<uint32_t>(servers);
}

}  // namespace zarn
