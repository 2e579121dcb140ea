#include "tools/zarnlog/plot/plot_occupancy.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>

#include "survey/colour_map.h"
#include "survey/log_text.h"
#include "tools/zarnlog/occupancy_cells.h"
#include "tools/zarnlog/plot/plot_parts.h"

namespace zarn {
namespace {

using namespace plot;


// One band: its places across, its periods down.
class OccupancyPanel {
public:
    explicit OccupancyPanel(uint8_t band) : band_(band) {}
    void scan(uint32_t hz) { scanned_.insert(hz); }
    bool empty() const { return scanned_.empty(); }
    int height() const { return kTitleHeight + rows() + kAxisHeight; }

    void beginFolding(long long firstPeriod, long long periods, long long periodSeconds) {
        places_.assign(scanned_.begin(), scanned_.end());
        first_ = firstPeriod;
        periods_ = periods;
        periodSeconds_ = periodSeconds;
        cells_ = OccupancyCells(kPlotWidth, rows());
    }

    void fold(const OccupancyPeriod& p) {
        const long long i = (p.start - first_) / periodSeconds_;
        const long long n = static_cast<long long>(places_.size());
        for (const OccupancyRow& r : p.rows) {
            if (r.band != band_) continue;
            const auto at = std::lower_bound(places_.begin(), places_.end(), r.hz);
            if (at == places_.end() || *at != r.hz) continue;
            cells_.fold(at - places_.begin(), n, i, periods_, static_cast<float>(r.occupancy()));
        }
    }

    int draw(CDC& dc, Surface& image, int top, const std::string& about) const {
        const int height = rows(), plotTop = top + kTitleHeight;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < kPlotWidth; ++x) {
                const float v = cells_.at(x, y);
                image.at(kLeft + x, plotTop + y) = v == OccupancyCells::kNone ? kNoPeriodPixel : viridisPixel(v);
            }
        CBrush frame(kInk);
        dc.FrameRect(CRect{kLeft - 1, plotTop - 1, kLeft + kPlotWidth + 1, plotTop + height + 1}, &frame);
        text(dc, std::string(band_ == 0 ? "Occupancy, 800 MHz band: " : "Occupancy, 1900 MHz band: ") + about, kLeft,
             top + 4);
        placeAxis(dc, plotTop + height);
        colourBar(dc, image, plotTop, height, Range{0, 100}, "%");
        timeAxis(dc, plotTop);
        return height + kTitleHeight + kAxisHeight;
    }

private:
    int rows() const { return static_cast<int>(std::clamp<long long>(periods_, 160, 600)); }
    int rowOf(long long period) const { return OccupancyCells::span(period, periods_, rows()).first; }

    void placeAxis(CDC& dc, int y) const {
        for (const FrequencyLabel& l : frequencyLabels(places_, [&](const std::string& t) { return static_cast<int>(dc.GetTextExtent(t).cx); })) {
            line(dc, l.x, y, l.x, y + 5, kInk);
            text(dc, l.text, l.x, y + 7, DT_CENTER);
        }
        text(dc, "MHz", kLeft + kPlotWidth, y + 20, DT_RIGHT);
    }

    // Up to eight period starts; with the date when the periods run over more than a day.
    void timeAxis(CDC& dc, int plotTop) const {
        const bool days = periods_ * periodSeconds_ > 86400;
        const long long ticks = std::min<long long>(periods_, 8);
        for (long long t = 0; t < ticks; ++t) {
            const long long i = t * periods_ / ticks;
            const int y = plotTop + rowOf(i);
            const LocalTime at = stampTime(first_ + i * periodSeconds_);
            char label[32];
            if (days) std::snprintf(label, sizeof label, "%02d-%02d %02d:%02d", at.month, at.day, at.hour, at.minute);
            else std::snprintf(label, sizeof label, "%s", clockTime(at).c_str());
            line(dc, kLeft - 5, y, kLeft, y, kInk);
            text(dc, label, kLeft - 7, y - 6, DT_RIGHT);
        }
    }

    uint8_t band_;
    std::set<uint32_t> scanned_;
    std::vector<uint32_t> places_;
    long long first_ = 0, periods_ = 0, periodSeconds_ = 1;
    OccupancyCells cells_;
};

}  // namespace

std::vector<FrequencyLabel> frequencyLabels(const std::vector<uint32_t>& places,
                                            const std::function<int(const std::string&)>& width) {
    std::vector<FrequencyLabel> labels;
    const long long n = static_cast<long long>(places.size());
    const double lo = places.front() / 1e6, hi = places.back() / 1e6;
    const double step = plot::niceStep(std::max(hi - lo, 0.01), 8);
    long long previous = -1;
    for (double t = std::ceil(lo / step) * step; t <= hi + 1e-9; t += step) {
        const auto at = std::lower_bound(places.begin(), places.end(), static_cast<uint32_t>(std::llround(t * 1e6)));
        const long long k = at - places.begin();
        if (k >= n || k == previous) continue;
        previous = k;
        FrequencyLabel l;
        l.x = plot::kLeft + static_cast<int>((2 * k + 1) * plot::kPlotWidth / (2 * n));
        l.text = plot::megahertzLabel(*at / 1e6, step);
        const int w = width(l.text);
        l.left = l.x - (w + 1) / 2;
        l.right = l.x + (w + 1) / 2;
        if (l.left < 0 || l.right > plot::kWidth || (!labels.empty() && l.left < labels.back().right + 4)) continue;
        labels.push_back(std::move(l));
    }
    return labels;
}

bool plotOccupancy(LogReader& reader, const LogHeader& header, const OccupancySettings& s, const std::string& title,
                   Surface& image, const DamageSink& damaged) {
    image = Surface();
    auto panels = std::make_unique<std::array<OccupancyPanel, 2>>(std::array{OccupancyPanel(0), OccupancyPanel(1)});
    RecordLevels levels(header.pcsRaster);
    long long first = LLONG_MAX, last = LLONG_MIN;
    const bool scanned = forEachRecord(reader, [&](const LogRecord& r) {
        if (!s.window.contains(r.time)) return true;
        const bool any = levels.forEach(r, [&](const MeasuredLevel& m) { (*panels)[m.band & 1].scan(m.hz); });
        if (any) {
            first = std::min(first, stampSeconds(r.time));
            last = std::max(last, stampSeconds(r.time));
        }
        return true;
    }, damaged);
    if (!scanned || first > last) return false;

    const long long period = s.periodSeconds;
    const long long firstPeriod = first - ((first % period) + period) % period;
    const long long periods = (last - firstPeriod) / period + 1;
    for (OccupancyPanel& p : *panels) p.beginFolding(firstPeriod, periods, period);
    OccupancyCounter counter(header.pcsRaster, s.threshold, period);
    OccupancyPeriod ended;
    const auto fold = [&] {
        for (OccupancyPanel& p : *panels) p.fold(ended);
    };
    const bool read = forEachRecord(reader, [&](const LogRecord& r) {
        if (s.window.contains(r.time) && counter.take(r, ended)) fold();
        return true;
    });
    if (!read) return false;
    if (counter.finish(ended)) fold();

    int height = kTitleHeight;
    for (const OccupancyPanel& p : *panels)
        if (!p.empty()) height += p.height();
    Canvas canvas(height);
    CDC& dc = canvas.dc;
    Surface& picture = canvas.picture;
    text(dc, title + "  (threshold " + s.threshold.text() + (s.threshold.aboveNoise ? " dB" : " dBm") + ")", 8, 5);
    const bool days = last - firstPeriod >= 86400;
    const std::string about = std::to_string(periods) + " periods of " + periodText(period) + ", " +
                              isoTime(stampTime(firstPeriod)) + " - " +
                              (days ? isoTime(stampTime(last)) : clockTime(stampTime(last)));
    int top = kTitleHeight;
    for (const OccupancyPanel& p : *panels)
        if (!p.empty()) top += p.draw(dc, picture, top, about);
    image = canvas.take();
    return true;
}

}  // namespace zarn
