#include "platform/ui/dialog_item.h"

#include <cstdlib>

#include "platform/gdi/colours.h"
#include "platform/ui/window_dc.h"
#include "platform/ui/window_system.h"

namespace zarn {

namespace {
constexpr COLORREF kSelection = RGB(0, 0, 128);
constexpr int kMark = 11;  // radio and check box size

// A circle of diameter 11: rows of (first, last) columns of the ring.
constexpr int kRing[kMark][2] = {{3, 7}, {1, 9}, {1, 9}, {0, 10}, {0, 10}, {0, 10},
                                 {0, 10}, {0, 10}, {1, 9}, {1, 9}, {3, 7}};
}  // namespace

bool DialogItem::takesFocus() const {
    return kind_ == ControlKind::Edit || kind_ == ControlKind::PushButton || kind_ == ControlKind::RadioButton ||
           kind_ == ControlKind::CheckBox;
}

void DialogItem::setChecked(int on) {
    if (checked_ == on) return;
    checked_ = on;
    Invalidate(FALSE);
}

void DialogItem::setFocused(bool on) {
    if (focused_ == on) return;
    focused_ = on;
    if (!on) selected_ = false;
    Invalidate(FALSE);
}

void DialogItem::setPressed(bool on) {
    if (pressed_ == on) return;
    pressed_ = on;
    Invalidate(FALSE);
}

void DialogItem::setSelected(bool on) {
    selected_ = on && !GetWindowText().empty();
    Invalidate(FALSE);
}

void DialogItem::typeChar(char c) {
    std::string text = selected_ ? std::string() : GetWindowText();
    text.push_back(c);
    selected_ = false;
    SetWindowText(text);
    Invalidate(FALSE);
}

void DialogItem::backspace() {
    std::string text = GetWindowText();
    if (selected_) {
        text.clear();
    } else if (!text.empty()) {
        text.pop_back();
    }
    selected_ = false;
    SetWindowText(text);
    Invalidate(FALSE);
}

void DialogItem::OnLButtonDown(UINT, CPoint point) {
    if (owner_) owner_->itemPen(this, true, point);
}

void DialogItem::OnLButtonUp(UINT, CPoint point) {
    if (owner_) owner_->itemPen(this, false, point);
}

void DialogItem::OnPaint() {
    WindowDC dc(this);
    CRect r;
    GetClientRect(&r);
    dc.FillSolidRect(r, kWhite);
    dc.SetTextColor(kBlack);
    dc.SetBkMode(TRANSPARENT);
    switch (kind_) {
    case ControlKind::Static: {
        CRect text = r;
        dc.DrawText(GetWindowText(), &text, DT_LEFT | DT_WORDBREAK);
        break;
    }
    case ControlKind::RadioButton:
        paintRadio(dc, r);
        break;
    case ControlKind::CheckBox:
        paintCheck(dc, r);
        break;
    case ControlKind::Edit:
        paintEdit(dc, r);
        break;
    case ControlKind::PushButton:
        paintButton(dc, r);
        break;
    case ControlKind::Icon:
        paintIcon(dc, r);
        break;
    }
}

void DialogItem::paintFocus(CDC& dc, const CRect& r) {
    // A dotted frame, as the device marks the focused control.
    for (int x = r.left; x < r.right; x += 2) {
        dc.SetPixel(x, r.top, kBlack);
        dc.SetPixel(x, r.bottom - 1, kBlack);
    }
    for (int y = r.top; y < r.bottom; y += 2) {
        dc.SetPixel(r.left, y, kBlack);
        dc.SetPixel(r.right - 1, y, kBlack);
    }
}

void DialogItem::paintRadio(CDC& dc, const CRect& r) {
    int top = r.top + (r.Height() - kMark) / 2;
    for (int y = 0; y < kMark; ++y) {
        int first = kRing[y][0];
        int last = kRing[y][1];
        dc.SetPixel(first, top + y, kBlack);
        dc.SetPixel(last, top + y, kBlack);
        if (y == 0 || y == kMark - 1)
            for (int x = first; x <= last; ++x) dc.SetPixel(x, top + y, kBlack);
    }
    // The ring's inner corners.
    for (int d : {1, 9}) {
        dc.SetPixel(2, top + d, kBlack);
        dc.SetPixel(8, top + d, kBlack);
        dc.SetPixel(1, top + (d == 1 ? 2 : 8), kBlack);
        dc.SetPixel(9, top + (d == 1 ? 2 : 8), kBlack);
    }
    if (checked_) dc.FillSolidRect(3, top + 3, 5, 5, kBlack);
    paintMarkLabel(dc, r);
}

// The text beside a radio or check mark, with the focus frame around it.
void DialogItem::paintMarkLabel(CDC& dc, const CRect& r) {
    CRect text(r.left + kMark + 4, r.top, r.right, r.bottom);
    CRect used = text;
    dc.DrawText(GetWindowText(), &used, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
    dc.DrawText(GetWindowText(), &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    if (focused_) {
        int h = used.Height();
        int y = r.top + (r.Height() - h) / 2;
        paintFocus(dc, CRect(text.left - 2, y - 1, std::min(used.right + 2, r.right), y + h + 1));
    }
}

void DialogItem::paintCheck(CDC& dc, const CRect& r) {
    int top = r.top + (r.Height() - kMark) / 2;
    CBrush frame(kBlack);
    dc.FrameRect(CRect(0, top, kMark, top + kMark), &frame);
    if (checked_) {
        CPen pen(PS_SOLID, 2, kBlack);
        dc.SelectObject(&pen);
        dc.MoveTo(2, top + 5);
        dc.LineTo(4, top + 7);
        dc.LineTo(9, top + 2);
    }
    paintMarkLabel(dc, r);
}

void DialogItem::paintEdit(CDC& dc, const CRect& r) {
    CBrush frame(kBlack);
    dc.FrameRect(r, &frame);
    CRect inner(r.left + 3, r.top + 1, r.right - 3, r.bottom - 1);
    std::string text = GetWindowText();
    CSize extent = dc.GetTextExtent(text);
    // Auto horizontal scroll: keep the end of the text in view.
    int x = inner.left;
    if (extent.cx > inner.Width() - 2) x = inner.right - 2 - extent.cx;
    int y = inner.top + (inner.Height() - extent.cy) / 2;
    CRect line(x, y, x + extent.cx, y + extent.cy);
    if (selected_) {
        dc.FillSolidRect(CRect(std::max(line.left, inner.left), line.top, std::min(line.right, inner.right), line.bottom), kSelection);
        dc.SetTextColor(kWhite);
    }
    CRect clip = inner;
    clip.OffsetRect(screenOrigin().x, screenOrigin().y);
    clip.IntersectRect(clip, visibleScreenRect(this));
    CDC clipped(WindowSystem::get().screen(), screenOrigin(), clip);
    clipped.SetBkMode(TRANSPARENT);
    clipped.SetTextColor(selected_ ? kWhite : kBlack);
    clipped.DrawText(text, &line, DT_LEFT | DT_SINGLELINE | DT_NOCLIP);
    if (focused_ && !selected_) clipped.FillSolidRect(std::min(line.right + 1, inner.right - 1), y, 1, extent.cy > 0 ? extent.cy : 12, kBlack);
}

void DialogItem::paintButton(CDC& dc, const CRect& r) {
    if (pressed_) {
        dc.FillSolidRect(r, kBlack);
        dc.SetTextColor(kWhite);
    } else {
        CBrush frame(kBlack);
        dc.FrameRect(r, &frame);
    }
    CRect text = r;
    dc.DrawText(GetWindowText(), &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (focused_ && !pressed_) paintFocus(dc, CRect(r.left + 2, r.top + 2, r.right - 2, r.bottom - 2));
}

void DialogItem::paintIcon(CDC& dc, const CRect& r) {
    const BitmapResource* icon = findIcon(std::atoi(GetWindowText().c_str()));
    Surface pixels;
    if (!icon || !decodeBitmap(*icon, pixels)) return;
    int left = r.left + (r.Width() - icon->width) / 2;
    int top = r.top + (r.Height() - icon->height) / 2;
    for (int y = 0; y < icon->height; ++y)
        for (int x = 0; x < icon->width; ++x)
            if (!icon->mask || icon->mask[y * icon->width + x]) dc.SetPixel(left + x, top + y, pixelToRgb(pixels.at(x, y)));
}

}  // namespace zarn
