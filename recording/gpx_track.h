#pragma once
// GpxTrack: the ".gpx" file of positions beside a log. GPX 1.1 with one
// track, a segment per unbroken stretch of fixes and at most one point a
// second, each with the device's local clock time in an extension element
// (the clock of the log's record stamps, so that a desktop tool joins the
// two on it). The file appears with its first point; after every point it is
// a whole GPX document, flushed to storage, and one the storage had no room
// for is taken back whole.

#include <cstdint>
#include <string>

#include "recording/gps_fix.h"
#include "recording/log_file.h"

namespace zarn {

// The namespace of the extension element <zarn:localtime>.
constexpr const char* kTrackNamespace = "urn:zarn:track:1";

// The pieces of the document: its head, a segment's tags, a point (of a
// usable fix) and the closing tags.
std::string gpxHead();
constexpr const char* kGpxSegmentOpen = "  <trkseg>\n";
constexpr const char* kGpxSegmentClose = "  </trkseg>\n";
std::string gpxPoint(const GpsFix& fix, const LocalTime& local);
constexpr const char* kGpxDocumentClose = " </trk>\n</gpx>\n";

class GpxTrack {
public:
    explicit GpxTrack(std::string path);
    ~GpxTrack();
    GpxTrack(const GpxTrack&) = delete;
    GpxTrack& operator=(const GpxTrack&) = delete;

    // Takes a report received at `local` on the device's clock. A fix with a
    // usable position and time becomes a point, unless a point of the same
    // second (by either clock) or a later time is already written; a report
    // without a fix ends the segment. False with errorText() when the file
    // could not be written; nothing more is written then.
    bool addFix(const GpsFix& fix, const LocalTime& local);
    void endSegment();

    const std::string& path() const { return path_; }
    int points() const { return points_; }
    const std::string& errorText() const { return errorText_; }

private:
    bool write(const std::string& body, const std::string& closedBy);
    bool writeAt(const std::string& text, uint64_t at);

    std::string path_;
    int fd_ = -1;
    bool failed_ = false;
    bool inSegment_ = false;
    uint64_t bodyEnd_ = 0;  // where the closing tags start
    int points_ = 0;
    double lastUtc_ = 0;
    LocalTime lastLocal_{};
    std::string errorText_;
};

}  // namespace zarn
