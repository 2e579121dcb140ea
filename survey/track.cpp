#include "survey/track.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "recording/gps_fix.h"
#include "recording/log_reader.h"
#include "survey/track_parsers.h"

namespace zarn {
namespace {

constexpr size_t kPiece = size_t{1} << 16;

bool positionOk(const RawTrackPoint& p) {
    return std::isfinite(p.lat) && std::isfinite(p.lon) && std::fabs(p.lat) <= 90 && std::fabs(p.lon) <= 180;
}

// The clock, then the points that have a place and a time on it, in time order.
void finish(ParsedTrack& parsed, Track& track) {
    bool device = false;
    for (const RawTrackPoint& p : parsed.points) device = device || !std::isnan(p.local);
    track.clock = device ? TrackClock::Device : TrackClock::Utc;
    track.skipped = parsed.skipped;
    track.points.clear();
    track.points.reserve(parsed.points.size());
    for (const RawTrackPoint& p : parsed.points) {
        const double time = device ? p.local : p.utc;
        const bool timeOk = device ? std::isfinite(time)
                                   : std::isfinite(time) && time >= kEarliestFixUtc && time < kLatestFixUtc;
        if (!positionOk(p)) ++track.skipped.badPosition;
        else if (!timeOk) ++track.skipped.noTime;
        else if (!track.points.empty() && time <= track.points.back().time) ++track.skipped.outOfOrder;
        else track.points.push_back({time, p.lat, p.lon, p.segment, p.utc});
    }
    parsed.points.clear();
    parsed.points.shrink_to_fit();
}

// The bytes in pieces: `read` fills a piece and says how much, 0 at the end, -1 on an error.
bool readTrack(const std::function<ssize_t(char*, size_t)>& read, Track& track, std::string& error) {
    track = Track{};
    std::vector<char> buffer(kPiece);
    ssize_t n = read(buffer.data(), buffer.size());
    if (n < 0) return error = std::strerror(errno), false;
    // Past a byte-order mark and blanks, "<" begins XML; anything else may be NMEA.
    std::string_view start(buffer.data(), static_cast<size_t>(n));
    if (start.starts_with("\xEF\xBB\xBF")) start.remove_prefix(3);
    const size_t first = start.find_first_not_of(" \t\r\n");
    const bool xml = first != std::string_view::npos && start[first] == '<';
    ParsedTrack parsed;
    if (xml) {
        GpxParser gpx(parsed);
        while (n > 0 && gpx.feed({buffer.data(), static_cast<size_t>(n)}, false)) n = read(buffer.data(), buffer.size());
        if (n < 0) return error = std::strerror(errno), false;
        if (n == 0) gpx.feed({}, true);
        if (!gpx.isGpx()) {
            error = "not a GPX file (" + (gpx.error().empty() ? std::string("no <gpx> element") : gpx.error()) + ")";
            return false;
        }
        track.format = "GPX";
        track.cutShort = gpx.error();
    } else {
        NmeaParser nmea(parsed);
        for (; n > 0; n = read(buffer.data(), buffer.size())) nmea.feed({buffer.data(), static_cast<size_t>(n)});
        if (n < 0) return error = std::strerror(errno), false;
        nmea.finish();
        if (nmea.sentences() == 0) {
            error = parsed.skipped.badChecksum
                        ? "no NMEA sentence with a good checksum (" + std::to_string(parsed.skipped.badChecksum) + " bad)"
                        : "neither GPX nor NMEA";
            return false;
        }
        track.format = "NMEA";
    }
    finish(parsed, track);
    return true;
}

}  // namespace

std::string TrackSkips::text() const {
    std::string out;
    const auto add = [&](size_t n, const char* what) {
        if (n == 0) return;
        if (!out.empty()) out += ", ";
        out += std::to_string(n) + " " + what;
    };
    add(badChecksum, "with a bad checksum");
    add(badPosition, "with no valid position");
    add(noTime, "with no valid time");
    add(outOfOrder, "out of time order");
    add(noDate, "with no RMC sentence to date them");
    return out;
}

bool readTrackFile(const std::string& path, Track& track, std::string& error) {
    const int fd = openRegularFile(path, error);
    if (fd < 0) return false;
    const bool ok = readTrack([fd](char* to, size_t size) {
        for (;;) {
            const ssize_t n = ::read(fd, to, size);
            if (n >= 0 || errno != EINTR) return n;
        }
    }, track, error);
    ::close(fd);
    return ok;
}

bool readTrackBytes(const uint8_t* data, size_t size, Track& track, std::string& error) {
    size_t at = 0;
    return readTrack([&](char* to, size_t room) {
        const size_t n = std::min(room, size - at);
        if (n) std::memcpy(to, data + at, n);
        at += n;
        return static_cast<ssize_t>(n);
    }, track, error);
}

}  // namespace zarn
