#pragma once
// Places for log records: a record's stamp joined to a track.
//
// - On a track of the device's clock, the stamp is the track's time as it is;
//   on a UTC track it is moved by the offset from UTC: the one given, else the
//   local time zone's at that stamp (summer time included).
// - The place is interpolated linearly between the two points around the
//   moment (across the antimeridian the short way). A moment before the first
//   point or after the last is outside the track; one between points more
//   than 10 s apart is in a gap. Neither has a place.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>

#include "recording/log_file.h"
#include "survey/track.h"

namespace zarn {

constexpr double kLongestGap = 10.0;  // seconds between points

struct Place {
    double lat = 0, lon = 0;
};

// The place at moment `t` on the way from `a` to `b`, their times apart.
Place placeBetween(const TrackPoint& a, const TrackPoint& b, double t);

enum class Placing { Placed, Outside, InGap };

struct PlacingCounts {
    size_t placed = 0, outside = 0, inGap = 0;
    double first = INFINITY, last = -INFINITY;  // the records' moments on the track's clock
    void take(Placing p, double time) {
        ++(p == Placing::Placed ? placed : p == Placing::Outside ? outside : inGap);
        first = std::min(first, time);
        last = std::max(last, time);
    }
    size_t notPlaced() const { return outside + inGap; }
    // "placed 10, not placed 3 (2 outside the track, 1 in gaps of more than 10 s)"
    std::string text() const;
};

class TrackJoin {
public:
    TrackJoin(Track track, std::optional<int> utcOffset);
    Placing place(const LocalTime& stamp, Place& out) const;
    // Places a record and counts it.
    Placing place(const LocalTime& stamp, Place& out, PlacingCounts& counts) const;
    // A record's moment on the track's clock.
    double timeOf(const LocalTime& stamp) const;
    double timeOf(long long stampSeconds) const;
    const Track& track() const { return track_; }
    // Points read since from a track still being written: those later than
    // the last point are added, the others skipped as out of order.
    void extend(const std::vector<TrackPoint>& later);
    // Why nothing was placed: the spans of the records and of the track, on the track's clock.
    std::string nothingPlaced(const PlacingCounts& counts) const;

private:
    Track track_;
    std::optional<int> utcOffset_;
    mutable long long zoneHour_ = -1;  // the hour of the stamp whose zone offset is at hand
    mutable int zoneOffset_ = 0;
};

}  // namespace zarn
