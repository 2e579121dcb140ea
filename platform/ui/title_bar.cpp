#include "platform/ui/title_bar.h"

#include <algorithm>
#include <cstdio>

#include "platform/gdi/colours.h"
#include "platform/ui/window_dc.h"
#include "platform/ui/window_system.h"

namespace zarn {

namespace {
constexpr UINT_PTR kClockTimer = 0xB002;
constexpr UINT kClockMarginMs = 20;  // so the clock looks once the minute has turned

void drawBox(CDC& dc, const CRect& box, const char* label, bool pressed) {
    CRect r(box.left, 4, box.right, 22);
    if (pressed) dc.FillSolidRect(r, kWhite);
    CBrush frame(kWhite);
    dc.FrameRect(r, &frame);
    dc.SetTextColor(pressed ? kNavy : kWhite);
    dc.SetBkMode(TRANSPARENT);
    dc.DrawText(label, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
}  // namespace

// The clock looks when the minute turns, not every second.
void TitleBar::setClockTimer() {
    auto* backend = WindowSystem::get().backend();
    SetTimer(kClockTimer, backend ? backend->msToNextMinute() + kClockMarginMs : 1000);
}

int TitleBar::OnCreate(LPCREATESTRUCT) {
    setClockTimer();
    return 0;
}

void TitleBar::OnPaint() {
    auto& sys = WindowSystem::get();
    WindowDC dc(this);
    CRect r;
    GetClientRect(&r);
    dc.FillSolidRect(r, kNavy);
    CFont font;
    font.CreatePointFont(100, "System");
    dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(kWhite);

    ModalWindow* modal = sys.activeModalInfo();
    std::string title;
    int textRight = r.right;
    if (modal) {
        title = modal->modalCaption();
        textRight = modal->modalHasCancelBox() ? kCancelBox.left - 2 : kOkBox.left - 2;
    } else if (CWnd* main = sys.mainWindow()) {
        title = main->GetWindowText();
    }
    int hours = 0;
    int minutes = 0;
    if (sys.backend()) sys.backend()->localTime(hours, minutes);
    shownMinute_ = hours * 60 + minutes;
    if (!modal) {
        char clock[8];
        std::snprintf(clock, sizeof clock, "%02d:%02d", hours % 24, minutes % 60);
        CRect clockRect(r.right - 44, 0, r.right - 4, r.bottom);
        dc.DrawText(clock, &clockRect, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
        textRight = clockRect.left - 2;
    }
    const auto& mark = sys.statusMark();
    if (!mark.text.empty()) {
        CRect markRect = kMarkBox;
        dc.SetTextColor(mark.colour);
        dc.DrawText(mark.text, &markRect, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
        textRight = std::min(textRight, static_cast<int>(kMarkBox.left));
    }
    CRect titleRect(4, 0, textRight, r.bottom);
    dc.SetTextColor(kWhite);
    dc.DrawText(title, &titleRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE);

    if (modal) {
        CFont small;
        small.CreatePointFont(80, "System");
        dc.SelectObject(&small);
        if (modal->modalHasCancelBox()) drawBox(dc, kCancelBox, "\xD7", pressed_ == IDCANCEL);
        drawBox(dc, kOkBox, "ok", pressed_ == IDOK);
    }
}

int TitleBar::boxAt(CPoint p) const {
    ModalWindow* modal = WindowSystem::get().activeModalInfo();
    if (!modal) return 0;
    if (kOkBox.PtInRect(p)) return IDOK;
    if (modal->modalHasCancelBox() && kCancelBox.PtInRect(p)) return IDCANCEL;
    return 0;
}

void TitleBar::OnLButtonDown(UINT, CPoint point) {
    pressed_ = boxAt(point);
    if (pressed_) Invalidate(FALSE);
}

void TitleBar::OnLButtonUp(UINT, CPoint point) {
    int down = pressed_;
    pressed_ = 0;
    if (!down) return;
    Invalidate(FALSE);
    ModalWindow* modal = WindowSystem::get().activeModalInfo();
    if (modal && boxAt(point) == down) modal->modalCaptionButton(down);
}

void TitleBar::OnTimer(UINT_PTR id) {
    if (id != kClockTimer) return;
    setClockTimer();
    auto* backend = WindowSystem::get().backend();
    if (!backend) return;
    int hours = 0;
    int minutes = 0;
    backend->localTime(hours, minutes);
    if (hours * 60 + minutes != shownMinute_) Invalidate(FALSE);
}

}  // namespace zarn
