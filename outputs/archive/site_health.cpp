#include "outputs/archive/site_health.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace zarn {
namespace {

double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

SqlValue numberOf(const std::optional<double>& v) {
    if (!v) return std::nullopt;
    char text[32];
    std::snprintf(text, sizeof text, "%.7f", *v);
    return SqlValue(text);
}

const char* const kWriteHealth = R"sql(
INSERT INTO zarn.health (site, at, heartbeat, state, task, log, records, dropped, backlog, disk_free, uptime, version,
                         fix, lat, lon, alarms)
VALUES ($1, now(), $2::integer, $3, $15::integer, $4, $5::bigint, $6::bigint, $7::bigint, $8::bigint, $9::bigint, $10, $11,
        $12::float8, $13::float8, $14::integer)
ON CONFLICT (site) DO UPDATE SET at = EXCLUDED.at, heartbeat = EXCLUDED.heartbeat, state = EXCLUDED.state,
    task = EXCLUDED.task, log = EXCLUDED.log, records = EXCLUDED.records, dropped = EXCLUDED.dropped,
    backlog = EXCLUDED.backlog, disk_free = EXCLUDED.disk_free, uptime = EXCLUDED.uptime, version = EXCLUDED.version,
    fix = EXCLUDED.fix, lat = EXCLUDED.lat, lon = EXCLUDED.lon, alarms = EXCLUDED.alarms
)sql";

}  // namespace

std::optional<uint64_t> freeBytes(const std::string& folder) {
    struct statvfs s {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &s) != 0) return std::nullopt;
    return static_cast<uint64_t>(s.f_bavail) * s.f_frsize;
}

SiteHealth::SiteHealth(int heartbeatSeconds, std::string logFolder)
    : heartbeat_(heartbeatSeconds), folder_(std::move(logFolder)) {
    addEvent("started");
}

void SiteHealth::addEvent(const std::string& kind, const std::string& detail) {
    std::lock_guard lock(mutex_);
    if (events_.size() >= kQueuedEvents) {
        ++dropped_;
        return;
    }
    events_.push_back({nowSeconds(), kind, detail});
}

uint64_t SiteHealth::eventsDropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void SiteHealth::observe(const RecorderStatus& status, bool tell) {
    std::vector<std::pair<std::string, std::string>> happened;
    {
        std::lock_guard lock(mutex_);
        if (boardSeen_ && status.board.up != boardUp_)
            happened.emplace_back(status.board.up ? "board back" : "board lost", "");
        boardSeen_ = boardSeen_ || status.board.up;
        boardUp_ = status.board.up;
        raised_.resize(status.alarms.size());
        for (size_t i = 0; i < status.alarms.size(); ++i) {
            const AlarmState& a = status.alarms[i];
            if (a.raised != raised_[i])
                happened.emplace_back(a.raised ? "alarm raised" : "alarm cleared", a.name.empty() ? a.rule : a.name);
            raised_[i] = a.raised;
        }
        latest_ = status;
    }
    if (tell)
        for (const auto& [kind, detail] : happened) addEvent(kind, detail);
}

// A crossing below the low mark is an event; true when the space is known.
bool SiteHealth::noteDisk() {
    const std::optional<uint64_t> free = freeBytes(folder_);
    if (!free) return false;
    bool low = *free < kDiskLow, tell = false;
    {
        std::lock_guard lock(mutex_);
        tell = low && !diskLow_;
        diskLow_ = low;
    }
    if (tell) addEvent("disk low", std::to_string(*free / (1 << 20)) + " MB free");
    return true;
}

bool SiteHealth::write(ArchiveConnection& db, const std::string& site, uint64_t backlog, std::string& error) {
    noteDisk();
    std::optional<RecorderStatus> s;
    std::deque<SiteEvent> events;
    {
        std::lock_guard lock(mutex_);
        s = latest_;
        events = events_;
    }
    const std::optional<uint64_t> free = freeBytes(folder_);
    std::vector<SqlValue> health{site, std::to_string(heartbeat_)};
    uint64_t dropped = 0;
    int alarms = 0;
    if (s) {
        for (const OutputStatus& o : s->outputs) dropped += o.dropped;
        for (const AlarmState& a : s->alarms) alarms += a.raised;
    }
    health.push_back(s && !s->board.up ? "board lost" : betweenTasks_ ? "between tasks" : "recording");
    health.push_back(s && !s->log.path.empty() ? SqlValue(s->log.path) : SqlValue());
    health.push_back(std::to_string(s ? s->log.records : 0));
    health.push_back(std::to_string(dropped));
    health.push_back(std::to_string(backlog));
    health.push_back(free ? SqlValue(std::to_string(*free)) : SqlValue());
    health.push_back(std::to_string(s ? s->ageSeconds : 0));
    health.push_back(s ? s->version : std::string());
    health.push_back(s ? SqlValue(gpsStateName(s->gps.state)) : SqlValue());
    health.push_back(s ? numberOf(s->gps.lat) : SqlValue());
    health.push_back(s ? numberOf(s->gps.lon) : SqlValue());
    health.push_back(std::to_string(alarms));
    health.push_back(task_ ? SqlValue(std::to_string(*task_)) : SqlValue());
    std::string ignored;
    const auto fail = [&] {
        if (db.isOpen()) db.exec("ROLLBACK", ignored);
        return false;
    };
    if (!db.exec("BEGIN", error) || !db.exec(kWriteHealth, health, nullptr, error)) return fail();
    for (const SiteEvent& e : events) {
        char at[32];
        std::snprintf(at, sizeof at, "%.3f", e.at);
        if (!db.exec("INSERT INTO zarn.events (site, at, kind, detail) VALUES ($1, to_timestamp($2::float8), $3, $4)",
                     {site, std::string(at), e.kind, e.detail.empty() ? SqlValue() : SqlValue(e.detail)}, nullptr, error))
            return fail();
    }
    if (!db.exec("COMMIT", error)) return fail();
    std::lock_guard lock(mutex_);
    events_.erase(events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(std::min(events.size(), events_.size())));
    return true;
}

}  // namespace zarn
