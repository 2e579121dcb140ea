#pragma once
// SiteHealth: what zarn-record --archive tells the archive of its site beside its
// records: a heartbeat (zarn.health, a row a site, replaced) and events (zarn.events).
//
// - observe() takes each status snapshot the fan-out hands the archive output, on
//   that output's thread: it keeps the latest and turns changes into events (the
//   board lost and back, an alarm raised and cleared), unless told they were told
//   elsewhere (a task's run tells its own). It never waits on the database: events
//   wait in a bounded queue; one that finds it full is dropped and counted.
// - write() runs on the pusher's thread, on its connection: the heartbeat and the
//   events queued, in one transaction. A database that is away only delays them;
//   the events wait (up to the bound) and go with their own times.
// - The site is the one the role is, else the one the recorder pushes as; it must
//   be registered (zarnlog site add), or nothing is written.

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "outputs/archive/archive_connection.h"
#include "survey/recorder_status.h"

namespace zarn {

struct SiteEvent {
    double at = 0;  // seconds since the epoch, UTC
    std::string kind;  // a kind zarn.events takes: "started", "board lost", ...
    std::string detail;
};

class SiteHealth {
public:
    static constexpr size_t kQueuedEvents = 256;
    // Free space below this is `disk low`.
    static constexpr uint64_t kDiskLow = uint64_t{200} << 20;

    SiteHealth(int heartbeatSeconds, std::string logFolder);

    void observe(const RecorderStatus& status, bool tell = true);
    void addEvent(const std::string& kind, const std::string& detail = {});
    uint64_t eventsDropped() const;
    int heartbeat() const { return heartbeat_; }
    // The task whose run this recorder is (zarn-record --tasks); none: its own measurement.
    void setTask(std::optional<int> task) { task_ = task; }
    // The state told is `between tasks` (`board lost` without it): a --tasks recorder waiting for the next.
    void setBetweenTasks() { betweenTasks_ = true; }

    // The heartbeat and the queued events of `site`, `backlog` records behind; the events
    // stay queued when it fails.
    bool write(ArchiveConnection& db, const std::string& site, uint64_t backlog, std::string& error);

private:
    bool noteDisk();

    const int heartbeat_;
    const std::string folder_;
    mutable std::mutex mutex_;
    std::optional<RecorderStatus> latest_;
    std::deque<SiteEvent> events_;
    uint64_t dropped_ = 0;
    bool boardSeen_ = false, boardUp_ = false, diskLow_ = false;
    std::vector<bool> raised_;
    std::optional<int> task_;
    bool betweenTasks_ = false;
};

// Free bytes for an unprivileged writer in the file system holding `folder`; nullopt when unknown.
std::optional<uint64_t> freeBytes(const std::string& folder);

}  // namespace zarn
