#pragma once
// The JSON of what zarn-fleet shows, from the rows of outputs/archive/site_desk.h and of
// its own queries: a cell is a number where it holds one, null where the database said NULL.

#include <string>

#include "outputs/archive/archive_connection.h"

namespace zarn {

// {"now": epoch seconds, "sites": [...]}: each site's health, from readSitesWithHealth's rows.
std::string sitesJson(const SqlRows& rows, long long now);
// One site of those rows, as an object.
std::string siteJson(const SqlRows& rows, size_t row);
// [...] from readTaskList's rows.
std::string tasksJson(const SqlRows& rows);
// [...] from readTaskRuns's rows.
std::string runsJson(const SqlRows& rows);
// [...] of events: id, site, at, kind, detail.
std::string eventsJson(const SqlRows& rows);
// A cell as a JSON number: its text when it is one (as the database writes it), else null.
std::string jsonNumberOrNull(const SqlValue& cell);
// {"error": message}
std::string errorJson(const std::string& message);

}  // namespace zarn
