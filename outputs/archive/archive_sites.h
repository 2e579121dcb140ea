#pragma once
// The archive as a network's control plane (version 3 of the schema zarn):
//
//   zarn.sites       a site: its name, the role its recorder logs in as, where it stands
//   zarn.health      a row a site, replaced at each heartbeat
//   zarn.events      what happened at a site, with its time
//   zarn.tasks       what a site measures, when, at what priority; zarn.task_runs, each run
//   zarn_sites       the channel a heartbeat or an event notifies, with the site (version 4)
//   zarn.site_of(role)                 the site a role is, NULL for one that is none
//   zarn.add_site(...), zarn.remove_site(name)   for an operator: register a site and grant
//                                      its role, or take both back
//
// Row-level security holds a role registered as a site to its site's rows in every table
// (FORCE: in views and functions of the owner too); it adds and reads only those, and
// changes nothing it pushed. A role that is no site is held by its grants alone.

#include <optional>
#include <string>

#include "outputs/archive/archive_connection.h"

namespace zarn {

// Migration 3.
bool addSites(ArchiveConnection& db, std::string& error);
// Migration 4: a heartbeat or an event notifies the channel zarn_sites with its site's name.
bool addSiteNotices(ArchiveConnection& db, std::string& error);

// The connected role, and the site it is: nullopt when it is none, or the schema has no sites yet.
struct ConnectedRole {
    std::string role;
    std::optional<std::string> site;
};
bool readConnectedRole(ArchiveConnection& db, ConnectedRole& connected, std::string& error);

// Why `connected` may not push under `site`; empty when it may.
std::string siteRefusal(const ConnectedRole& connected, const std::string& site);

}  // namespace zarn
