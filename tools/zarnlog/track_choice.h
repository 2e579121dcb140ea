#pragma once
// The track a zarnlog command joins a log to: --track, else the log's name
// with .gpx beside it. What is wrong with it (a GPX that ends early, points
// skipped, no usable point) is said on `err`.

#include <optional>
#include <ostream>
#include <string>

#include "survey/track_join.h"

namespace zarn {

struct TrackChoice {
    std::optional<TrackJoin> join;
    std::string path;
    bool given = false;
    bool failed = false;  // a track that had to be there could not be used; its message written
    std::string why;      // without a track: why
};

// `required`: the command needs a track even when none was named (map); a named one is always needed.
TrackChoice chooseTrack(const std::string& logFile, const std::string& track, std::optional<int> utcOffset,
                        bool required, std::ostream& err);

}  // namespace zarn
