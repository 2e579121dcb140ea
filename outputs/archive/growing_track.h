#pragma once
// GrowingTrack: the GPX track a recorder writes beside its log, followed while
// it grows, as the places of the records pushed meanwhile.
//
// - refresh() reads only what the file gained: GpxTrack keeps the file a whole
//   document, rewriting its closing tags after each point, so the points up to
//   the last "</trkpt>" are final. The new points are parsed in a document of
//   their own (the file's head and a segment around them) and joined to the
//   track by the same code as `zarnlog map` (survey/track_join.h).
// - A record's place is settled once a point at or after its moment is there,
//   or it lies more than 10 s past the last point (it will be in a gap or
//   outside), or no next point can close the gap around it any more (10 s
//   past the last point by the device's clock, and 2 s for the writing), or
//   before any point once 2 s have passed, or when the track is final (the log
//   has ended).

#include <cstddef>
#include <optional>
#include <string>

#include "outputs/archive/log_pusher.h"

namespace zarn {

class GrowingTrack : public RecordPlaces {
public:
    explicit GrowingTrack(std::string path, LocalTimeSource clock = currentLocalTime)
        : path_(std::move(path)), clock_(std::move(clock)) {}

    void refresh();
    // The track is written whole: every place is settled.
    void setFinal() { final_ = true; }
    Placing place(const LocalTime& stamp, Place& out, bool& settled) override;
    size_t points() const { return join_ ? join_->track().points.size() : 0; }

private:
    void take(const std::string& document);

    std::string path_;
    LocalTimeSource clock_;
    std::optional<TrackJoin> join_;
    std::string head_;     // the file's text before its first segment
    size_t consumed_ = 0;  // bytes of the file whose points are taken
    bool final_ = false;
};

}  // namespace zarn
