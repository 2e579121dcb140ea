#pragma once
// CSpectrum: the spectrum-analysis screen. It draws the board's traces over a
// dBm graticule and runs the spectrum actions from its buttons and from taps
// on the graph; what it shows lives in the board state.

#include "screens/measurement_view.h"

namespace zarn {

class CSpectrum : public CMeasurementView {
    DECLARE_DYNCREATE(CSpectrum)
public:
    static constexpr UINT kTemplate = 115;

    CSpectrum();

protected:
    void paint(CDC* dc, const CRect& client) override;
    // Runs the action of the button or graph point under the pen; false when there is none.
    bool penDown(CPoint point) override;
};

}  // namespace zarn
