#pragma once
// CSpectrumOptions: the band, centre and span of the spectrum screen, kept
// in "\opts.zrn" between openings.
//
//  - loadOptions fills the members from the file; a missing file, line or
//    number keeps the member as constructed.
//  - applyOptions turns the members into the sweep window (start never below
//    0, the PCS centre inside the band, at least one point and none past the
//    band's last offset), puts the marker on the centre and writes the file back.
//    Without a band choice (-1) the previous band and window stay; the file
//    still records -1.

#include <string>

#include "board/board_state.h"
#include "platform/ui/dialog.h"

namespace zarn {

constexpr UINT IDD_SPECTRUM_OPTIONS = 153;
extern const char* const kSpectrumOptionsFile;

class CSpectrumOptions : public CDialog {
public:
    CSpectrumOptions() : CDialog(IDD_SPECTRUM_OPTIONS) {}

    void loadOptions();
    void applyOptions(BoardState& board = boardState());

    void DoDataExchange(CDataExchange* dx) override;

    int m_band = -1;
    double m_centre = 0.0;
    double m_span = 0.0;
    int m_units = -1;
};

}  // namespace zarn
