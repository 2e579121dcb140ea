#include "screens/single_options.h"

#include <climits>

#include "screens/measurement_settings.h"
#include "screens/options_file.h"

namespace zarn {
namespace {

constexpr size_t kLines = 5;

}  // namespace

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
    applySingleChannelSettings(board, {cellularActive != 0, pcsActive != 0, channelUnit(), cellularValue, pcsValue});
    writeOptions();
}

void CSingleOptions::writeOptions() const {
    writeOptionLines(kSingleOptionsFile,
                     {optionInt(cellularActive ? 1 : 0), optionInt(pcsActive ? 1 : 0), optionInt(entryUnit),
                      optionTyped(cellularValue, channelUnit()), optionTyped(pcsValue, channelUnit())});
}

}  // namespace zarn
