#pragma once
// TitleBar: the navy strip over screen rows 0..25. It shows the main window's
// title at the left and the time (hh:mm) at the right; while a modal window
// is up, that window's caption, an "ok" box at x 206..237 (IDOK) and, unless
// it is a message box, a "x" box at x 180..203 (IDCANCEL). A box acts when
// the pen is released inside the box it went down on. The main window's status
// mark stands right-aligned in x 120..179, and the title text stops short of it.

#include "platform/ui/cwnd.h"

namespace zarn {

class TitleBar : public CWnd {
public:
    static constexpr CRect kOkBox{206, 0, 238, 26};
    static constexpr CRect kCancelBox{180, 0, 204, 26};
    static constexpr CRect kMarkBox{120, 0, 180, 26};

    int OnCreate(LPCREATESTRUCT cs) override;
    void OnPaint() override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnTimer(UINT_PTR id) override;

private:
    int boxAt(CPoint p) const;  // IDOK, IDCANCEL or 0
    void setClockTimer();
    int pressed_ = 0;
    int shownMinute_ = -1;
};

}  // namespace zarn
