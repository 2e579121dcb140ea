// Arbitrary bytes as a track file: GPX through the XML parser, NMEA through
// our own reader. Every point kept must be a place and a time, in strictly
// increasing time, and a record placed between two points lies between them.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "survey/track.h"
#include "survey/track_join.h"

namespace {

zarn::LocalTime stampAt(double seconds) {
    const std::time_t t = static_cast<std::time_t>(std::floor(seconds));
    std::tm tm{};
    gmtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

bool between(double v, double a, double b) { return v >= std::fmin(a, b) - 1e-9 && v <= std::fmax(a, b) + 1e-9; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zarn::Track track;
    std::string error;
    if (!zarn::readTrackBytes(data, size, track, error)) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    const auto& points = track.points;
    for (size_t i = 0; i < points.size(); ++i) {
        const zarn::TrackPoint& p = points[i];
        if (!std::isfinite(p.lat) || !std::isfinite(p.lon) || std::fabs(p.lat) > 90 || std::fabs(p.lon) > 180) __builtin_trap();
        if (!std::isfinite(p.time) || (i > 0 && !(p.time > points[i - 1].time))) __builtin_trap();
    }
    const zarn::TrackJoin join(track, 0);
    for (size_t i = 1; i < points.size() && i < 64; ++i) {
        // A stamp a whole second after the earlier point, as records have them.
        const double at = std::floor(points[i - 1].time) + 1;
        if (std::fabs(at) > 1e11) continue;
        zarn::Place place;
        if (join.place(stampAt(at), place) != zarn::Placing::Placed) continue;
        if (!std::isfinite(place.lat) || std::fabs(place.lat) > 90 || std::fabs(place.lon) > 180) __builtin_trap();
        if (at <= points[i].time && points[i].time - points[i - 1].time <= zarn::kLongestGap &&
            !between(place.lat, points[i - 1].lat, points[i].lat))
            __builtin_trap();
    }
    return 0;
}
