#include "screens/spectrum_options.h"

#include <algorithm>
#include <climits>

#include "screens/options_file.h"
#include "screens/spectrum_actions.h"

namespace zarn {

const char* const kSpectrumOptionsFile = "\\opts.zrn";

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

void CSpectrumOptions::loadOptions() {
    OptionLines lines;
    if (!lines.read(kSpectrumOptionsFile, 4)) return;
    lines.getInt(0, m_band, INT_MIN, INT_MAX);
    lines.getInt(1, m_units, INT_MIN, INT_MAX);
    lines.getTypedValue(2, m_centre, m_units != 0);
    lines.getTypedValue(3, m_span, m_units != 0);
}

void CSpectrumOptions::applyOptions(BoardState& board) {
    const bool megahertz = m_units == 0;
    if (m_band == 0) {
        board.bandIndex = 0;
        applyCellular(board, m_centre, m_span, megahertz);
    } else if (m_band == 1) {
        board.bandIndex = 1;
        applyPcs(board, m_centre, m_span, megahertz);
    }
    markerToCentre(board);
    writeOptionLines(kSpectrumOptionsFile, {optionInt(m_band), optionInt(m_units), optionTyped(m_centre, !megahertz),
                                            optionTyped(m_span, !megahertz)});
}

void CSpectrumOptions::DoDataExchange(CDataExchange* dx) {
    DDX_Radio(dx, 1000, m_band);
    DDX_Text(dx, 1020, m_centre);
    DDX_Text(dx, 1021, m_span);
    DDX_Radio(dx, 1022, m_units);
}

}  // namespace zarn
