#pragma once
// CSpectrum: the spectrum-analysis screen. It draws the board's traces over a
// dBm graticule and runs the spectrum actions from its buttons and from taps
// on the graph; what it shows lives in the board state.

#include "platform/ui/doc_view.h"

namespace zarn {

class CSpectrum : public CFormView {
    DECLARE_DYNCREATE(CSpectrum)
public:
    static constexpr UINT kTemplate = 115;

    CSpectrum();
    void OnDraw(CDC* dc) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;

private:
    // Runs the action of the button or graph point under the pen; false when there is none.
    bool runAction(CPoint point);
};

}  // namespace zarn
