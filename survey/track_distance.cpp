#include "survey/track_distance.h"

#include <algorithm>
#include <cmath>

namespace zarn {

double metresBetween(const Place& a, const Place& b) {
    constexpr double kRadian = M_PI / 180.0;
    const double dLat = (b.lat - a.lat) * kRadian, dLon = (b.lon - a.lon) * kRadian;
    // Haversine: well-conditioned for the few metres between two fixes.
    const double h = std::pow(std::sin(dLat / 2), 2) +
                     std::cos(a.lat * kRadian) * std::cos(b.lat * kRadian) * std::pow(std::sin(dLon / 2), 2);
    return 2 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(h)));
}

TrackDistance::TrackDistance(const Track& track) : points_(track.points) {
    metres_.reserve(points_.size());
    gapsBefore_.reserve(points_.size());
    double sum = 0;
    size_t gaps = 0;
    for (size_t i = 0; i < points_.size(); ++i) {
        if (i > 0 && points_[i].time - points_[i - 1].time <= kLongestGap)
            sum += metresBetween({points_[i - 1].lat, points_[i - 1].lon}, {points_[i].lat, points_[i].lon});
        else if (i > 0)
            ++gaps;
        metres_.push_back(sum);
        gapsBefore_.push_back(gaps);
    }
    fixTimes_ = !points_.empty() &&
                std::all_of(points_.begin(), points_.end(), [](const TrackPoint& p) { return std::isfinite(p.fixTime); });
}

size_t TrackDistance::after(double t) const {
    return static_cast<size_t>(std::lower_bound(points_.begin(), points_.end(), t,
                                                [](const TrackPoint& p, double time) { return p.time < time; }) -
                               points_.begin());
}

double TrackDistance::along(double t) const {
    const size_t i = after(t);
    if (i == points_.size()) return total();
    if (i == 0 || points_[i].time == t) return metres_[i];
    const TrackPoint &a = points_[i - 1], &b = points_[i];
    if (b.time - a.time > kLongestGap) return metres_[i - 1];
    return metres_[i - 1] + (metres_[i] - metres_[i - 1]) * (t - a.time) / (b.time - a.time);
}

bool TrackDistance::onTrack(double t) const {
    const size_t i = after(t);
    if (i == points_.size()) return false;
    if (points_[i].time == t) return true;
    return i > 0 && points_[i].time - points_[i - 1].time <= kLongestGap;
}

}  // namespace zarn

namespace zarn {

bool TrackDistance::continuous(double from, double to) const {
    if (!onTrack(from) || !onTrack(to) || to < from) return false;
    return gapsBefore_[after(to)] == gapsBefore_[after(from)];
}

double TrackDistance::fixTimeAt(double t) const {
    const size_t i = after(t);
    if (i == 0 || points_[i].time == t) return points_[i].fixTime;  // on the track: at its first point
    const TrackPoint &a = points_[i - 1], &b = points_[i];
    return a.fixTime + (b.fixTime - a.fixTime) * (t - a.time) / (b.time - a.time);
}

std::optional<double> TrackDistance::speed(double from, double to) const {
    if (to <= from || !continuous(from, to)) return std::nullopt;
    const double seconds = fixTimes_ ? fixTimeAt(to) - fixTimeAt(from) : to - from;
    if (!(seconds > 0)) return std::nullopt;
    return (along(to) - along(from)) / seconds;
}

}  // namespace zarn
