#pragma once
// The command line of zarnlog's commands on the team's archive in
// PostgreSQL/PostGIS, each handed to its family (archive/, map/):
//
//   push LOG.zrn... [--archive CONNINFO] [--site NAME] [--track FILE] [--utc-offset +HH:MM]
//   db init|status|compact [--archive CONNINFO]
//   db prune --before TIME [--site NAME] [--dry-run] [--archive CONNINFO]
//   grid --mhz MHZ [--archive CONNINFO] [--cell M] [--from T] [--to T] [--site S] [--min-samples N] -o OUT
//   site add NAME --role ROLE [--position LAT,LON] [--description TEXT]; site list [--csv]; site rm NAME
//
// CONNINFO: --archive, else ZARN_ARCHIVE, else libpq's defaults (PG* variables);
// passwords from ~/.pgpass or PGPASSFILE. Exit status 0, 1 (a failure, its
// message on `err`), 2 (a bad command line).

#include <ostream>
#include <string>
#include <vector>

namespace zarn {

bool isArchiveCommand(const std::string& name);
int runArchiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zarn
