#include "tools/zarnlog/plot/plot_coverage.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "survey/colour_map.h"

namespace zarn::plot {
namespace {

constexpr double kMetresPerDegree = 111194.9;  // of latitude, on a sphere of the Earth's mean radius
constexpr double kSmallestExtent = 200.0 / kMetresPerDegree;
constexpr int kLowest = 160, kHighest = 600;  // rows of the plot
constexpr COLORREF kTrack = RGB(170, 170, 170);
constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

std::string degreesText(double v, char positive, char negative) {
    char s[32];
    std::snprintf(s, sizeof s, "%.5f %c", std::fabs(v), v < 0 ? negative : positive);
    return s;
}

std::string metresText(double metres) {
    char s[32];
    if (metres >= 1000) std::snprintf(s, sizeof s, "%g km", metres / 1000);
    else std::snprintf(s, sizeof s, "%g m", metres);
    return s;
}

}  // namespace

void CoveragePanel::scan(const LogRecord& r, std::optional<double> dbm) {
    Place place;
    if (join_.place(r.time, place, counts_) != Placing::Placed) return;
    lat_.take(place.lat);
    lon_.take(place.lon);
    if (dbm) db_.take(*dbm);
}

void CoveragePanel::fit() {
    if (empty()) return;
    Range lat = lat_, lon = lon_;
    for (const TrackPoint& p : join_.track().points)
        if (inSpan(p)) {
            lat.take(p.lat);
            lon.take(p.lon);
        }
    latMid_ = (lat.lo + lat.hi) / 2;
    lonMid_ = (lon.lo + lon.hi) / 2;
    shrink_ = std::max(0.01, std::cos(latMid_ * M_PI / 180));
    // Degrees of latitude across and down, with a margin, at least a couple of hundred metres.
    const double across = std::max((lon.hi - lon.lo) * shrink_ * 1.1, kSmallestExtent);
    const double down = std::max((lat.hi - lat.lo) * 1.1, kSmallestExtent);
    pixelsPerDegree_ = std::min(kPlotWidth / across, kHighest / down);
    plotHeight_ = std::clamp(static_cast<int>(std::ceil(down * pixelsPerDegree_)), kLowest, kHighest);
    cells_.assign(static_cast<size_t>(kPlotWidth) * plotHeight_, kNone);
}

CoveragePanel::Point CoveragePanel::project(double lat, double lon) const {
    return {kPlotWidth / 2.0 + (lon - lonMid_) * shrink_ * pixelsPerDegree_,
            plotHeight_ / 2.0 - (lat - latMid_) * pixelsPerDegree_};
}

void CoveragePanel::mark(const LogRecord& r, std::optional<double> dbm) {
    Place place;
    if (!dbm || cells_.empty() || join_.place(r.time, place) != Placing::Placed) return;
    const Point p = project(place.lat, place.lon);
    const int x = std::clamp(static_cast<int>(p.x), 0, kPlotWidth - 1);
    const int y = std::clamp(static_cast<int>(p.y), 0, plotHeight_ - 1);
    float& cell = cells_[static_cast<size_t>(y) * kPlotWidth + x];
    const float v = static_cast<float>(*dbm);
    cell = std::isnan(cell) ? v : std::max(cell, v);
}

// Under the plot, between the corners' coordinates.
void CoveragePanel::scaleBar(CDC& dc, int plotTop) const {
    const double metresPerPixel = kMetresPerDegree / pixelsPerDegree_;
    // The longest of 1, 2 or 5 times a power of ten metres in a quarter of the width.
    const double most = metresPerPixel * kPlotWidth / 4, power = std::pow(10.0, std::floor(std::log10(most)));
    double metres = power;
    for (double f : {5.0, 2.0})
        if (f * power <= most) {
            metres = f * power;
            break;
        }
    const int length = static_cast<int>(std::lround(metres / metresPerPixel));
    const int x = kLeft + (kPlotWidth - length) / 2, y = plotTop + plotHeight_ + 24;
    for (int row : {y, y + 1}) line(dc, x, row, x + length, row, kInk);
    line(dc, x, y - 4, x, y + 2, kInk);
    line(dc, x + length, y - 4, x + length, y + 2, kInk);
    text(dc, metresText(metres), x + length / 2, y - 17, DT_CENTER);
}

int CoveragePanel::draw(CDC& dc, Surface& image, int top) const {
    if (cells_.empty()) return 0;
    const int plotTop = top + kTitleHeight;
    const auto pixelOf = [&](const Point& p) { return std::pair{kLeft + static_cast<int>(p.x), plotTop + static_cast<int>(p.y)}; };
    // The track under the points, segment by segment, cut at the first and
    // last record so that the records at either end lie on it too.
    const auto& points = join_.track().points;
    for (size_t i = 1; i < points.size(); ++i) {
        const TrackPoint &a = points[i - 1], &b = points[i];
        if (a.segment != b.segment || b.time <= counts_.first || a.time >= counts_.last) continue;
        const Place from = inSpan(a) ? Place{a.lat, a.lon} : placeBetween(a, b, counts_.first);
        const Place to = inSpan(b) ? Place{b.lat, b.lon} : placeBetween(a, b, counts_.last);
        const auto [x0, y0] = pixelOf(project(from.lat, from.lon));
        const auto [x1, y1] = pixelOf(project(to.lat, to.lon));
        line(dc, x0, y0, x1, y1, kTrack);
    }
    std::vector<std::tuple<float, int, int>> marks;
    for (int y = 0; y < plotHeight_; ++y)
        for (int x = 0; x < kPlotWidth; ++x)
            if (const float v = cells_[static_cast<size_t>(y) * kPlotWidth + x]; !std::isnan(v)) marks.emplace_back(v, x, y);
    std::sort(marks.begin(), marks.end());
    const Range scale = scale_.value_or(db_.empty() ? Range{-120, -40} : db_.tens());
    const LevelScale colours{scale.lo, scale.hi};
    for (const auto& [v, x, y] : marks)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (x + dx >= 0 && x + dx < kPlotWidth && y + dy >= 0 && y + dy < plotHeight_)
                    image.at(kLeft + x + dx, plotTop + y + dy) = colours.pixel(v);
    CBrush frame(kInk);
    dc.FrameRect(CRect{kLeft - 1, plotTop - 1, kLeft + kPlotWidth + 1, plotTop + plotHeight_ + 1}, &frame);
    text(dc, "Coverage: " + std::to_string(counts_.placed) + " of " +
                 std::to_string(counts_.placed + counts_.notPlaced()) + " records placed on " + trackName_ +
                 ", north up",
         kLeft, top + 4);
    scaleBar(dc, plotTop);
    colourBar(dc, image, plotTop, plotHeight_, scale);
    // The corners' coordinates: south-west below left, north-east below right.
    const double halfAcross = kPlotWidth / 2.0 / (shrink_ * pixelsPerDegree_), halfDown = plotHeight_ / 2.0 / pixelsPerDegree_;
    text(dc, "SW " + degreesText(latMid_ - halfDown, 'N', 'S') + ", " + degreesText(lonMid_ - halfAcross, 'E', 'W'), kLeft,
         plotTop + plotHeight_ + 7);
    text(dc, "NE " + degreesText(latMid_ + halfDown, 'N', 'S') + ", " + degreesText(lonMid_ + halfAcross, 'E', 'W'),
         kLeft + kPlotWidth, plotTop + plotHeight_ + 7, DT_RIGHT);
    return height();
}

}  // namespace zarn::plot
