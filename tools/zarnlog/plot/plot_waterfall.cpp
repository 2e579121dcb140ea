#include "tools/zarnlog/plot/plot_waterfall.h"

#include <algorithm>

#include "survey/colour_map.h"
#include "survey/log_text.h"

namespace zarn::plot {
namespace {

constexpr COLORREF kNoData = RGB(200, 200, 200);
constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

void frequencyAxis(CDC& dc, int top, int height, double loHz, double hiHz) {
    const double loMhz = loHz / 1e6, span = (hiHz - loHz) / 1e6;
    const double step = niceStep(span, 8);
    for (double t = std::ceil(loMhz / step) * step; t <= loMhz + span + 1e-9; t += step) {
        const int x = kLeft + static_cast<int>(std::lround((t - loMhz) / span * (kPlotWidth - 1)));
        line(dc, x, top + height, x, top + height + 5, kInk);
        text(dc, megahertzLabel(t, step), x, top + height + 7, DT_CENTER);
    }
    text(dc, "MHz", kLeft + kPlotWidth, top + height + 20, DT_RIGHT);
}

}  // namespace

void Waterfall::scan(const Sweep& s, const LogRecord& r) {
    span_.take(r.time);
    step_ = std::max(step_, s.stepHz);
    for (const SweepPoint& p : s.points)
        if (p.measured()) {
            hz_.take(p.hz);
            db_.take(dbmOfLevel(p.level));
        }
}

int Waterfall::rows() const { return std::clamp<int>(static_cast<int>(span_.records), 160, 600); }

int Waterfall::height() const { return kTitleHeight + rows() + kAxisHeight; }

int Waterfall::rowOf(size_t sweep) const {
    return static_cast<int>(static_cast<long long>(sweep) * rows() / static_cast<long long>(span_.records));
}

void Waterfall::beginFolding(const LogPlans& plans) {
    folded_ = 0;
    if (hz_.empty()) return;
    const double loHz = hz_.lo, hiHz = hz_.hi + step_;
    const double perHz = kPlotWidth / (hiHz - loHz);
    // Points of one offset always cover the same columns.
    for (uint32_t offset = 0; plans.offsetHz(band_, offset) != 0; ++offset) {
        const uint32_t hz = plans.offsetHz(band_, offset);
        const int x0 = std::clamp(static_cast<int>((hz - loHz) * perHz), 0, kPlotWidth - 1);
        x0_.push_back(x0);
        x1_.push_back(std::clamp(static_cast<int>((hz + step_ - loHz) * perHz), x0 + 1, kPlotWidth));
    }
    cells_.assign(static_cast<size_t>(kPlotWidth) * rows(), kNone);
    row_.resize(kPlotWidth);
    const int n = static_cast<int>(span_.records), ticks = std::min(n, 8);
    for (int k = 0; k < ticks; ++k) tickSweeps_.push_back(static_cast<size_t>(static_cast<long long>(k) * n / ticks));
    tickTimes_.resize(tickSweeps_.size());
}

void Waterfall::fold(CDC& dc, const Sweep& s, const LogRecord& r) {
    const size_t i = folded_++;
    if (cells_.empty()) return;
    for (size_t k = 0; k < tickSweeps_.size(); ++k)
        if (tickSweeps_[k] == i) tickTimes_[k] = r.time;
    if (!r.note.empty()) notes_.add(dc, rowOf(i), r.note);
    std::fill(row_.begin(), row_.end(), kNone);
    for (const SweepPoint& p : s.points) {
        if (!p.measured()) continue;
        const float v = static_cast<float>(dbmOfLevel(p.level));
        for (int x = x0_[p.offset]; x < x1_[p.offset]; ++x) row_[x] = std::isnan(row_[x]) ? v : std::max(row_[x], v);
    }
    const int height = rows(), n = static_cast<int>(span_.records);
    const int y0 = rowOf(i);
    const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<long long>(i + 1) * height / n));
    for (int y = y0; y < y1 && y < height; ++y) {
        float* cell = &cells_[static_cast<size_t>(y) * kPlotWidth];
        for (int x = 0; x < kPlotWidth; ++x)
            if (!std::isnan(row_[x])) cell[x] = std::isnan(cell[x]) ? row_[x] : std::max(cell[x], row_[x]);
    }
}

int Waterfall::draw(CDC& dc, Surface& image, int top) const {
    if (cells_.empty()) return 0;
    const Range scale = scale_.value_or(db_.tens());
    const int height = rows(), plotTop = top + kTitleHeight;
    const double range = scale.hi - scale.lo;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < kPlotWidth; ++x) {
            const float v = cells_[static_cast<size_t>(y) * kPlotWidth + x];
            image.at(kLeft + x, plotTop + y) = std::isnan(v) ? rgbToPixel(kNoData) : viridisPixel((v - scale.lo) / range);
        }
    CBrush frame(kInk);
    dc.FrameRect(CRect{kLeft - 1, plotTop - 1, kLeft + kPlotWidth + 1, plotTop + height + 1}, &frame);
    text(dc, std::string(band_ == 0 ? "Spectrum, 800 MHz band: " : "Spectrum, 1900 MHz band: ") +
                 std::to_string(span_.records) + " sweeps, " + span_.text(),
         kLeft, top + 4);
    frequencyAxis(dc, plotTop, height, hz_.lo, hz_.hi + step_);
    colourBar(dc, image, plotTop, height, scale);
    for (size_t k = 0; k < tickSweeps_.size(); ++k) {
        const int y = plotTop + rowOf(tickSweeps_[k]);
        line(dc, kLeft - 5, y, kLeft, y, kInk);
        text(dc, clockTime(tickTimes_[k]), kLeft - 7, y - 6, DT_RIGHT);
    }
    notes_.drawAll([&](int row, const std::string& note) {
        const int y = plotTop + row;
        line(dc, kLeft - 8, y, kLeft + 12, y, kMarker);
        line(dc, kLeft - 8, y + 1, kLeft + 12, y + 1, kMarker);
        markerLabel(dc, note, kLeft + 15, y - 6);
    });
    return height + kTitleHeight + kAxisHeight;
}

}  // namespace zarn::plot
