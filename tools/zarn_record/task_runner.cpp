#include "tools/zarn_record/task_runner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cctype>
#include <climits>
#include <cstdio>
#include <ctime>
#include <deque>
#include <fstream>
#include <sstream>
#include <thread>

#include "outputs/archive/archive_connection.h"
#include "outputs/archive/site_health.h"
#include "outputs/archive/site_tasks.h"
#include "tools/zarn_record/board_link.h"
#include "tools/zarn_record/recording_session.h"
#include "zarn_version.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;

constexpr const char* kProgram = "zarn-record";
constexpr long long kReconnectSeconds = 5;
constexpr int kIdleLookMs = 1000;
constexpr int kRunningLookMs = 500;

long long now() { return static_cast<long long>(std::time(nullptr)); }

void tell(const std::string& line) { std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str()); }

// A name for a file: what is not a letter, digit, '.', '_' or '-' becomes '_'.
std::string fileNamePart(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') c = '_';
    return out.empty() || out[0] == '.' ? "_" + out : out;
}

std::string stamp(long long t) {
    const std::time_t time = static_cast<std::time_t>(t);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

struct PendingRun {
    TaskRun run;
    std::string fileName;  // the log's, by which its survey is found
};

class TaskRunner {
public:
    explicit TaskRunner(const RecordOptions& site)
        : site_(site), file_(site.output + "/.zarn-tasks-" + fileNamePart(site.site)), health_(site.heartbeat, site.output) {
        health_.setBetweenTasks();
    }
    int run();

private:
    bool connect();
    void read();
    void look(int milliseconds);
    void runTask(const SiteTask& task);
    std::string record(const SiteTask& task, const RecordOptions& o);
    void noteStart(int task, long long started);
    bool stillOn(const SiteTask& task) const;
    void event(const char* kind, const std::string& detail);
    void flushRuns();
    void beat();
    void watchBoard(bool tell);
    int millisecondsToNextDue() const;

    const RecordOptions& site_;
    const std::string file_;
    const std::chrono::steady_clock::time_point startedAt_ = std::chrono::steady_clock::now();
    StderrBoxes boxes_;
    BoardLink board_;
    ArchiveConnection db_;
    std::vector<SiteTask> tasks_;
    std::deque<PendingRun> pending_;
    SiteHealth health_;
    long long beatAt_ = 0;
    bool beatFailed_ = false;
    long long retryAt_ = 0;
    bool toldAway_ = false;
};

int TaskRunner::run() {
    catchStopSignals();
    std::string error;
    if (loadSiteTasks(file_, tasks_, error)) tell("following the " + std::to_string(tasks_.size()) + " tasks last known");
    setMessageBoxSink(&boxes_);
    if (const int status = board_.bringUp(site_.port, true)) return status;
    while (!stopSignalled()) {
        connect();
        if (const SiteTask* due = taskToRun(tasks_, now())) {
            runTask(SiteTask(*due));
            setMessageBoxSink(&boxes_);
            watchBoard(false);  // what the run saw of the board, its own health told
            beatAt_ = 0;  // between tasks again: said at once
            continue;
        }
        watchBoard(true);
        beat();
        look(millisecondsToNextDue());
    }
    flushRuns();
    return 0;
}

// LISTEN first, then read: no change falls between the two.
bool TaskRunner::connect() {
    if (db_.isOpen()) return true;
    if (now() < retryAt_) return false;
    std::string error;
    if (!db_.open(site_.archive, kProgram, error) || !db_.exec("LISTEN zarn_tasks", error)) {
        db_.close();
        retryAt_ = now() + kReconnectSeconds;
        if (!toldAway_) tell("the archive is away (" + error + "): following the tasks last known");
        toldAway_ = true;
        return false;
    }
    if (toldAway_) tell("the archive is back: reading the tasks");
    toldAway_ = false;
    read();
    return db_.isOpen();
}

void TaskRunner::read() {
    std::vector<SiteTask> fresh;
    std::string error;
    if (!readSiteTasks(db_, site_.site, fresh, error)) {
        tell("cannot read the tasks: " + error);
        if (!db_.isOpen()) retryAt_ = now();
        return;
    }
    // A run under way, or not yet recorded, is one the table does not know of.
    for (SiteTask& t : fresh)
        for (const SiteTask& known : tasks_)
            if (known.id == t.id && known.lastStart) t.lastStart = std::max(t.lastStart.value_or(0), *known.lastStart);
    tasks_ = std::move(fresh);
    if (!saveSiteTasks(file_, tasks_, error)) tell("cannot keep the tasks: " + error);
    flushRuns();
}

// Waits for a change of the site's tasks up to `milliseconds`; reads them when one comes.
void TaskRunner::look(int milliseconds) {
    if (!connect()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    std::vector<std::string> changed;
    std::string error;
    if (!db_.awaitNotifications(milliseconds, changed, error)) {
        tell("the archive's connection is lost (" + error + "); connecting again");
        retryAt_ = now();
        return;
    }
    if (std::find(changed.begin(), changed.end(), site_.site) != changed.end()) read();
}

int TaskRunner::millisecondsToNextDue() const {
    long long next = LLONG_MAX;
    const long long t = now();
    for (const SiteTask& task : tasks_)
        if (const auto due = dueAt(task, t)) next = std::min(next, *due);
    return next <= t ? 0 : static_cast<int>(std::min<long long>(next - t, 1) * kIdleLookMs);
}

// On and unchanged since the run began.
bool TaskRunner::stillOn(const SiteTask& task) const {
    for (const SiteTask& t : tasks_)
        if (t.id == task.id) return t.changedAt == task.changedAt;
    return false;
}

// At once when the database is there; else with its time at the next heartbeat between tasks.
void TaskRunner::event(const char* kind, const std::string& detail) {
    std::string error;
    if (db_.isOpen() && db_.exec("INSERT INTO zarn.events (site, at, kind, detail) VALUES ($1, now(), $2, $3)",
                                 {site_.site, std::string(kind), detail}, nullptr, error))
        return;
    health_.addEvent(kind, detail);
}

void TaskRunner::runTask(const SiteTask& task) {
    const std::string number = std::to_string(task.id);
    PendingRun pending;
    pending.run.task = task.id;
    pending.run.started = now();
    noteStart(task.id, pending.run.started);
    std::string tableFile;
    if (task.table) {
        tableFile = site_.output + "/.task-" + number + ".kct";
        std::ofstream(tableFile, std::ios::binary | std::ios::trunc) << *task.table;
    }
    RecordOptions o;
    std::ostringstream refusal;
    if (readTaskOptions(task.options, o, refusal, tableFile)) {
        const std::string why = refusal.str().substr(0, refusal.str().find('\n'));
        tell("task " + number + " refused: " + why);
        pending.run.ended = pending.run.started;
        pending.run.outcome = "refused: " + why;
        pending_.push_back(std::move(pending));
        flushRuns();
        return;
    }
    pending.fileName = fileNamePart(site_.site) + "-task-" + number + "-" + stamp(pending.run.started) + ".zrn";
    o.output = site_.output + "/" + pending.fileName;
    o.archive = site_.archive;
    o.archiveDrain = site_.archiveDrain;
    o.heartbeat = site_.heartbeat;
    o.site = site_.site;
    o.siteGiven = true;
    o.siteFrom = site_.siteFrom;
    o.port = site_.port;
    o.giveUp = site_.giveUp;
    o.task = task.id;
    if (const auto end = runEnd(task, pending.run.started))
        o.seconds = static_cast<double>(std::max(1LL, *end - pending.run.started));
    tell("task " + number + " starts: " + o.output);
    event("task started", number);
    pending.run.outcome = record(task, o);
    pending.run.ended = now();
    tell("task " + number + " ended: " + pending.run.outcome);
    event("task ended", number + " " + pending.run.outcome);
    pending_.push_back(std::move(pending));
    flushRuns();
}

// The run's recording on its own thread, while this one looks for changes: its outcome.
std::string TaskRunner::record(const SiteTask& task, const RecordOptions& o) {
    endRecording(false);
    std::atomic<bool> done{false};
    int status = 0;
    std::thread recording([&] {
        status = runRecording(o, &board_);
        done = true;
    });
    bool stopped = false;
    while (!done) {
        look(kRunningLookMs);
        if (!stopped && !stillOn(task)) {
            stopped = true;
            tell("task " + std::to_string(task.id) + " was stopped or changed: its run ends");
            endRecording();
        }
    }
    recording.join();
    endRecording(false);
    return stopSignalled() ? "interrupted"
           : stopped       ? "stopped"
           : status == 0   ? "done"
                           : "failed (exit " + std::to_string(status) + ")";
}

// As the tasks kept say: neither the next read nor a restart runs it again.
void TaskRunner::noteStart(int task, long long started) {
    for (SiteTask& t : tasks_)
        if (t.id == task) t.lastStart = started;
    std::string error;
    if (!saveSiteTasks(file_, tasks_, error)) tell("cannot keep the tasks: " + error);
}

// Between tasks, the site's health every heartbeat; a run's recorder tells its own.
void TaskRunner::beat() {
    if (!db_.isOpen() || now() < beatAt_) return;
    beatAt_ = now() + health_.heartbeat();
    std::string error;
    const bool written = health_.write(db_, site_.site, 0, error);
    if (!written && !beatFailed_) tell("cannot tell the site's health: " + error);
    beatFailed_ = !written;
}

// The board as the site's health tells it between tasks: lost and back are events of their own.
void TaskRunner::watchBoard(bool tell) {
    RecorderStatus s;
    s.board.up = board_.up();
    s.ageSeconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - startedAt_).count();
    s.version = kZarnVersion;
    health_.observe(s, tell);
}

// The runs not yet in zarn.task_runs, with their surveys once the archive has them.
void TaskRunner::flushRuns() {
    while (!pending_.empty() && db_.isOpen()) {
        PendingRun& p = pending_.front();
        SqlRows rows;
        std::string error;
        if (!p.fileName.empty() &&
            db_.exec("SELECT id, record_count FROM zarn.surveys WHERE site = $1 AND file_name = $2 ORDER BY id DESC "
                     "LIMIT 1",
                     {site_.site, p.fileName}, &rows, error) &&
            !rows.empty()) {
            p.run.survey = std::stoll(rows.text(0, 0));
            p.run.records = std::stoll(rows.text(0, 1));
        }
        if (!recordTaskRun(db_, site_.site, p.run, error)) {
            tell("the run of task " + std::to_string(p.run.task) + " waits to be recorded: " + error);
            return;
        }
        pending_.pop_front();
    }
}

}  // namespace

int runTasks(const RecordOptions& site) {
    TaskRunner runner(site);
    return runner.run();
}

}  // namespace zarn
