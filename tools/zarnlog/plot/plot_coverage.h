#pragma once
// The coverage panel of `zarnlog plot`: where the records were, on the track,
// coloured by level with the dBm colour bar. Equirectangular, north up, fitted
// to the panel around the placed records and the track over their time; a
// scale bar in metres; no map tiles, so it draws offline. Each pixel keeps the
// strongest level placed on it, and stronger points are drawn over weaker
// ones. Fed twice, like the other panels: scan() with every record, fit(),
// then mark() with every record again.

#include <optional>
#include <string>
#include <vector>

#include "platform/gdi/surface.h"
#include "recording/log_reader.h"
#include "survey/track_join.h"
#include "tools/zarnlog/plot/plot_parts.h"

namespace zarn::plot {

class CoveragePanel {
public:
    CoveragePanel(const TrackJoin& join, std::string trackName) : join_(join), trackName_(std::move(trackName)) {}
    void scan(const LogRecord& r, std::optional<double> dbm);
    const PlacingCounts& counts() const { return counts_; }
    bool empty() const { return counts_.placed == 0; }
    void setScale(const Range& scale) { scale_ = scale; }

    // The projection, once every record has been scanned.
    void fit();
    int height() const { return kTitleHeight + plotHeight_ + kAxisHeight; }
    void mark(const LogRecord& r, std::optional<double> dbm);
    // Draws it with its top at `top`; the height drawn.
    int draw(CDC& dc, Surface& image, int top) const;

private:
    struct Point {
        double x, y;  // from the panel's top left corner
    };
    Point project(double lat, double lon) const;
    bool inSpan(const TrackPoint& p) const { return p.time >= counts_.first && p.time <= counts_.last; }
    void scaleBar(CDC& dc, int plotTop) const;

    const TrackJoin& join_;
    std::string trackName_;
    PlacingCounts counts_;
    Range db_, lat_, lon_;
    std::optional<Range> scale_;

    double latMid_ = 0, lonMid_ = 0, shrink_ = 1;  // cos of the middle latitude
    double pixelsPerDegree_ = 1;                   // of latitude
    int plotHeight_ = 0;
    std::vector<float> cells_;
};

}  // namespace zarn::plot
