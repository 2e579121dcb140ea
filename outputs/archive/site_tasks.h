#pragma once
// A site's tasks as zarn-record --tasks follows them (zarn.tasks, zarnlog task add):
//
// - readSiteTasks(): the site's tasks that are on, each with its last run's start.
// - dueAt(): when a task's run falls due: at --from (else when it was last changed),
//   then every --every; a task without --every runs once after each change. nullopt:
//   never again (past --until, or run once).
// - taskToRun(): of those due now, the highest priority, then the lowest number.
// - recordTaskRun(): the run in zarn.task_runs.
// - saveSiteTasks(), loadSiteTasks(): the tasks last read, kept in a file beside the logs,
//   which the site follows while the database is away.
// - saveKeptRuns(), loadKeptRuns(): the runs and events not yet in the archive, kept in a
//   file beside the logs, so that a site stopped while the database is away loses none.
// Both files are written whole, under another name, then renamed.
// Times are seconds since the epoch, UTC.

#include <optional>
#include <string>
#include <vector>

#include "outputs/archive/archive_connection.h"

namespace zarn {

struct SiteTask {
    int id = 0;
    int priority = 0;
    std::vector<std::string> options;  // zarn-record's, as zarnlog task add took them
    std::optional<std::string> table;  // a --table's contents
    std::optional<long long> every, runFor, from, until;
    long long changedAt = 0;
    std::optional<long long> lastStart;
};

struct TaskRun {
    int task = 0;
    long long started = 0, ended = 0;
    std::optional<long long> survey;
    long long records = 0;
    std::string outcome;  // "done", "stopped", "failed: ...", "interrupted"
    std::string logFile;  // the run's log in the site's folder, by which its survey is found; none: refused
};

// An event of the site told while the database was away, with its time.
struct HeldEvent {
    long long at = 0;
    std::string kind, detail;
};

struct KeptRuns {
    std::vector<TaskRun> runs;
    std::vector<HeldEvent> events;
};

bool readSiteTasks(ArchiveConnection& db, const std::string& site, std::vector<SiteTask>& tasks, std::string& error);
std::optional<long long> dueAt(const SiteTask& task, long long now);
const SiteTask* taskToRun(const std::vector<SiteTask>& tasks, long long now);
// When the run of `task` begun at `start` ends; nullopt: when the task is stopped.
std::optional<long long> runEnd(const SiteTask& task, long long start);
// A run recorded before (the same task, site and start) is not recorded again.
bool recordTaskRun(ArchiveConnection& db, const std::string& site, const TaskRun& run, std::string& error);

bool saveSiteTasks(const std::string& path, const std::vector<SiteTask>& tasks, std::string& error);
// A damaged file leaves `tasks` as they were.
bool loadSiteTasks(const std::string& path, std::vector<SiteTask>& tasks, std::string& error);
bool saveKeptRuns(const std::string& path, const KeptRuns& kept, std::string& error);
// A damaged file leaves `kept` as it was.
bool loadKeptRuns(const std::string& path, KeptRuns& kept, std::string& error);

}  // namespace zarn
