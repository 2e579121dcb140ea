#pragma once
// zarn-fleet's /metrics in Prometheus's text exposition, a series per site:
//   zarn_fleet_site_up{site}        1 recording or between tasks, else 0
//   zarn_fleet_site_silent{site}    1 not heard from for three heartbeats, or never
//   zarn_fleet_site_backlog_records{site}, zarn_fleet_site_alarms{site}   as the health last said
// and zarn_fleet_archive_up, 1 while zarn-fleet reads the archive.

#include <string>

#include "outputs/archive/archive_connection.h"

namespace zarn {

// From readSitesWithHealth's rows.
std::string fleetMetrics(const SqlRows& sites, bool archiveUp);

}  // namespace zarn
