#include "tools/zarnlog/plot/plot_parts.h"

#include <algorithm>
#include <utility>

#include "survey/colour_map.h"
#include "survey/log_text.h"

namespace zarn::plot {

std::string Span::text() const { return isoTime(first) + " - " + clockTime(last); }

Canvas::Canvas(int height) : picture(kWidth, height, rgbToPixel(RGB(255, 255, 255))), dc(picture) {
    font_.CreatePointFont(80, "System");
    oldFont_ = dc.SelectObject(&font_);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(kInk);
}

Surface Canvas::take() {
    dc.SelectObject(oldFont_);
    return std::move(picture);
}

void text(CDC& dc, const std::string& s, int x, int y, unsigned align) {
    const CRect r = (align & DT_RIGHT)    ? CRect{x - 300, y, x, y + 14}
                    : (align & DT_CENTER) ? CRect{x - 150, y, x + 150, y + 14}
                                          : CRect{x, y, x + 300, y + 14};
    dc.DrawText(s, r, align | DT_SINGLELINE | DT_NOCLIP);
}

void line(CDC& dc, int x0, int y0, int x1, int y1, COLORREF colour) {
    CPen pen(PS_SOLID, 1, colour);
    CPen* old = dc.SelectObject(&pen);
    dc.MoveTo(x0, y0);
    dc.LineTo(x1, y1);
    dc.SelectObject(old);
}

void colourBar(CDC& dc, Surface& image, int top, int height, Range db, const char* unit) {
    const int x = kLeft + kPlotWidth + 26;
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < 14; ++i) image.at(x + i, top + y) = viridisPixel(1.0 - y / double(height - 1));
    CBrush frame(kInk);
    dc.FrameRect(CRect{x - 1, top - 1, x + 15, top + height + 1}, &frame);
    const double step = niceStep(db.hi - db.lo, 8);
    for (double v = db.lo; v <= db.hi + 1e-9; v += step) {
        const int y = top + static_cast<int>(std::lround((db.hi - v) / (db.hi - db.lo) * (height - 1)));
        line(dc, x + 15, y, x + 19, y, kInk);
        text(dc, std::to_string(static_cast<int>(v)), x + 21, y - 6);
    }
    text(dc, unit, x - 4, top - 16);
}

void markerLabel(CDC& dc, const std::string& note, int x, int y) {
    dc.SetBkMode(OPAQUE);
    dc.SetBkColor(RGB(255, 255, 255));
    dc.SetTextColor(kMarker);
    text(dc, note, x, y);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(kInk);
}

void NoteMarks::add(CDC& dc, int place, const std::string& note) {
    const int width = dc.GetTextExtent(note).cx;
    std::vector<Mark>& marks = byPlace_[place];
    std::erase_if(marks, [&](const Mark& m) { return m.width <= width; });
    marks.push_back({count_++, width, note});
}

}  // namespace zarn::plot
