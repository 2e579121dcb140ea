// BitBlt and StretchBlt for CDC.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gdi/dc.h"

namespace zarn {

// Reads and writes the pixels of a context, whether it draws on a surface or a DIB section.
struct Blitter {
    static bool readable(const CDC& dc) { return dc.target_ || (dc.bitmap_ && dc.bitmap_->isDib()); }
    static uint32_t read(const CDC& dc, int x, int y) {
        return dc.target_ ? dc.target_->at(x, y) : dc.bitmap_->pixel(x, y);
    }
    static void write(CDC& dc, int x, int y, uint32_t p) {
        if (dc.target_) dc.target_->at(x, y) = p;
        else dc.bitmap_->setPixel(x, y, p);
    }
    static bool bothSurfaces(const CDC& a, const CDC& b) { return a.target_ && b.target_; }
};

bool CDC::BitBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, uint32_t rop) {
    if (rop != SRCCOPY || !src || !Blitter::readable(*this) || !Blitter::readable(*src)) return false;
    if (w <= 0 || h <= 0) return true;
    int dx0 = x + origin_.x, dy0 = y + origin_.y;
    int sx0 = sx + src->origin_.x, sy0 = sy + src->origin_.y;
    // Columns j in [0, w) that land inside the destination clip and read inside the source clip.
    int j0 = std::max({0, clip_.left - dx0, src->clip_.left - sx0});
    int j1 = std::min({w, clip_.right - dx0, src->clip_.right - sx0});
    if (j1 <= j0) return true;
    bool upward = target_ == src->target_ && dy0 > sy0;
    for (int n = 0; n < h; ++n) {
        int i = upward ? h - 1 - n : n;
        int dy = dy0 + i, syy = sy0 + i;
        if (dy < clip_.top || dy >= clip_.bottom || syy < src->clip_.top || syy >= src->clip_.bottom) continue;
        if (Blitter::bothSurfaces(*this, *src)) {
            std::memmove(&target_->at(dx0 + j0, dy), &src->target_->at(sx0 + j0, syy),
                         sizeof(uint32_t) * static_cast<size_t>(j1 - j0));
        } else {
            for (int j = j0; j < j1; ++j) Blitter::write(*this, dx0 + j, dy, Blitter::read(*src, sx0 + j, syy));
        }
    }
    return true;
}

bool CDC::StretchBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, uint32_t rop) {
    if (rop != SRCCOPY || !src || !Blitter::readable(*this) || !Blitter::readable(*src)) return false;
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
    int dx0 = x + origin_.x, dy0 = y + origin_.y;
    int sx0 = sx + src->origin_.x, sy0 = sy + src->origin_.y;
    int j0 = std::max(0, clip_.left - dx0), j1 = std::min(w, clip_.right - dx0);
    if (j1 <= j0) return true;
    // Source column of each destination column, sampled at the column's centre; -1 when outside.
    std::vector<int> column(static_cast<size_t>(j1 - j0));
    for (int j = j0; j < j1; ++j) {
        int c = sx0 + static_cast<int>((2LL * j + 1) * sw / (2LL * w));
        column[j - j0] = c >= src->clip_.left && c < src->clip_.right ? c : -1;
    }
    bool fast = Blitter::bothSurfaces(*this, *src);
    for (int i = 0; i < h; ++i) {
        int dy = dy0 + i;
        if (dy < clip_.top || dy >= clip_.bottom) continue;
        int syy = sy0 + static_cast<int>((2LL * i + 1) * sh / (2LL * h));
        if (syy < src->clip_.top || syy >= src->clip_.bottom) continue;
        if (fast) {
            uint32_t* out = &target_->at(0, dy);
            const uint32_t* in = &src->target_->at(0, syy);
            for (int j = j0; j < j1; ++j)
                if (int c = column[j - j0]; c >= 0) out[dx0 + j] = in[c];
        } else {
            for (int j = j0; j < j1; ++j)
                if (int c = column[j - j0]; c >= 0) Blitter::write(*this, dx0 + j, dy, Blitter::read(*src, c, syy));
        }
    }
    return true;
}

}  // namespace zarn
