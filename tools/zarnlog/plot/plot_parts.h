#pragma once
// What the panels of `zarnlog plot` share: the picture's measures, text and
// lines drawn through CDC, the colour bar, and the notes drawn over a panel.

#include <map>
#include <string>
#include <vector>

#include "platform/gdi/dc.h"
#include "platform/gdi/surface.h"
#include "recording/log_file.h"
#include "tools/zarnlog/plot_scale.h"

namespace zarn::plot {

constexpr int kWidth = 800;
constexpr int kLeft = 70;
constexpr int kRight = 120;
constexpr int kPlotWidth = kWidth - kLeft - kRight;
constexpr int kTitleHeight = 22;
constexpr int kAxisHeight = 34;
constexpr int kLineHeight = 220;
constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kMarker = RGB(230, 90, 0);

// The first and last time stamps of a panel's records.
struct Span {
    LocalTime first{}, last{};
    size_t records = 0;
    void take(const LocalTime& t) {
        if (records++ == 0) first = t;
        last = t;
    }
    std::string text() const;  // "2004-07-09T14:00:00 - 14:05:00"
};

// A white picture of the plot's width and `height`, and a DC on it that writes in
// the plot's font and ink. take() ends the drawing and hands the picture over.
class Canvas {
public:
    explicit Canvas(int height);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    Surface take();

    Surface picture;
    CDC dc;

private:
    CFont font_;
    CFont* oldFont_ = nullptr;
};

void text(CDC& dc, const std::string& s, int x, int y, unsigned align = DT_LEFT);
void line(CDC& dc, int x0, int y0, int x1, int y1, COLORREF colour);
void markerLabel(CDC& dc, const std::string& note, int x, int y);
// The colour bar right of a plot `height` rows high, from db.hi at its top to db.lo at its
// foot, headed by its unit.
void colourBar(CDC& dc, Surface& image, int top, int height, Range db, const char* unit = "dBm");

// Notes of a panel, drawn last, each over what was drawn before it, at a
// place (a waterfall row, a column of a line panel). A note that a later one at
// the same place covers wholly (its label no wider) would leave no pixel of its
// own, so it is not kept: a place keeps at most one note per label width,
// whatever the length of the log.
class NoteMarks {
public:
    void add(CDC& dc, int place, const std::string& note);
    // Calls draw(place, note) for the notes kept, in the order they came.
    template <typename Draw>
    void drawAll(Draw draw) const {
        std::map<size_t, std::pair<int, const std::string*>> inOrder;
        for (const auto& [place, marks] : byPlace_)
            for (const Mark& m : marks) inOrder[m.order] = {place, &m.note};
        for (const auto& [order, mark] : inOrder) draw(mark.first, *mark.second);
    }

private:
    struct Mark {
        size_t order;
        int width;
        std::string note;
    };
    std::map<int, std::vector<Mark>> byPlace_;
    size_t count_ = 0;
};

}  // namespace zarn::plot
