#pragma once
// What the desk reads of the network and changes in it, for zarnlog's site and task
// commands and zarn-fleet alike, each statement with its values as parameters:
//
// - readSitesWithHealth(): every site with its health, one row a site by name; its state
//   `silent` after three heartbeats without one, `never heard` without any. The columns:
//     0 name, 1 role, 2 last heard (ISO 8601 UTC), 3 seconds since, 4 state, 5 task, 6 log,
//     7 backlog, 8 disk free (bytes), 9 alarms raised, 10 lat, 11 lon, 12 description,
//     13 heartbeat (s), 14 records, 15 dropped, 16 uptime (s), 17 version, 18 GPS fix
// - readTaskList(): the tasks, of one site or all, by site, priority (highest first), number:
//     0 number, 1 site, 2 name, 3 state (on, stopped), 4 priority, 5 every (s), 6 for (s),
//     7 from, 8 until (ISO 8601 UTC), 9 options joined by blanks, 10 options as a JSON array
// - readTaskRuns(): the runs, of one site or all (or only the newest few), oldest first:
//     0 task (- when removed), 1 site, 2 started, 3 ended, 4 survey (-), 5 records, 6 outcome
// - insertTask(): a task of zarn-record's measurement options, its number; the caller has
//   checked the options as the recorder will.
// - switchTask(): a task stopped, started again or removed; the site it was, or nullopt
//   when there is no such task (or the role may not see it).
// Refusals are the database's (row-level security, grants): the connection's sqlState() says.

#include <optional>
#include <string>
#include <vector>

#include "outputs/archive/archive_connection.h"

namespace zarn {

constexpr const char* kNoPrivilege = "42501";
constexpr const char* kNoSuchRow = "23503";  // a foreign key: no such site

// "30s", "10m", "1h", "1d" in seconds (up to a year); nullopt for anything else.
std::optional<long long> parseTaskDuration(const std::string& text);

bool readSitesWithHealth(ArchiveConnection& db, SqlRows& rows, std::string& error);
bool readTaskList(ArchiveConnection& db, const std::optional<std::string>& site, SqlRows& rows, std::string& error);
bool readTaskRuns(ArchiveConnection& db, const std::optional<std::string>& site, SqlRows& rows, std::string& error,
                  std::optional<int> newest = std::nullopt);

struct NewTask {
    std::string site;
    std::optional<std::string> name, table;  // a --table's contents
    std::vector<std::string> options;
    std::optional<long long> every, runFor, from, until;  // seconds; from and until since the epoch
    int priority = 0;
};
bool insertTask(ArchiveConnection& db, const NewTask& task, int& id, std::string& error);

enum class TaskSwitch { Stop, Start, Remove };
bool switchTask(ArchiveConnection& db, long long id, TaskSwitch to, std::optional<std::string>& site, std::string& error);

}  // namespace zarn
