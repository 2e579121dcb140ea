#include "outputs/archive/archive_output.h"

#include <cstdio>
#include <filesystem>

#include "outputs/archive/archive_schema.h"
#include "outputs/archive/archive_sites.h"
#include "survey/json_writer.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;

constexpr auto kPushSpacing = 1s;
constexpr auto kLongestBackoff = 30s;

std::string seconds(std::chrono::milliseconds d) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", static_cast<double>(d.count()) / 1000.0);
    return text;
}

std::string quotedSite(const std::string& site) {
    std::string out;
    appendJsonString(out, site);
    return out;
}

}  // namespace

std::string ArchiveBacklog::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void ArchiveBacklog::setUp(bool up, const std::string& error) {
    std::lock_guard lock(mutex_);
    up_ = up;
    error_ = error;
}

ArchiveOutput::ArchiveOutput(ArchiveSettings settings, std::shared_ptr<ArchiveBacklog> backlog)
    : settings_(std::move(settings)),
      backlog_(std::move(backlog)),
      health_(settings_.heartbeat, std::filesystem::path(settings_.logPath).parent_path().string()) {
    if (!settings_.trackPath.empty()) track_ = std::make_unique<GrowingTrack>(settings_.trackPath);
    health_.setTask(settings_.task);
    thread_ = std::thread([this] { run(); });
}

ArchiveOutput::~ArchiveOutput() { stop(); }

void ArchiveOutput::cancel() {
    abort_ = true;
    std::lock_guard lock(mutex_);  // the thread is waiting, or sees abort_ before it waits
    wake_.notify_all();
}

void ArchiveOutput::stop() {
    cancel();
    if (thread_.joinable()) thread_.join();
}

void ArchiveOutput::record(const OutputRecord&) {
    ++records_;
    {
        std::lock_guard lock(mutex_);
        pending_ = true;
    }
    wake_.notify_all();
}

void ArchiveOutput::status(const RecorderStatus& s) { health_.observe(s); }

void ArchiveOutput::finish() {
    health_.addEvent("stopped");
    const auto deadline = Clock::now() + settings_.drain;
    std::unique_lock lock(mutex_);
    finishing_ = true;
    retryAt_ = Clock::now();
    wake_.notify_all();
    const bool drained = wake_.wait_until(lock, deadline, [this] { return done_; });
    lock.unlock();
    stop();
    const uint64_t behind = backlog_->behind(records_);
    if (!drained || behind)
        settings_.tell(std::to_string(behind) + " of " + std::to_string(records_.load()) +
                       " records not in the archive after --archive-drain " + seconds(settings_.drain) +
                       "; `zarnlog push " + settings_.logPath + "` sends them");
}

// Pushes when the log grew (at most a push a second) and, after a failure, when its backoff is over.
void ArchiveOutput::run() {
    auto backoff = 1s;
    bool down = false, held = false;
    std::unique_lock lock(mutex_);
    beatAt_ = Clock::now() + std::chrono::seconds(settings_.heartbeat);
    for (;;) {
        const auto pushDue = [&] { return (pending_ || held || finishing_) && Clock::now() >= retryAt_; };
        while (!abort_ && !pushDue() && Clock::now() < beatAt_)
            wake_.wait_until(lock, retryAt_ > Clock::now() ? std::min(retryAt_, beatAt_) : beatAt_);
        if (abort_) break;
        if (Clock::now() >= beatAt_) {
            lock.unlock();
            beat();
            lock.lock();
            beatAt_ = Clock::now() + std::chrono::seconds(settings_.heartbeat);
            continue;
        }
        const bool last = finishing_;
        pending_ = false;
        lock.unlock();
        std::string error;
        const bool pushed = attempt(last, error);
        // Told without the lock: a stderr that blocks holds only this thread.
        const std::string what = db_.target().empty() ? error : db_.target() + ": " + error;
        if (!pushed && !down)
            settings_.tell(what + "; the log goes on, the archive is tried again (at most every 30 s)");
        if (pushed && down)
            settings_.tell(db_.target() + " takes records again; " + std::to_string(backlog_->behind(records_)) +
                           " behind");
        down = !pushed;
        backlog_->setUp(pushed, pushed ? "" : what);
        if (pushed && (last || !siteLooked_)) beat();
        lock.lock();
        if (abort_ || (pushed && last)) break;
        if (!pushed) {
            // At the end the drain is short: tried again within 2 s.
            retryAt_ = Clock::now() + (finishing_ ? std::min<std::chrono::seconds>(backoff, 2s) : backoff);
            backoff = std::min<std::chrono::seconds>(backoff * 2, kLongestBackoff);
            continue;
        }
        backoff = 1s;
        retryAt_ = finishing_ ? Clock::now() : Clock::now() + kPushSpacing;
        held = backlog_->behind(records_) > 0;
    }
    done_ = true;
    wake_.notify_all();
}

// The site whose health goes: the role's, else the recorder's, once it is registered (looked for
// again at each heartbeat until it is).
void ArchiveOutput::findSite() {
    ConnectedRole role;
    SqlRows rows;
    std::string error;
    if (!readConnectedRole(db_, role, error)) return;
    const std::string site = role.site.value_or(settings_.site);
    if (!db_.exec("SELECT EXISTS (SELECT 1 FROM zarn.sites WHERE name = $1), EXISTS (SELECT 1 FROM zarn.sites)", {site},
                  &rows, error))
        return;
    // An archive that runs no network (no site registered) hears nothing of it.
    if (rows.text(0, 0) == "t") healthSite_ = site;
    else if (!siteLooked_ && rows.text(0, 1) == "t")
        settings_.tell("the site " + quotedSite(site) +
                       " is not registered (zarnlog site add): its health is written once it is");
    siteLooked_ = true;
}

// The heartbeat and the events, when the database is there; else they wait for the next.
void ArchiveOutput::beat() {
    if (!db_.isOpen()) return;
    if (!healthSite_) findSite();
    if (!healthSite_) return;
    std::string error;
    if (!health_.write(db_, *healthSite_, backlog_->behind(records_), error) && !beatFailed_)
        settings_.tell("health not written: " + error + "; tried again at the next heartbeat");
    beatFailed_ = !error.empty();
}

bool ArchiveOutput::attempt(bool last, std::string& error) {
    if (!db_.isOpen()) {
        int before = 0;
        if (!db_.open(settings_.conninfo, "zarn-record", error)) return false;
        if (!prepareSchema(db_, before, error)) return false;
    }
    if (!pusher_) pusher_ = std::make_unique<LogPusher>(db_, settings_.logPath, settings_.site, settings_.siteGiven);
    RecordPlaces* places = &noPlaces_;
    if (track_) {
        track_->refresh();
        if (last) track_->setFinal();
        places = track_.get();
    }
    PushProgress progress;
    progress.stored = backlog_->stored();
    const bool pushed = pusher_->push(*places, progress, error);
    backlog_->setStored(progress.stored);
    for (const std::string& notice : progress.notices) settings_.tell(notice);
    return pushed;
}

}  // namespace zarn
