#include "survey/track_join.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "survey/log_text.h"
#include "survey/log_time.h"

namespace zarn {

std::string PlacingCounts::text() const {
    std::string out = "placed " + std::to_string(placed) + ", not placed " + std::to_string(notPlaced());
    if (notPlaced() == 0) return out;
    out += " (";
    if (outside) out += std::to_string(outside) + " outside the track";
    if (outside && inGap) out += ", ";
    if (inGap) out += std::to_string(inGap) + " in gaps of more than 10 s";
    return out + ")";
}

namespace {

std::string timeText(double t, TrackClock clock) {
    const std::time_t seconds = static_cast<std::time_t>(std::floor(t));
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    const std::string text =
        isoTime({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec});
    return clock == TrackClock::Utc ? text + "Z" : text;
}

}  // namespace

TrackJoin::TrackJoin(Track track, std::optional<int> utcOffset) : track_(std::move(track)), utcOffset_(utcOffset) {}

double TrackJoin::timeOf(const LocalTime& stamp) const { return timeOf(stampSeconds(stamp)); }

double TrackJoin::timeOf(long long s) const {
    if (track_.clock == TrackClock::Device) return static_cast<double>(s);
    if (utcOffset_) return static_cast<double>(s - *utcOffset_);
    // Zones change their offset on whole hours at most: one look-up an hour of stamps.
    const long long hour = s / 3600;
    if (hour != zoneHour_) {
        zoneHour_ = hour;
        zoneOffset_ = localZoneOffset(s);
    }
    return static_cast<double>(s - zoneOffset_);
}

void TrackJoin::extend(const std::vector<TrackPoint>& later) {
    for (const TrackPoint& p : later) {
        if (!track_.points.empty() && p.time <= track_.points.back().time) {
            ++track_.skipped.outOfOrder;
            continue;
        }
        track_.points.push_back(p);
    }
}

Placing TrackJoin::place(const LocalTime& stamp, Place& out, PlacingCounts& counts) const {
    const Placing p = place(stamp, out);
    counts.take(p, timeOf(stamp));
    return p;
}

std::string TrackJoin::nothingPlaced(const PlacingCounts& counts) const {
    const TrackClock clock = track_.clock;
    std::string text = "no record lies on the track: " + counts.text();
    if (counts.notPlaced() == 0) return text;
    text += "; the records run " + timeText(counts.first, clock) + " - " + timeText(counts.last, clock);
    if (!track_.points.empty())
        text += ", the track " + timeText(track_.points.front().time, clock) + " - " +
                timeText(track_.points.back().time, clock);
    if (clock != TrackClock::Utc) return text;
    std::string offset = "the local time zone's offset";
    if (utcOffset_) {
        char given[16];
        const int o = std::abs(*utcOffset_);
        std::snprintf(given, sizeof given, "%c%02d:%02d", *utcOffset_ < 0 ? '-' : '+', o / 3600, o % 3600 / 60);
        offset = given;
    }
    return text + "; the records' stamps went to UTC by " + offset + " (--utc-offset)";
}

Placing TrackJoin::place(const LocalTime& stamp, Place& out) const {
    const auto& points = track_.points;
    const double t = timeOf(stamp);
    if (points.empty() || t < points.front().time || t > points.back().time) return Placing::Outside;
    const auto after = std::lower_bound(points.begin(), points.end(), t,
                                        [](const TrackPoint& p, double time) { return p.time < time; });
    if (after->time == t) {
        out = {after->lat, after->lon};
        return Placing::Placed;
    }
    const TrackPoint& a = *(after - 1);
    const TrackPoint& b = *after;
    if (b.time - a.time > kLongestGap) return Placing::InGap;
    out = placeBetween(a, b, t);
    return Placing::Placed;
}

Place placeBetween(const TrackPoint& a, const TrackPoint& b, double t) {
    const double f = (t - a.time) / (b.time - a.time);
    double dLon = b.lon - a.lon;
    if (dLon > 180) dLon -= 360;
    if (dLon < -180) dLon += 360;
    double lon = a.lon + f * dLon;
    if (lon > 180) lon -= 360;
    if (lon < -180) lon += 360;
    return {a.lat + f * (b.lat - a.lat), lon};
}

}  // namespace zarn
