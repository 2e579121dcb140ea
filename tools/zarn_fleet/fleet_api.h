#pragma once
// zarn-fleet's API, on the HTTP server's thread, each answer read from the archive as the
// role of --archive may read it:
//
//   GET  /api/sites                        {"now", "sites": [...]}: each site's health
//   GET  /api/sites/NAME                   {"site", "tasks", "runs"}
//   GET  /api/sites/NAME/events?limit=N    {"events"}: the latest N (100, at most 1000), newest first
//   GET  /api/sites/NAME/hourly?band=B&from=T&to=T          the picture: mean dBm by hour and MHz
//   GET  /api/sites/NAME/hourly?band=B&mhz=F&from=T&to=T    by hour of the day: p10, median, p90
//   GET  /api/tasks?site=NAME              {"tasks"}, of one site or all
//   POST /api/tasks                        form fields: action=add (site, options, and name,
//                                          every, for, from, until, priority) or action=stop|start
//                                          (task): the operator's token, and the role's right
//
// A band is 800 or 1900; times are YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS][Z] on the records'
// clock, `to` after `from` and at most 62 days on. A bad parameter gets 400, an unknown site
// or task 404, a change without the operator's token or the database's leave 403, each with
// {"error": "..."}; the archive away, 503.

#include "platform/http/live_server.h"
#include "tools/zarn_fleet/fleet_archive.h"

namespace zarn {

HttpReply answerFleetApi(FleetArchive& archive, const HttpRequest& request);

// The fields of an application/x-www-form-urlencoded body, decoded, in order; nullopt when
// it is malformed (a bad %XX).
std::optional<std::vector<std::pair<std::string, std::string>>> formFields(const std::string& body);

}  // namespace zarn
