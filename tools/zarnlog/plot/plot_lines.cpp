#include "tools/zarnlog/plot/plot_lines.h"

#include <algorithm>

#include "survey/log_text.h"

namespace zarn::plot {
namespace {

constexpr COLORREF kGrid = RGB(220, 220, 220);
constexpr COLORREF kSeries[] = {RGB(31, 119, 180), RGB(255, 127, 14), RGB(44, 160, 44),  RGB(214, 39, 40),
                                RGB(148, 103, 189), RGB(140, 86, 75), RGB(227, 119, 194), RGB(127, 127, 127),
                                RGB(188, 189, 34), RGB(23, 190, 207)};
constexpr int kRunRows = 4 * 64;

}  // namespace

void LinePanel::scan(const std::vector<double>& dbm, const std::vector<std::string>& names, const LocalTime& time) {
    span_.take(time);
    for (double v : dbm)
        if (!std::isnan(v)) db_.take(v);
    if (names_.size() < names.size()) names_.resize(names.size());
    for (size_t k = 0; k < names.size(); ++k)
        if (names_[k].empty()) names_[k] = names[k];
}

int LinePanel::xOf(size_t i) const {
    const long long n = static_cast<long long>(span_.records);
    return kLeft + (n > 1 ? static_cast<int>(static_cast<long long>(i) * (kPlotWidth - 1) / (n - 1)) : kPlotWidth / 2);
}

int LinePanel::yOf(double v) const {
    const Range scale = db_.tens();
    return static_cast<int>(std::lround((scale.hi - v) / (scale.hi - scale.lo) * (kLineHeight - 1)));
}

void LinePanel::beginTracing() {
    traced_ = 0;
    lines_.assign(names_.size(), Line{});
    for (Line& l : lines_) l.runs.resize(kPlotWidth);
    const long long n = static_cast<long long>(span_.records), ticks = std::min(n, 6LL);
    for (long long k = 0; k < ticks; ++k)
        tickRecords_.push_back(static_cast<size_t>(n > 1 ? k * (n - 1) / std::max(1LL, ticks - 1) : 0));
    tickTimes_.resize(tickRecords_.size());
}

// LineTo from the line's last point: a step within a column paints, as the pen
// does, the rows from where it starts up to but not including where it ends.
void LinePanel::step(Line& line, int x, int y) const {
    const int column = x - kLeft;
    if (dots_ && !line.down && span_.records > 1) {
        line.segments.push_back({std::max(x - 2, kLeft), y, std::min(x + 2, kLeft + kPlotWidth - 1), y});
    } else if (span_.records == 1) {
        line.segments.push_back({x, y, x + 1, y});
    } else if (line.down && x == line.lastX && column >= 0 && column < kPlotWidth && y >= 0 && y < kRunRows &&
               line.lastY >= 0 && line.lastY < kRunRows) {
        const int from = line.lastY < y ? line.lastY : y + 1, to = line.lastY < y ? y : line.lastY + 1;
        for (int row = from; row < to; ++row) line.runs[column][row >> 6] |= uint64_t{1} << (row & 63);
    } else if (line.down) {
        line.segments.push_back({line.lastX, line.lastY, x, y});
    }
    line.down = true;
    line.lastX = x;
    line.lastY = y;
}

void LinePanel::trace(CDC& dc, const std::vector<double>& dbm, const LogRecord& r) {
    const size_t i = traced_++;
    for (size_t k = 0; k < tickRecords_.size(); ++k)
        if (tickRecords_[k] == i) tickTimes_[k] = r.time;
    if (!r.note.empty()) notes_.add(dc, xOf(i), r.note);
    if (db_.empty()) return;
    for (size_t k = 0; k < lines_.size(); ++k) {
        const double v = k < dbm.size() ? dbm[k] : std::numeric_limits<double>::quiet_NaN();
        if (std::isnan(v)) lines_[k].down = false;
        else step(lines_[k], xOf(i), yOf(v));
    }
}

int LinePanel::draw(CDC& dc, int top, const std::string& title) const {
    if (db_.empty()) return 0;
    const Range scale = db_.tens();
    const int plotTop = top + kTitleHeight;
    auto yAt = [&](double v) { return plotTop + yOf(v); };
    const double step = niceStep(scale.hi - scale.lo, 6);
    for (double v = scale.lo; v <= scale.hi + 1e-9; v += step) {
        line(dc, kLeft, yAt(v), kLeft + kPlotWidth, yAt(v), kGrid);
        text(dc, std::to_string(static_cast<int>(v)), kLeft - 7, yAt(v) - 6, DT_RIGHT);
    }
    text(dc, "dBm", kLeft - 7, plotTop - 16, DT_RIGHT);
    for (size_t k = 0; k < lines_.size(); ++k) {
        CPen pen(PS_SOLID, 2, kSeries[k % 10]);
        CPen* old = dc.SelectObject(&pen);
        for (int column = 0; column < kPlotWidth; ++column)
            for (int row = 0; row < kRunRows; ++row)
                if (lines_[k].runs[column][row >> 6] >> (row & 63) & 1) {
                    dc.MoveTo(kLeft + column, plotTop + row);
                    dc.LineTo(kLeft + column, plotTop + row + 1);
                }
        for (const auto& s : lines_[k].segments) {
            dc.MoveTo(s[0], plotTop + s[1]);
            dc.LineTo(s[2], plotTop + s[3]);
        }
        dc.SelectObject(old);
        const int ly = plotTop + 4 + 14 * static_cast<int>(k);
        if (ly + 14 > plotTop + kLineHeight) continue;
        line(dc, kLeft + kPlotWidth + 8, ly + 6, kLeft + kPlotWidth + 22, ly + 6, kSeries[k % 10]);
        text(dc, names_[k], kLeft + kPlotWidth + 25, ly);
    }
    CBrush frame(kInk);
    dc.FrameRect(CRect{kLeft - 1, plotTop - 1, kLeft + kPlotWidth + 1, plotTop + kLineHeight + 1}, &frame);
    text(dc, title + span_.text(), kLeft, top + 4);
    for (size_t k = 0; k < tickRecords_.size(); ++k) {
        const int x = xOf(tickRecords_[k]);
        line(dc, x, plotTop + kLineHeight, x, plotTop + kLineHeight + 5, kInk);
        text(dc, clockTime(tickTimes_[k]), x, plotTop + kLineHeight + 7, DT_CENTER);
    }
    text(dc, "time", kLeft + kPlotWidth, plotTop + kLineHeight + 20, DT_RIGHT);
    notes_.drawAll([&](int x, const std::string& note) {
        line(dc, x, plotTop, x, plotTop + kLineHeight + 8, kMarker);
        markerLabel(dc, note, x + 3, plotTop + 2);
    });
    return kTitleHeight + kLineHeight + kAxisHeight;
}

}  // namespace zarn::plot
