#pragma once
// TrackRecorder: positions from gpsd for as long as it lives, and the track
// of them beside each log while one is recorded: NAME.gpx beside NAME.zrn.
// One object for any recorder: start it with the log's path, stop it with
// the log (as a LogCompanion it follows a LogRecorder's logs by itself).

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "recording/gpsd_client.h"
#include "recording/gpx_track.h"
#include "recording/log_recorder.h"

namespace zarn {

class TrackRecorder : public LogCompanion, private GpsListener {
public:
    // Connects to gpsd at `address` in the background; `statusChanged` runs on
    // the connection's thread each time status() changes, with the new one.
    TrackRecorder(GpsdAddress address, std::function<void(GpsStatus)> statusChanged,
                  LocalTimeSource clock = currentLocalTime);
    ~TrackRecorder() override;

    // Begins the track of the log at logPath; a track left there by an
    // earlier log of that name goes. The file appears with the first point.
    void start(const std::string& logPath) override;
    void stop() override;
    GpsStatus status() const { return status_; }
    // The last report while it is current; none once the fix is lost or gpsd gone.
    std::optional<GpsFix> currentFix() const;

    // NAME.gpx for NAME.zrn (or for NAME without an extension).
    static std::string trackPathFor(const std::string& logPath);

private:
    using Clock = std::chrono::steady_clock;
    void onReport(const GpsFix& fix) override;
    void onLost() override;
    void onStatus(GpsStatus status) override;
    void add(const GpsFix& fix, const LocalTime& local);

    std::function<void(GpsStatus)> statusChanged_;
    std::atomic<GpsStatus> status_{GpsStatus::Unreachable};
    LocalTimeSource clock_;
    mutable std::mutex mutex_;  // between the connection's thread and start, stop and currentFix
    std::unique_ptr<GpxTrack> track_;
    GpsFix latest_;  // the last report, for a track that starts between two
    LocalTime latestLocal_{};
    Clock::time_point latestAt_{};
    std::unique_ptr<GpsdClient> client_;  // last: its thread ends first
};

}  // namespace zarn
