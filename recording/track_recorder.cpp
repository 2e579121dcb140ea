#include "recording/track_recorder.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace zarn {
namespace {

// A report this recent still stands for where the receiver is.
constexpr auto kLatestStillCurrent = std::chrono::milliseconds(1500);

}  // namespace

TrackRecorder::TrackRecorder(GpsdAddress address, std::function<void(GpsStatus)> statusChanged,
                             LocalTimeSource clock)
    : statusChanged_(std::move(statusChanged)), clock_(std::move(clock)),
      client_(std::make_unique<GpsdClient>(std::move(address), static_cast<GpsListener&>(*this))) {}

TrackRecorder::~TrackRecorder() = default;

std::string TrackRecorder::trackPathFor(const std::string& logPath) {
    std::filesystem::path track(logPath);
    track.replace_extension(".gpx");
    if (track == std::filesystem::path(logPath)) track += ".gpx";  // a log named NAME.gpx keeps its own name
    return track.string();
}

void TrackRecorder::start(const std::string& logPath) {
    std::lock_guard lock(mutex_);
    track_ = std::make_unique<GpxTrack>(trackPathFor(logPath));
    std::error_code ignored;
    std::filesystem::remove(track_->path(), ignored);
    if (Clock::now() - latestAt_ < kLatestStillCurrent) add(latest_, latestLocal_);
}

void TrackRecorder::stop() {
    std::lock_guard lock(mutex_);
    track_.reset();
}

std::optional<GpsFix> TrackRecorder::currentFix() const {
    std::lock_guard lock(mutex_);
    if (Clock::now() - latestAt_ >= kLatestStillCurrent) return std::nullopt;
    return latest_;
}

void TrackRecorder::onReport(const GpsFix& fix) {
    const LocalTime local = clock_();
    std::lock_guard lock(mutex_);
    latest_ = fix;
    latestLocal_ = local;
    latestAt_ = Clock::now();
    add(fix, local);
}

void TrackRecorder::add(const GpsFix& fix, const LocalTime& local) {
    if (!track_ || track_->addFix(fix, local)) return;
    // The log goes on; only its track ends, and says so once.
    std::fprintf(stderr, "%s: cannot write the track %s: %s\n", program_invocation_short_name, track_->path().c_str(),
                 track_->errorText().c_str());
    track_.reset();
}

void TrackRecorder::onLost() {
    std::lock_guard lock(mutex_);
    latestAt_ = {};
    if (track_) track_->endSegment();
}

void TrackRecorder::onStatus(GpsStatus status) {
    status_ = status;
    if (statusChanged_) statusChanged_(status);
}

}  // namespace zarn
