#pragma once
// CCeCommandBar: the frame's command bar, a light grey strip at the bottom of
// the screen with up to seven 16 x 16 buttons.
//
//  - Create(parent) makes the bar; the frame's layout puts it at the bottom
//    whatever bar style it was created with.
//  - InsertMenuBar and AddAdornments succeed and add nothing: the bar shows
//    only its buttons.
//  - LoadToolBar(bitmap, commands, count) takes the buttons' images from one
//    strip bitmap, 16 pixels per button, left to right, and their command ids
//    from commands (0 makes a gap). False when the bitmap is missing.
//  - Button k lies at x 2+24k .. 2+24k+22 (exclusive), bar rows 2..23. A
//    command is sent to the parent as WM_COMMAND when the pen is released
//    inside the button it went down on; a button is drawn sunken meanwhile.
//  - When the pointer rests 500 ms on a button without the pen down, the
//    command's string-table text shows as a tooltip above the bar, until the
//    pointer leaves or the pen goes down.
//  - TB_SETTOOLTIPS (wParam count, lParam an array of texts) hands over the
//    tooltip texts; they are kept, the tooltip itself shows the command's
//    string.

#include <string>
#include <vector>

#include "platform/gdi/gdi_objects.h"
#include "platform/ui/cwnd.h"

namespace zarn {

class ToolTipWnd;

class CCeCommandBar : public CWnd {
    DECLARE_DYNAMIC(CCeCommandBar)
public:
    static constexpr int kHeight = 26;
    static constexpr int kButtonPitch = 24;
    static constexpr int kButtonWidth = 22;
    static constexpr int kButtonTop = 2;
    static constexpr int kButtonBottom = 24;
    static constexpr UINT kRestMs = 500;

    CCeCommandBar() = default;
    ~CCeCommandBar() override;
    BOOL Create(CWnd* parent, DWORD style = CBRS_TOP, UINT id = AFX_IDW_TOOLBAR);
    BOOL InsertMenuBar(UINT) { return TRUE; }
    BOOL AddAdornments(DWORD = 0) { return TRUE; }
    BOOL LoadToolBar(UINT bitmapId, const UINT* commands, int count);
    DWORD GetBarStyle() const { return barStyle_; }
    void SetBarStyle(DWORD style) { barStyle_ = style; }

    int buttonCount() const { return static_cast<int>(commands_.size()); }
    int buttonAt(CPoint p) const;  // -1 when none
    const std::vector<std::string>& tooltipTexts() const { return tooltips_; }
    bool tooltipShown() const;
    std::string tooltipText() const;  // empty while no tooltip shows

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;

private:
    void hideTooltip();
    std::vector<UINT> commands_;
    std::vector<std::string> tooltips_;
    CBitmap images_;
    DWORD barStyle_ = 0;
    int pressed_ = -1;
    int hover_ = -1;
    ToolTipWnd* tooltip_ = nullptr;
};

}  // namespace zarn
