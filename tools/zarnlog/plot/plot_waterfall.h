#pragma once
// The waterfall of one band's sweeps: frequency across (MHz), time down, a row
// per sweep or, with more sweeps than rows, the peak of the sweeps a row
// covers. Fed twice: scan() with every sweep for the scales, then fold() with
// every sweep again into the rows; only the rows are kept.

#include <optional>
#include <string>
#include <vector>

#include "platform/gdi/surface.h"
#include "recording/log_units.h"
#include "tools/zarnlog/plot/plot_parts.h"

namespace zarn::plot {

class Waterfall {
public:
    explicit Waterfall(uint8_t band) : band_(band) {}
    void scan(const Sweep& s, const LogRecord& r);
    bool empty() const { return span_.records == 0; }
    // The levels from the bottom to the top colour; else whole tens of dB around what was seen.
    void setScale(const Range& scale) { scale_ = scale; }
    // Its share of the picture's height, drawn or not.
    int height() const;

    void beginFolding(const LogPlans& plans);
    void fold(CDC& dc, const Sweep& s, const LogRecord& r);
    // Draws it with its top at `top`; the height drawn, 0 when no point was measured.
    int draw(CDC& dc, Surface& image, int top) const;

private:
    int rows() const;
    int rowOf(size_t sweep) const;

    uint8_t band_;
    Span span_;
    Range hz_, db_;
    uint32_t step_ = 0;
    std::optional<Range> scale_;

    // Folding.
    size_t folded_ = 0;
    std::vector<int> x0_, x1_;  // columns each offset's point covers
    std::vector<float> cells_, row_;
    std::vector<size_t> tickSweeps_;
    std::vector<LocalTime> tickTimes_;
    NoteMarks notes_;
};

}  // namespace zarn::plot
