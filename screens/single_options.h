#pragma once
// CSingleOptions: the single-channel screen's options dialog (template 152):
// which bands are active, whether values are frequencies in MHz or channel
// numbers, and the value of each band. The values live in "\opt.zrn"
// between runs, five lines: cellular active, PCS active, entry unit, then the
// cellular and the PCS value ("%f" for frequencies, "%d" for channels).
//
// A short file keeps the construction values of the lines it lacks; numbers
// are limited to what a channel or a frequency can sensibly be, so nothing
// typed or read can overflow a conversion.

#include "board/board_state.h"
#include "screens/measurement_settings.h"
#include "platform/ui/dialog.h"

namespace zarn {

constexpr const char* kSingleOptionsFile = "\\opt.zrn";

class CSingleOptions : public CDialog {
public:
    static constexpr UINT kTemplate = 152;
    static constexpr int kCellularCheck = 1012, kPcsCheck = 1013, kCellularValue = 1014, kPcsValue = 1015,
                         kUnitRadio = 1016;
    static constexpr int kUnitFrequency = 0;

    explicit CSingleOptions(CWnd* parent = nullptr) : CDialog(kTemplate, parent) {}

    void DoDataExchange(CDataExchange* dx) override;
    void loadOptions();
    // Tunes the plans, sets the measurement's band(s) and writes the file back.
    void applyOptions(BoardState& board);

    int cellularActive = 0;
    int pcsActive = 0;
    int entryUnit = -1;  // 0 MHz, 1 channel; -1 (none chosen) or any other value read is taken as a channel
    double cellularValue = 0.0;
    double pcsValue = 0.0;

private:
    bool channelUnit() const { return entryUnit != kUnitFrequency; }
    void writeOptions() const;
};

}  // namespace zarn
