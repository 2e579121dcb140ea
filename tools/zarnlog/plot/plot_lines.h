#pragma once
// A line panel: levels over time, one line per series (the two tuned channels
// of single-channel records, the slots of channel-table records, or the
// channels of best-servers records). Fed
// twice: scan() with every record's levels for the scale and the legend, then
// trace() with them again. A line keeps only what it paints, column by column:
// its vertical runs in each column and the segments between columns, never
// the records, and is drawn from that pixel for pixel as the whole polyline.

#include <array>
#include <string>
#include <vector>

#include "recording/log_reader.h"
#include "tools/zarnlog/plot/plot_parts.h"

namespace zarn::plot {

class LinePanel {
public:
    // With `dots`, a level after none is marked, so that a series that comes and
    // goes record by record still shows.
    explicit LinePanel(bool dots = false) : dots_(dots) {}
    // One record's levels in dBm, NaN where it has none; `names` of series not yet named.
    // Levels past the names draw no line but widen the scale.
    void scan(const std::vector<double>& dbm, const std::vector<std::string>& names, const LocalTime& time);
    bool empty() const { return span_.records == 0; }
    size_t records() const { return span_.records; }
    int height() const { return kTitleHeight + kLineHeight + kAxisHeight; }

    void beginTracing();
    void trace(CDC& dc, const std::vector<double>& dbm, const LogRecord& r);
    // Draws it with its top at `top`, the title followed by the span of times;
    // the height drawn, 0 when it holds no level.
    int draw(CDC& dc, int top, const std::string& title) const;

private:
    // What one series paints with the 2-pixel pen.
    struct Line {
        std::vector<std::array<uint64_t, 4>> runs;  // per column, rows (from the plot's top) of vertical steps
        std::vector<std::array<int, 4>> segments;   // x0, y0, x1, y1, from one column to another
        bool down = false;
        int lastX = 0, lastY = 0;
    };
    int xOf(size_t i) const;
    int yOf(double dbm) const;  // from the plot's top
    void step(Line& line, int x, int y) const;

    bool dots_;
    Span span_;
    Range db_;
    std::vector<std::string> names_;

    size_t traced_ = 0;
    std::vector<Line> lines_;
    std::vector<size_t> tickRecords_;
    std::vector<LocalTime> tickTimes_;
    NoteMarks notes_;
};

}  // namespace zarn::plot
