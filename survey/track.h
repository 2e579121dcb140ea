#pragma once
// A track read back for joining log records to places: the GPX file zarn
// writes beside a log, a GPX file of any receiver, or an NMEA log (GGA and
// RMC sentences, dated by RMC).
//
// - The track's clock is the device's own local clock when its points carry
//   zarn's <zarn:localtime> extension (then a point without it is skipped),
//   else UTC. Each point keeps its UTC time too, where it has one.
// - Points come out in strictly increasing time. A point not later than the
//   one kept before it, one without a time, one whose position is missing, NaN
//   or out of range, and an NMEA sentence with a bad checksum are skipped and
//   counted.
// - A GPX file that breaks off (a card pulled while it was written) or turns
//   into something no XML parser takes keeps the points before the break;
//   cutShort says where and why.
// - Only a regular file is read, through a buffer of fixed size: memory
//   follows the number of points, not the file's size.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zarn {

enum class TrackClock { Device, Utc };

struct TrackPoint {
    double time = 0;  // seconds: the device's clock as stampSeconds counts it, or UTC since 1970
    double lat = 0, lon = 0;
    int segment = 0;  // a new one after each lost fix
    // The receiver's own time of the fix (UTC since 1970), NaN when not known. On the
    // device's clock two fixes may fall a second too close or too far apart: the
    // clock is read in whole seconds when a fix arrives.
    double fixTime = NAN;
};

struct TrackSkips {
    size_t badPosition = 0;  // missing, NaN or out of range
    size_t noTime = 0;       // or no time on the track's clock
    size_t outOfOrder = 0;   // not later than the point before
    size_t badChecksum = 0;  // NMEA sentences
    size_t noDate = 0;       // NMEA positions with no RMC sentence to date them
    size_t total() const { return badPosition + noTime + outOfOrder + badChecksum + noDate; }
    // "2 with a bad checksum, 1 out of time order"; empty when nothing was skipped.
    std::string text() const;
};

struct Track {
    std::string format;  // "GPX" or "NMEA"
    TrackClock clock = TrackClock::Utc;
    std::vector<TrackPoint> points;
    TrackSkips skipped;
    std::string cutShort;
};

// False with `error` when the file cannot be read, or holds no GPX or NMEA
// track (error then says which it is not); a track without a usable point is
// read (true) with no points.
bool readTrackFile(const std::string& path, Track& track, std::string& error);
bool readTrackBytes(const uint8_t* data, size_t size, Track& track, std::string& error);

}  // namespace zarn
