#pragma once
// Distance along a track, for the distance a survey drove and its speed.
//
// - Between two places: the great-circle distance on a sphere of the Earth's
//   mean radius (6,371,008.8 m, IUGG), within 0.5 % of the ellipsoid's for
//   the lengths of a drive.
// - Along a track: the distances between its points added up, but for
//   stretches where points lie more than kLongestGap apart: without a fix
//   nothing is known of the way, so they add nothing (as the join places no
//   record there). Shorter holes, a fix lost for a few seconds, count the
//   straight line across, where the join interpolates too.
// - along(t): metres from the first point to moment t on the track's clock,
//   interpolated between points; before the track 0, after it the whole,
//   in a long gap what was driven up to it.
// - onTrack(t): whether moment t has a place: within the track, not in a long
//   gap (TrackJoin's rule); continuous(from, to): whether every moment between
//   has one.
// - speed(from, to): metres per second from moment `from` to `to`, over the time
//   the receiver's own clock says passed between them when every point has its
//   fix time (the device's whole seconds can put two seconds of driving into
//   one), else over to - from; none unless continuous and later.
// The track must outlive it.

#include <optional>
#include <vector>

#include "survey/track.h"
#include "survey/track_join.h"

namespace zarn {

constexpr double kEarthRadiusMetres = 6371008.8;

double metresBetween(const Place& a, const Place& b);

class TrackDistance {
public:
    explicit TrackDistance(const Track& track);

    double along(double t) const;
    bool onTrack(double t) const;
    bool continuous(double from, double to) const;
    std::optional<double> speed(double from, double to) const;
    double total() const { return metres_.empty() ? 0 : metres_.back(); }

private:
    // The first point at or after t; points_.size() when none.
    size_t after(double t) const;
    // Moment t on the receiver's clock, between the fix times of the points around it.
    double fixTimeAt(double t) const;

    const std::vector<TrackPoint>& points_;
    std::vector<double> metres_;     // along the track at each point
    std::vector<size_t> gapsBefore_;  // long gaps between the points up to each point
    bool fixTimes_ = false;           // every point has its fix time
};

}  // namespace zarn
