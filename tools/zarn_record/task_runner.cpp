#include "tools/zarn_record/task_runner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cctype>
#include <climits>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "outputs/archive/archive_connection.h"
#include "outputs/archive/archive_schema.h"
#include "outputs/archive/growing_track.h"
#include "outputs/archive/log_pusher.h"
#include "outputs/archive/site_health.h"
#include "outputs/archive/site_tasks.h"
#include "recording/track_recorder.h"
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

class TaskRunner {
public:
    explicit TaskRunner(const RecordOptions& site)
        : site_(site),
          file_(site.output + "/.zarn-tasks-" + fileNamePart(site.site)),
          runsFile_(site.output + "/.zarn-runs-" + fileNamePart(site.site)),
          health_(site.heartbeat, site.output) {
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
    bool flushEvents(std::string& error);
    bool shipLog(const std::string& fileName, std::string& error);
    bool findSurvey(TaskRun& run, std::string& error);
    void keepRun(TaskRun run);
    void keepRuns();
    void beat();
    void watchBoard(bool tell);
    int millisecondsToNextDue() const;

    const RecordOptions& site_;
    const std::string file_;
    const std::string runsFile_;
    const std::chrono::steady_clock::time_point startedAt_ = std::chrono::steady_clock::now();
    StderrBoxes boxes_;
    BoardLink board_;
    ArchiveConnection db_;
    std::vector<SiteTask> tasks_;
    KeptRuns kept_;  // what the archive does not have yet
    bool schemaReady_ = false;
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
    if (loadKeptRuns(runsFile_, kept_, error) && !kept_.runs.empty())
        tell("runs kept, not yet recorded: " + std::to_string(kept_.runs.size()));
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
    kept_.events.push_back({now(), kind, detail});
    keepRuns();
}

void TaskRunner::runTask(const SiteTask& task) {
    const std::string number = std::to_string(task.id);
    TaskRun run;
    run.task = task.id;
    run.started = now();
    noteStart(task.id, run.started);
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
        run.ended = run.started;
        run.outcome = "refused: " + why;
        return keepRun(std::move(run));
    }
    run.logFile = fileNamePart(site_.site) + "-task-" + number + "-" + stamp(run.started) + ".zrn";
    o.output = site_.output + "/" + run.logFile;
    o.archive = site_.archive;
    o.archiveDrain = site_.archiveDrain;
    o.heartbeat = site_.heartbeat;
    o.site = site_.site;
    o.siteGiven = true;
    o.siteFrom = site_.siteFrom;
    o.port = site_.port;
    o.giveUp = site_.giveUp;
    o.task = task.id;
    if (const auto end = runEnd(task, run.started))
        o.seconds = static_cast<double>(std::max(1LL, *end - run.started));
    tell("task " + number + " starts: " + o.output);
    event("task started", number);
    run.outcome = record(task, o);
    run.ended = now();
    tell("task " + number + " ended: " + run.outcome);
    event("task ended", number + " " + run.outcome);
    keepRun(std::move(run));
}

// Kept before it is recorded: a site stopped while the database is away loses no run.
void TaskRunner::keepRun(TaskRun run) {
    kept_.runs.push_back(std::move(run));
    keepRuns();
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
    flushRuns();
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

// The events and runs kept, in order, each run's log shipped first and its survey found.
void TaskRunner::flushRuns() {
    std::string error;
    if (!db_.isOpen() || (kept_.runs.empty() && kept_.events.empty())) return;
    if (!flushEvents(error)) return tell("the events kept wait to be told: " + error);
    while (!kept_.runs.empty()) {
        TaskRun& run = kept_.runs.front();
        if (!shipLog(run.logFile, error)) {
            if (!db_.isOpen()) return tell("the run of task " + std::to_string(run.task) + " waits: " + error);
            tell(run.logFile + " not shipped (" + error + "): its run goes with what the archive holds of it");
        }
        if (!findSurvey(run, error) || !recordTaskRun(db_, site_.site, run, error))
            return tell("the run of task " + std::to_string(run.task) + " waits to be recorded: " + error);
        kept_.runs.erase(kept_.runs.begin());
        keepRuns();
    }
}

bool TaskRunner::flushEvents(std::string& error) {
    while (!kept_.events.empty()) {
        const HeldEvent& e = kept_.events.front();
        if (!db_.exec("INSERT INTO zarn.events (site, at, kind, detail) VALUES ($1, to_timestamp($2::bigint), $3, $4)",
                      {site_.site, std::to_string(e.at), e.kind, e.detail}, nullptr, error))
            return false;
        kept_.events.erase(kept_.events.begin());
        keepRuns();
    }
    return true;
}

// As the run's own archive output ships it; the push goes on from what the archive holds, so a
// log shipped whole or in part before gains only what it lacks.
bool TaskRunner::shipLog(const std::string& fileName, std::string& error) {
    const std::string path = site_.output + "/" + fileName;
    if (fileName.empty() || !std::filesystem::exists(path)) return true;
    int before = 0;
    if (!schemaReady_ && !(schemaReady_ = prepareSchema(db_, before, error))) return false;
    GrowingTrack track(TrackRecorder::trackPathFor(path));
    track.refresh();
    track.setFinal();
    LogPusher pusher(db_, path, site_.site, true);
    PushProgress progress;
    const bool pushed = pusher.push(track, progress, error);
    for (const std::string& notice : progress.notices) tell(fileName + ": " + notice);
    return pushed;
}

bool TaskRunner::findSurvey(TaskRun& run, std::string& error) {
    SqlRows rows;
    if (run.logFile.empty()) return true;
    if (!db_.exec("SELECT id, record_count FROM zarn.surveys WHERE site = $1 AND file_name = $2 ORDER BY id DESC "
                  "LIMIT 1",
                  {site_.site, run.logFile}, &rows, error))
        return false;
    if (!rows.empty()) {
        run.survey = std::stoll(rows.text(0, 0));
        run.records = std::stoll(rows.text(0, 1));
    }
    return true;
}

void TaskRunner::keepRuns() {
    std::string error;
    if (!saveKeptRuns(runsFile_, kept_, error)) tell("cannot keep the runs not yet recorded: " + error);
}

}  // namespace

int runTasks(const RecordOptions& site) {
    TaskRunner runner(site);
    return runner.run();
}

}  // namespace zarn
