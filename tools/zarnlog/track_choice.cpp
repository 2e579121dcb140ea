#include "tools/zarnlog/track_choice.h"

#include <filesystem>

namespace zarn {

namespace fs = std::filesystem;

TrackChoice chooseTrack(const std::string& logFile, const std::string& trackFile, std::optional<int> utcOffset,
                        bool required, std::ostream& err) {
    TrackChoice t;
    t.given = !trackFile.empty();
    t.path = t.given ? trackFile : fs::path(logFile).replace_extension(".gpx").string();
    const bool needed = t.given || required;
    std::error_code ec;
    if (!t.given && !fs::exists(t.path, ec)) {
        t.why = t.path + " does not exist; name a track with --track";
        if (needed) err << "zarnlog: " << logFile << ": no track: " << t.why << "\n";
        t.failed = needed;
        return t;
    }
    Track track;
    std::string error;
    const bool read = readTrackFile(t.path, track, error);
    if (read && !track.cutShort.empty())
        err << "zarnlog: " << t.path << ": the GPX ends early (" << track.cutShort << "); the " << track.points.size()
            << " points before that are used\n";
    if (read && track.skipped.total())
        err << "zarnlog: " << t.path << ": skipped " << track.skipped.total()
            << (track.skipped.total() == 1 ? " point: " : " points: ") << track.skipped.text() << "\n";
    if (read && track.points.empty()) error = "no point with a valid position and time";
    if (!error.empty()) {
        t.why = t.path + ": " + error;
        err << "zarnlog: " << t.why << (needed ? "\n" : "; going on without positions\n");
        t.failed = needed;
        return t;
    }
    if (utcOffset && track.clock == TrackClock::Device)
        err << "zarnlog: " << t.path << " carries the device's clock: --utc-offset is not needed, and not used\n";
    t.join.emplace(std::move(track), utcOffset);
    return t;
}

}  // namespace zarn
