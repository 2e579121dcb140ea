#include "screens/single_options.h"

#include <climits>

#include "screens/options_file.h"

namespace zarn {
namespace {

constexpr size_t kLines = 5;

}  // namespace

uint32_t channelFromValue(double value) {
    if (!(value > 0.0)) return 0;
    if (value >= 4294967295.0) return UINT32_MAX;
    return static_cast<uint32_t>(value);
}

void CSingleOptions::DoDataExchange(CDataExchange* dx) {
    DDX_Check(dx, kCellularCheck, cellularActive);
    DDX_Check(dx, kPcsCheck, pcsActive);
    DDX_Radio(dx, kUnitRadio, entryUnit);
    DDX_Text(dx, kCellularValue, cellularValue);
    DDX_Text(dx, kPcsValue, pcsValue);
}

void CSingleOptions::loadOptions() {
    OptionLines lines;
    if (!lines.read(kSingleOptionsFile, kLines)) return;
    int flag = 0;
    if (lines.getInt(0, flag, INT_MIN, INT_MAX)) cellularActive = flag != 0;
    if (lines.getInt(1, flag, INT_MIN, INT_MAX)) pcsActive = flag != 0;
    lines.getInt(2, entryUnit, INT_MIN, INT_MAX);
    lines.getTypedValue(3, cellularValue, channelUnit());
    lines.getTypedValue(4, pcsValue, channelUnit());
}

void CSingleOptions::applyOptions(BoardState& board) {
    if (cellularActive) {
        if (channelUnit())
            board.cellularPlan.tuneChannel(channelFromValue(cellularValue));
        else
            board.cellularPlan.tuneMegahertz(cellularValue);
    }
    if (pcsActive) {
        BandPlan& pcs = board.pcsPlan;
        // A frequency is snapped down to a channel of the raster; one below the
        // band saturates to offset 0, the raster's lowest channel.
        const uint32_t channel = channelUnit() ? channelFromValue(pcsValue)
                                               : pcs.offsetToPcsChannel(pcs.frequencyToOffset(megahertzToHz(pcsValue, false)));
        pcs.tuneMegahertz(pcs.pcsChannelToFrequency(channel) * 0.000001);
    }
    if (cellularActive && pcsActive) {
        board.singleChannelMode = 2;
    } else {
        board.singleChannelMode = 1;
        board.singleChannelBand = cellularActive ? 0 : 1;
    }
    writeOptions();
}

void CSingleOptions::writeOptions() const {
    writeOptionLines(kSingleOptionsFile,
                     {optionInt(cellularActive ? 1 : 0), optionInt(pcsActive ? 1 : 0), optionInt(entryUnit),
                      optionTyped(cellularValue, channelUnit()), optionTyped(pcsValue, channelUnit())});
}

}  // namespace zarn
