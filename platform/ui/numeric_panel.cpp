#include "platform/ui/numeric_panel.h"

#include "platform/ui/window_dc.h"

namespace zarn {

namespace {
// Each key: its character and its place; 0 spans the first two columns.
struct Key {
    char ch;
    int row, column, span;
    const char* label;
};
constexpr Key kKeys[] = {
    {'7', 0, 0, 1, "7"}, {'8', 0, 1, 1, "8"}, {'9', 0, 2, 1, "9"}, {'\b', 0, 3, 1, "\xAB Del"},
    {'4', 1, 0, 1, "4"}, {'5', 1, 1, 1, "5"}, {'6', 1, 2, 1, "6"}, {'-', 1, 3, 1, "-"},
    {'1', 2, 0, 1, "1"}, {'2', 2, 1, 1, "2"}, {'3', 2, 2, 1, "3"}, {'.', 2, 3, 1, "."},
    {'0', 3, 0, 2, "0"}, {0, 3, 2, 2, "Hide"},
};

CRect rectOf(const Key& k) {
    CRect r = NumericPanel::keyRect(k.row, k.column);
    r.right += (k.span - 1) * NumericPanel::kKeyWidth;
    return r;
}
}  // namespace

BOOL NumericPanel::createIn(CWnd* parent, std::function<void(char)> listener) {
    listener_ = std::move(listener);
    CRect client;
    parent->GetClientRect(&client);
    return Create(nullptr, "", WS_CHILD, CRect(0, client.bottom - kHeight, client.right, client.bottom), parent, 0);
}

CRect NumericPanel::keyRect(int row, int column) {
    int left = column * kKeyWidth;
    int top = 2 + row * kKeyHeight;
    return CRect(left + 1, top + 1, left + kKeyWidth - 1, top + kKeyHeight - 1);
}

char NumericPanel::keyAt(CPoint p) {
    for (const Key& k : kKeys)
        if (rectOf(k).PtInRect(p)) return k.ch;
    return -1;
}

void NumericPanel::OnPaint() {
    WindowDC dc(this);
    CRect r;
    GetClientRect(&r);
    dc.FillSolidRect(r, RGB(192, 192, 192));
    dc.FillSolidRect(0, 0, r.right, 1, RGB(0, 0, 0));
    CBrush frame(RGB(0, 0, 0));
    dc.SetBkMode(TRANSPARENT);
    for (const Key& k : kKeys) {
        CRect key = rectOf(k);
        bool down = k.ch == pressed_;
        dc.FillSolidRect(key, down ? RGB(0, 0, 0) : RGB(255, 255, 255));
        dc.FrameRect(key, &frame);
        dc.SetTextColor(down ? RGB(255, 255, 255) : RGB(0, 0, 0));
        dc.DrawText(k.label, &key, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

void NumericPanel::OnLButtonDown(UINT, CPoint point) {
    pressed_ = keyAt(point);
    Invalidate(FALSE);
}

void NumericPanel::OnLButtonUp(UINT, CPoint point) {
    char down = pressed_;
    pressed_ = -1;
    Invalidate(FALSE);
    if (down != -1 && keyAt(point) == down && listener_) listener_(down);
}

}  // namespace zarn
