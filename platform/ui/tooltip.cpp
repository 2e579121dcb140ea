#include "platform/ui/tooltip.h"

#include <algorithm>

#include "platform/ui/window_dc.h"
#include "platform/ui/window_system.h"

namespace zarn {

void ToolTipWnd::showAt(const std::string& text, int x, int bottom) {
    CDC measure(WindowSystem::get().screen());
    CSize extent = measure.GetTextExtent(text);
    int w = extent.cx + 6;
    int h = extent.cy + 4;
    int left = std::clamp(x, 0, std::max(0, WindowSystem::kScreenWidth - w));
    CRect rect(left, bottom - h, left + w, bottom);
    if (!isCreated()) {
        Create(nullptr, text.c_str(), WS_DISABLED, rect, nullptr, 0);
    } else {
        SetWindowText(text);
        MoveWindow(rect, TRUE);
    }
    WindowSystem::get().raise(this);
    ShowWindow(SW_SHOW);
}

void ToolTipWnd::OnPaint() {
    WindowDC dc(this);
    CRect r;
    GetClientRect(&r);
    dc.FillSolidRect(r, RGB(255, 255, 225));
    CBrush frame(RGB(0, 0, 0));
    dc.FrameRect(r, &frame);
    dc.SetTextColor(RGB(0, 0, 0));
    dc.SetBkMode(TRANSPARENT);
    CRect text(r.left + 3, r.top + 2, r.right - 3, r.bottom - 2);
    dc.DrawText(GetWindowText(), &text, DT_LEFT | DT_SINGLELINE | DT_NOCLIP);
}

}  // namespace zarn
