#pragma once
// NumericPanel: the on-screen number keys that a tap on an edit box opens, at
// the bottom of the client area: 7 8 9 Backspace / 4 5 6 - / 1 2 3 . / 0 Hide.
// A key acts when the pen is released on the key it went down on; the panel
// hands the key to its listener: a character, '\b' for Backspace, 0 for Hide.

#include <functional>

#include "platform/ui/cwnd.h"

namespace zarn {

class NumericPanel : public CWnd {
public:
    static constexpr int kKeyWidth = 60;
    static constexpr int kKeyHeight = 22;
    static constexpr int kHeight = 4 * kKeyHeight + 2;

    // Places the panel along the bottom of parent, hidden.
    BOOL createIn(CWnd* parent, std::function<void(char)> listener);
    static char keyAt(CPoint p);  // panel coordinates; -1 outside every key
    static CRect keyRect(int row, int column);

    void OnPaint() override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;

private:
    std::function<void(char)> listener_;
    char pressed_ = -1;
};

}  // namespace zarn
