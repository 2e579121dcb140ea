#pragma once
// FleetWatch: a thread with a connection of its own that LISTENs on zarn_sites (a heartbeat
// or an event) and zarn_tasks (a task changed). A notification only wakes it: it then reads
// the sites' health and the events after the last it saw, and publishes to the streams what
// changed: "sites" (every site first, and when a site came or went; else only those whose
// row changed, marked partial), "events" (each once, even one whose transaction committed
// after a later one's) and "tasks". It reads the health every 2 s besides,
// as a site falls silent without a word. While the archive is away it tries again every 5 s,
// and the sites it last read stay, the archive told as down.

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "outputs/archive/archive_connection.h"
#include "platform/http/event_stream.h"

namespace zarn {

class FleetWatch {
public:
    FleetWatch(std::string conninfo, StreamHub& hub) : conninfo_(std::move(conninfo)), hub_(hub) {}
    ~FleetWatch() { stop(); }
    FleetWatch(const FleetWatch&) = delete;
    FleetWatch& operator=(const FleetWatch&) = delete;

    void start();
    void stop();

    // {"now": ..., "sites": [...]} as last read; for a stream's first event.
    std::string sitesEvent() const;
    // The Prometheus text of the sites as last read.
    std::string metrics() const;

private:
    void run();
    bool connect(std::string& error);
    bool look(bool tasksChanged, std::string& error);
    void rest(std::chrono::milliseconds time);

    const std::string conninfo_;
    StreamHub& hub_;
    std::atomic<bool> stopping_{false};
    ArchiveConnection db_{&stopping_};
    std::thread thread_;
    std::mutex restMutex_;
    std::condition_variable restWake_;

    mutable std::mutex mutex_;
    SqlRows sites_;
    std::map<std::string, std::string> bySite_;  // each site's JSON as last read
    std::string sitesEvent_;
    bool archiveUp_ = false;
    // The numbers of the events sent among the latest (see kLookBack), and whether those there
    // at the start have been read.
    std::set<long long> sentEvents_;
    bool eventsKnown_ = false;
};

}  // namespace zarn
