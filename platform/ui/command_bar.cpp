#include "platform/ui/command_bar.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/resource.h"
#include "platform/ui/tooltip.h"
#include "platform/ui/window_dc.h"
#include "platform/ui/window_system.h"

namespace zarn {

IMPLEMENT_DYNAMIC(CCeCommandBar, CWnd)

namespace {
constexpr UINT_PTR kRestTimer = 0xB001;
constexpr COLORREF kBarGrey = RGB(192, 192, 192);
}  // namespace

CCeCommandBar::~CCeCommandBar() { delete tooltip_; }

BOOL CCeCommandBar::Create(CWnd* parent, DWORD style, UINT id) {
    barStyle_ = style;
    CRect client;
    if (parent) parent->GetClientRect(&client);
    CRect rect(0, client.bottom - kHeight, WindowSystem::kScreenWidth, client.bottom);
    return CWnd::Create(nullptr, "", WS_CHILD | WS_VISIBLE, rect, parent, id);
}

BOOL CCeCommandBar::LoadToolBar(UINT bitmapId, const UINT* commands, int count) {
    if (!images_.LoadBitmap(bitmapId)) return FALSE;
    commands_.assign(commands, commands + count);
    Invalidate(FALSE);
    return TRUE;
}

int CCeCommandBar::buttonAt(CPoint p) const {
    if (p.y < kButtonTop || p.y >= kButtonBottom || p.x < 2) return -1;
    int k = (p.x - 2) / kButtonPitch;
    if (k >= buttonCount() || p.x >= 2 + k * kButtonPitch + kButtonWidth || commands_[k] == 0) return -1;
    return k;
}

bool CCeCommandBar::tooltipShown() const { return tooltip_ && tooltip_->IsWindowVisible(); }
std::string CCeCommandBar::tooltipText() const { return tooltipShown() ? tooltip_->GetWindowText() : std::string(); }

LRESULT CCeCommandBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TB_SETTOOLTIPS) {
        tooltips_.clear();
        auto texts = reinterpret_cast<const char* const*>(lParam);
        for (WPARAM i = 0; texts && i < wParam; ++i) tooltips_.push_back(texts[i] ? texts[i] : "");
        return TRUE;
    }
    if (message == WM_MOUSELEAVE) {
        hover_ = -1;
        hideTooltip();
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CCeCommandBar::OnPaint() {
    WindowDC dc(this);
    CRect r;
    GetClientRect(&r);
    dc.FillSolidRect(r, kBarGrey);
    CDC images;
    images.CreateCompatibleDC(&dc);
    bool haveImages = images_.store() != nullptr;
    if (haveImages) images.SelectObject(&images_);
    for (int k = 0; k < buttonCount(); ++k) {
        if (commands_[k] == 0) continue;
        int left = 2 + k * kButtonPitch;
        int shift = 0;
        if (k == pressed_) {
            CBrush dark(RGB(128, 128, 128));
            dc.FrameRect(CRect(left, kButtonTop, left + kButtonWidth, kButtonBottom), &dark);
            shift = 1;
        }
        if (haveImages)
            dc.BitBlt(left + (kButtonWidth - 16) / 2 + shift, kButtonTop + (kButtonBottom - kButtonTop - 16) / 2 + shift,
                      16, 16, &images, 16 * k, 0, SRCCOPY);
    }
}

void CCeCommandBar::OnLButtonDown(UINT, CPoint point) {
    hideTooltip();
    pressed_ = buttonAt(point);
    if (pressed_ >= 0) Invalidate(FALSE);
}

void CCeCommandBar::OnLButtonUp(UINT, CPoint point) {
    int down = pressed_;
    pressed_ = -1;
    if (down < 0) return;
    Invalidate(FALSE);
    if (buttonAt(point) == down && GetParent()) GetParent()->SendMessage(WM_COMMAND, commands_[down], 0);
}

void CCeCommandBar::OnMouseMove(UINT flags, CPoint point) {
    if (flags & MK_LBUTTON) return;
    int k = buttonAt(point);
    if (k == hover_) return;
    hover_ = k;
    hideTooltip();
    if (k >= 0) SetTimer(kRestTimer, kRestMs);
}

void CCeCommandBar::OnTimer(UINT_PTR id) {
    if (id != kRestTimer) return;
    KillTimer(kRestTimer);
    if (hover_ < 0 || pressed_ >= 0) return;
    std::string text = loadString(static_cast<int>(commands_[hover_]));
    if (text.empty()) return;
    if (!tooltip_) tooltip_ = new ToolTipWnd;
    CPoint origin = screenOrigin();
    tooltip_->showAt(text, origin.x + 2 + hover_ * kButtonPitch, origin.y - 1);
}

void CCeCommandBar::hideTooltip() {
    KillTimer(kRestTimer);
    if (tooltip_ && tooltip_->isCreated()) tooltip_->ShowWindow(SW_HIDE);
}

void CCeCommandBar::OnDestroy() {
    if (tooltip_) tooltip_->DestroyWindow();
}

}  // namespace zarn
