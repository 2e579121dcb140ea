#include "tools/zarn_fleet/fleet_watch.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>
#include <vector>

#include "outputs/archive/site_desk.h"
#include "tools/zarn_fleet/fleet_archive.h"
#include "tools/zarn_fleet/fleet_json.h"
#include "tools/zarn_fleet/fleet_metrics.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;

constexpr auto kLookEvery = 2s;
constexpr auto kReconnectEvery = 5s;
constexpr int kEventsAtOnce = 500;
// An event's number is taken as it is written and seen when its transaction commits, so one
// may come after a higher one: the last kLookBack numbers are read again, less those sent.
constexpr long long kLookBack = 1000;

const char* const kEventsAfter = R"sql(
SELECT e.id, e.site, to_char(e.at AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"'), e.kind, e.detail
FROM zarn.events e WHERE e.id > $1::bigint AND e.id <> ALL ($3::bigint[]) ORDER BY e.id LIMIT $2::integer
)sql";

const char* const kRecentEvents = R"sql(
SELECT e.id FROM zarn.events e WHERE e.id > (SELECT coalesce(max(id), 0) FROM zarn.events) - $1::bigint
)sql";

std::string arrayText(const std::set<long long>& numbers) {
    std::string text = "{";
    for (const long long n : numbers) text += (text.size() > 1 ? "," : "") + std::to_string(n);
    return text + "}";
}

}  // namespace

void FleetWatch::start() {
    thread_ = std::thread([this] { run(); });
}

void FleetWatch::stop() {
    {
        std::lock_guard lock(restMutex_);
        stopping_ = true;
    }
    restWake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::string FleetWatch::sitesEvent() const {
    std::lock_guard lock(mutex_);
    return sitesEvent_.empty() ? sitesJson({}, std::time(nullptr)) : sitesEvent_;
}

std::string FleetWatch::metrics() const {
    std::lock_guard lock(mutex_);
    return fleetMetrics(sites_, archiveUp_);
}

void FleetWatch::rest(std::chrono::milliseconds time) {
    std::unique_lock lock(restMutex_);
    restWake_.wait_for(lock, time, [this] { return stopping_.load(); });
}

bool FleetWatch::connect(std::string& error) {
    SqlRows rows;
    if (!openFleetConnection(db_, conninfo_, error) || !db_.exec("LISTEN zarn_sites; LISTEN zarn_tasks", error))
        return false;
    if (!eventsKnown_) {
        // Those already there when the page began are no news.
        if (!db_.exec(kRecentEvents, {std::to_string(kLookBack)}, &rows, error)) return false;
        for (size_t i = 0; i < rows.rows.size(); ++i) sentEvents_.insert(std::stoll(rows.text(i, 0)));
        eventsKnown_ = true;
    }
    return true;
}

// The health read again, published when it differs; the events after the last seen.
bool FleetWatch::look(bool tasksChanged, std::string& error) {
    SqlRows sites, events;
    const long long lastEvent = sentEvents_.empty() ? 0 : *sentEvents_.rbegin();
    if (!readSitesWithHealth(db_, sites, error) ||
        !db_.exec(kEventsAfter,
                  {std::to_string(lastEvent - kLookBack), std::to_string(kEventsAtOnce), arrayText(sentEvents_)},
                  &events, error))
        return false;
    std::map<std::string, std::string> bySite;
    for (size_t i = 0; i < sites.rows.size(); ++i) bySite.emplace(sites.text(i, 0), siteJson(sites, i));
    const long long now = std::time(nullptr);
    std::string event;
    {
        std::lock_guard lock(mutex_);
        // Only the sites that changed, unless a site came or went: a heartbeat is a row, not the list.
        std::string changed;
        bool sameSites = archiveUp_ && bySite.size() == bySite_.size();
        for (const auto& [name, json] : bySite) {
            const auto was = bySite_.find(name);
            sameSites = sameSites && was != bySite_.end();
            if (was == bySite_.end() || was->second != json) changed += (changed.empty() ? "" : ",") + json;
        }
        sites_ = std::move(sites);
        bySite_ = std::move(bySite);
        archiveUp_ = true;
        sitesEvent_ = sitesJson(sites_, now);
        if (!sameSites) event = sitesEvent_;
        else if (!changed.empty())
            event = "{\"now\":" + std::to_string(now) + ",\"partial\":true,\"sites\":[" + changed + "]}";
    }
    if (!event.empty()) hub_.publish(streamEvent("sites", event));
    if (!events.empty()) {
        for (size_t i = 0; i < events.rows.size(); ++i) sentEvents_.insert(std::stoll(events.text(i, 0)));
        sentEvents_.erase(sentEvents_.begin(), sentEvents_.lower_bound(*sentEvents_.rbegin() - kLookBack));
        hub_.publish(streamEvent("events", "{\"events\":" + eventsJson(events) + "}"));
    }
    if (tasksChanged) hub_.publish(streamEvent("tasks", "{}"));
    return true;
}

void FleetWatch::run() {
    std::string error, told;
    while (!stopping_) {
        if (!db_.isOpen() && !connect(error)) {
            {
                std::lock_guard lock(mutex_);
                archiveUp_ = false;
            }
            if (error != told && !stopping_) std::fprintf(stderr, "zarn-fleet: the archive: %s\n", error.c_str());
            told = error;
            db_.close();
            rest(kReconnectEvery);
            continue;
        }
        told.clear();
        std::vector<std::string> woken, channels;
        bool ok = look(true, error);
        // Until the connection breaks: each wake, or every kLookEvery, a look.
        while (ok && !stopping_) {
            woken.clear();
            channels.clear();
            const auto until = std::chrono::steady_clock::now() + kLookEvery;
            while (woken.empty() && ok && !stopping_ && std::chrono::steady_clock::now() < until)
                ok = db_.awaitNotifications(200, woken, error, &channels);
            if (!ok || stopping_) break;
            bool tasks = false;
            for (const std::string& channel : channels) tasks = tasks || channel == "zarn_tasks";
            ok = look(tasks, error);
        }
        if (!stopping_) {
            {
                std::lock_guard lock(mutex_);
                archiveUp_ = false;
            }
            std::fprintf(stderr, "zarn-fleet: the archive: %s; trying again\n", error.c_str());
            db_.close();
            rest(kReconnectEvery);
        }
    }
}

}  // namespace zarn
