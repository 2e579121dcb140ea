#pragma once
// ArchiveOutput: zarn-record --archive, an output of the record fan-out that
// ships the log to the archive as it is written, by following the log file
// with the pusher of `zarnlog push` (log_pusher.h).
//
// - record() only notes that the log grew and wakes the pusher's own thread:
//   nothing the database does reaches the fan-out, the log writer or the
//   link thread.
// - The pusher's thread reads the log from where the archive stands, at most
//   a batch a second, and places records on the track beside the log as it
//   grows (growing_track.h). A failure (a server down, unreachable, refusing,
//   full) is told once; the pusher tries again after 1, 2, 4 ... up to 30 s
//   and tells when the archive takes records again.
// - finish(): what is left goes within the drain time (the track final by
//   then), trying again at once; then the pusher stops, a call under way given
//   up within a tenth of a second. What is still left is told, for a later
//   `zarnlog push` of the log.
// - For a site registered in the archive (zarnlog site add), the same thread
//   and connection write its heartbeat every `heartbeat` seconds and its events
//   (site_health.h), between pushes.
// - The backlog (records stored, the archive up or not, the last failure) is
//   shared with the program for its progress line and status.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "outputs/archive/archive_connection.h"
#include "outputs/archive/growing_track.h"
#include "outputs/archive/log_pusher.h"
#include "outputs/archive/site_health.h"
#include "outputs/record_fanout.h"

namespace zarn {

class ArchiveBacklog {
public:
    uint64_t stored() const { return stored_; }
    bool up() const { return up_; }
    std::string error() const;
    // The records of a log of `records` not yet in the archive.
    uint64_t behind(uint64_t records) const { return records > stored_ ? records - stored_ : 0; }

    void setStored(uint64_t stored) { stored_ = stored; }
    void setUp(bool up, const std::string& error = {});

private:
    std::atomic<uint64_t> stored_{0};
    std::atomic<bool> up_{false};
    mutable std::mutex mutex_;
    std::string error_;
};

struct ArchiveSettings {
    std::string conninfo;
    std::string logPath;
    std::string site;
    bool siteGiven = false;
    std::string trackPath;  // the track written beside the log; empty: none
    std::chrono::milliseconds drain{10000};
    int heartbeat = 30;  // seconds between heartbeats
    std::optional<int> task;  // the task whose run this is, for the health
    std::function<void(const std::string&)> tell;  // a line for the program's stderr
};

class ArchiveOutput : public RecordOutput {
public:
    ArchiveOutput(ArchiveSettings settings, std::shared_ptr<ArchiveBacklog> backlog);
    ~ArchiveOutput() override;

    void record(const OutputRecord& r) override;
    void status(const RecorderStatus& s) override;
    void finish() override;
    // From the fan-out once its deadline has passed: the pusher gives up now.
    void cancel() override;

private:
    void run();
    bool attempt(bool last, std::string& error);
    void stop();
    void findSite();
    void beat();

    using Clock = std::chrono::steady_clock;
    ArchiveSettings settings_;
    std::shared_ptr<ArchiveBacklog> backlog_;
    std::atomic<bool> abort_{false};
    ArchiveConnection db_{&abort_};
    NoPlaces noPlaces_;
    std::unique_ptr<GrowingTrack> track_;
    std::unique_ptr<LogPusher> pusher_;
    SiteHealth health_;
    std::optional<std::string> healthSite_;  // the registered site whose health goes; none: not yet known, or none
    bool siteLooked_ = false;
    bool beatFailed_ = false;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool pending_ = true;  // the first attempt at once: a database refusing is told at the start
    bool finishing_ = false;
    bool done_ = false;
    Clock::time_point retryAt_{};
    Clock::time_point beatAt_{};
    std::atomic<uint64_t> records_{0};  // the log's, as record() was given them
    std::thread thread_;
};

}  // namespace zarn
