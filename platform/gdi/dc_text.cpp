// DrawText and text measuring for CDC.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/gdi/dc.h"

namespace zarn {
namespace {

void splitLines(std::string_view text, std::vector<std::string_view>& out) {
    size_t start = 0;
    while (true) {
        size_t nl = text.find('\n', start);
        std::string_view line = text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        out.push_back(line);
        if (nl == std::string_view::npos) return;
        start = nl + 1;
    }
}

// Breaks one line at blanks so that each piece fits width; a word wider than width stands alone.
void wrapLine(std::string_view line, int width, const FontFace& face, std::vector<std::string_view>& out) {
    while (true) {
        if (face.textWidth(line) <= width) break;
        size_t cut = std::string_view::npos;
        for (size_t i = 1; i < line.size(); ++i)
            if (line[i] == ' ' && face.textWidth(line.substr(0, i)) <= width) cut = i;
        if (cut == std::string_view::npos) cut = line.find(' ', 1);
        if (cut == std::string_view::npos) break;
        out.push_back(line.substr(0, cut));
        size_t next = line.find_first_not_of(' ', cut);
        line = next == std::string_view::npos ? std::string_view() : line.substr(next);
    }
    out.push_back(line);
}

}  // namespace

const FontFace* CDC::currentFace() {
    if (!face_) face_ = loadFontFace(FontFace::Size::Small);
    return face_.get();
}

CSize CDC::GetTextExtent(std::string_view text) {
    const FontFace* face = currentFace();
    if (!face) return {};
    return {face->textWidth(text), face->height()};
}

void CDC::drawLine(std::string_view line, int x, int y, const CRect& clip) {
    const FontFace& face = *face_;
    CRect cell(x, y, x + face.textWidth(line), y + face.height());
    if (bkMode_ == OPAQUE) {
        CRect fill;
        if (fill.IntersectRect(cell, clip)) fillDevice(fill, rgbToPixel(bkColor_));
    }
    uint32_t p = rgbToPixel(textColor_);
    for (char c : line) {
        const Glyph& g = face.glyph(static_cast<uint8_t>(c));
        int gx = x + g.left, gy = y + g.top;
        CRect box(gx, gy, gx + g.width, gy + g.height), vis;
        if (vis.IntersectRect(box, clip)) {
            for (int yy = vis.top; yy < vis.bottom; ++yy) {
                const uint8_t* m = &g.mask[static_cast<size_t>(yy - gy) * g.width];
                uint32_t* row = &target_->at(0, yy);
                for (int xx = vis.left; xx < vis.right; ++xx)
                    if (m[xx - gx]) row[xx] = p;
            }
        }
        x += g.advance;
    }
}

int CDC::DrawText(std::string_view text, CRect* rect, unsigned format) {
    const FontFace* face = currentFace();
    if (!face || !rect) return 0;
    std::vector<std::string_view> lines;
    if (format & DT_SINGLELINE) {
        lines.push_back(text);
    } else {
        std::vector<std::string_view> raw;
        splitLines(text, raw);
        for (auto line : raw) {
            if (format & DT_WORDBREAK) wrapLine(line, rect->Width(), *face, lines);
            else lines.push_back(line);
        }
    }
    int lineHeight = face->height();
    int total = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (auto line : lines) widest = std::max(widest, face->textWidth(line));
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    if (!target_) return total;
    CRect r = *rect;
    r.OffsetRect(origin_.x, origin_.y);
    CRect clip = clip_;
    if (!(format & DT_NOCLIP)) clip.IntersectRect(clip, r);
    int y = r.top;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER)) y = r.top + ((r.Height() - lineHeight) >> 1);
    else if ((format & DT_SINGLELINE) && (format & DT_BOTTOM)) y = r.bottom - lineHeight;
    for (auto line : lines) {
        int w = face->textWidth(line), x = r.left;
        if (format & DT_CENTER) x = r.left + ((r.Width() - w) >> 1);
        else if (format & DT_RIGHT) x = r.right - w;
        if (!clip.IsRectEmpty()) drawLine(line, x, y, clip);
        y += lineHeight;
    }
    return total;
}

int CDC::DrawText(std::string_view text, const CRect& rect, unsigned format) {
    CRect r = rect;
    return DrawText(text, &r, format);
}

int CDC::DrawText(std::wstring_view text, const CRect& rect, unsigned format) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) narrow.push_back(c >= 0 && c < 256 ? static_cast<char>(c) : '?');
    CRect r = rect;
    return DrawText(narrow, &r, format);
}

}  // namespace zarn
