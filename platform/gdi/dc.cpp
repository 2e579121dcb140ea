#include "platform/gdi/dc.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace zarn {
namespace {

// What a fresh context has selected, as in GDI: black pen, white brush, the system font.
CPen stockPen(PS_SOLID, 1, RGB(0, 0, 0));
CBrush stockBrush(RGB(255, 255, 255));
CFont stockFont;
CBitmap stockBitmap;

}  // namespace

CDC::CDC(Surface& target, CPoint origin, std::optional<CRect> clip) { retarget(&target, origin, clip); }

void CDC::retarget(Surface* target, CPoint origin, std::optional<CRect> clip) {
    target_ = target;
    origin_ = origin;
    CRect bounds = target ? CRect(0, 0, target->width, target->height) : CRect();
    if (clip) bounds.IntersectRect(bounds, *clip);
    clip_ = bounds;
}

bool CDC::CreateCompatibleDC(CDC*) {
    retarget(nullptr, {}, std::nullopt);
    bitmap_.reset();
    bitmapObject_ = &stockBitmap;
    return true;
}

bool CDC::DeleteDC() {
    retarget(nullptr, {}, std::nullopt);
    bitmap_.reset();
    return true;
}

CPen* CDC::SelectObject(CPen* pen) {
    if (!pen) return nullptr;
    CPen* old = pen_ ? pen_ : &stockPen;
    pen_ = pen;
    penStyle_ = pen->style();
    penWidth_ = pen->width() >= 2 ? 2 : 1;
    penColor_ = pen->color();
    return old;
}

CBrush* CDC::SelectObject(CBrush* brush) {
    if (!brush) return nullptr;
    CBrush* old = brush_ ? brush_ : &stockBrush;
    brush_ = brush;
    brushColor_ = brush->color();
    return old;
}

CFont* CDC::SelectObject(CFont* font) {
    if (!font) return nullptr;
    CFont* old = font_ ? font_ : &stockFont;
    font_ = font;
    face_ = font->face();
    return old;
}

CBitmap* CDC::SelectObject(CBitmap* bitmap) {
    if (!bitmap) return nullptr;
    CBitmap* old = bitmapObject_ ? bitmapObject_ : &stockBitmap;
    bitmapObject_ = bitmap;
    bitmap_ = bitmap->store();
    if (!bitmap_) {
        retarget(nullptr, {}, std::nullopt);
    } else if (bitmap_->isDib()) {
        // Only the copies draw into a DIB section; they reach it through bitmap_.
        retarget(nullptr, {}, std::nullopt);
        clip_ = CRect(0, 0, bitmap_->width, bitmap_->height);
    } else {
        retarget(&bitmap_->surface, {}, std::nullopt);
    }
    return old;
}

COLORREF CDC::SetTextColor(COLORREF c) { return std::exchange(textColor_, c); }
COLORREF CDC::SetBkColor(COLORREF c) { return std::exchange(bkColor_, c); }
int CDC::SetBkMode(int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return std::exchange(bkMode_, mode);
}

CRect CDC::clipBox() const {
    CRect r = clip_;
    r.OffsetRect(-origin_.x, -origin_.y);
    return r;
}

void CDC::fillDevice(CRect r, uint32_t pixel) {
    if (!target_ || !r.IntersectRect(r, clip_)) return;
    for (int y = r.top; y < r.bottom; ++y) {
        uint32_t* row = &target_->at(r.left, y);
        std::fill(row, row + r.Width(), pixel);
    }
}

void CDC::plot(int x, int y, uint32_t pixel) {
    x += origin_.x;
    y += origin_.y;
    if (target_ && x >= clip_.left && x < clip_.right && y >= clip_.top && y < clip_.bottom)
        target_->at(x, y) = pixel;
}

void CDC::FillSolidRect(int x, int y, int w, int h, COLORREF c) {
    bkColor_ = c;
    if (w <= 0 || h <= 0) return;
    fillDevice(CRect(x + origin_.x, y + origin_.y, x + origin_.x + w, y + origin_.y + h), rgbToPixel(c));
}

void CDC::FillRect(const CRect& r, CBrush* brush) {
    if (!brush) return;
    CRect d = r;
    d.OffsetRect(origin_.x, origin_.y);
    fillDevice(d, rgbToPixel(brush->color()));
}

void CDC::FrameRect(const CRect& r, CBrush* brush) {
    if (!brush || r.IsRectEmpty()) return;
    uint32_t p = rgbToPixel(brush->color());
    int l = r.left + origin_.x, t = r.top + origin_.y, rr = r.right + origin_.x, b = r.bottom + origin_.y;
    fillDevice(CRect(l, t, rr, t + 1), p);
    fillDevice(CRect(l, b - 1, rr, b), p);
    fillDevice(CRect(l, t, l + 1, b), p);
    fillDevice(CRect(rr - 1, t, rr, b), p);
}

bool CDC::Rectangle(int l, int t, int r, int b) {
    CRect rect(l, t, r, b);
    rect.NormalizeRect();
    rect.OffsetRect(origin_.x, origin_.y);
    if (rect.IsRectEmpty()) return true;
    int ring = penStyle_ == PS_NULL ? 0 : penWidth_;
    CRect inner = rect;
    inner.InflateRect(-ring, -ring);
    if (!inner.IsRectEmpty()) fillDevice(inner, rgbToPixel(brushColor_));
    if (ring == 0) return true;
    uint32_t p = rgbToPixel(penColor_);
    fillDevice(CRect(rect.left, rect.top, rect.right, std::min(rect.top + ring, rect.bottom)), p);
    fillDevice(CRect(rect.left, std::max(rect.bottom - ring, rect.top), rect.right, rect.bottom), p);
    fillDevice(CRect(rect.left, rect.top, std::min(rect.left + ring, rect.right), rect.bottom), p);
    fillDevice(CRect(std::max(rect.right - ring, rect.left), rect.top, rect.right, rect.bottom), p);
    return true;
}

CPoint CDC::MoveTo(int x, int y) { return std::exchange(position_, CPoint(x, y)); }

bool CDC::LineTo(int x, int y) {
    drawSegment(position_, CPoint(x, y));
    position_ = CPoint(x, y);
    return true;
}

void CDC::drawSegment(CPoint from, CPoint to) {
    if (penStyle_ == PS_NULL || !target_) return;
    int dx = std::abs(to.x - from.x), dy = -std::abs(to.y - from.y);
    int sx = from.x < to.x ? 1 : -1, sy = from.y < to.y ? 1 : -1;
    bool xMajor = dx >= -dy;
    int tx = penWidth_ == 2 && !xMajor ? 1 : 0, ty = penWidth_ == 2 && xMajor ? 1 : 0;
    // A segment wholly beyond one edge of the clip draws nothing.
    int minX = std::min(from.x, to.x) + origin_.x, maxX = std::max(from.x, to.x) + origin_.x + tx;
    int minY = std::min(from.y, to.y) + origin_.y, maxY = std::max(from.y, to.y) + origin_.y + ty;
    if (maxX < clip_.left || minX >= clip_.right || maxY < clip_.top || minY >= clip_.bottom) return;
    uint32_t p = rgbToPixel(penColor_);
    int err = dx + dy, x = from.x, y = from.y;
    while (x != to.x || y != to.y) {
        plot(x, y, p);
        if (tx || ty) plot(x + tx, y + ty, p);
        int e2 = 2 * err;
        if (e2 >= dy) { err += dy; x += sx; }
        if (e2 <= dx) { err += dx; y += sy; }
    }
}

COLORREF CDC::SetPixel(int x, int y, COLORREF c) {
    plot(x, y, rgbToPixel(c));
    return c;
}

COLORREF CDC::GetPixel(int x, int y) const {
    x += origin_.x;
    y += origin_.y;
    if (!target_ || !clip_.PtInRect(CPoint(x, y))) return 0xFFFFFFFF;
    return pixelToRgb(target_->at(x, y));
}

}  // namespace zarn
