#pragma once
// The archive as version 1 of the schema zarn held it, for the test that moves
// such an archive forward: the schema as its migration made it, and a log's
// rows as its pusher wrote them (a row in zarn.records for every record, a row
// in zarn.sweeps for a sweep, a row in zarn.channel_readings for each channel
// measured), in one transaction.

#include <string>

#include "outputs/archive/archive_connection.h"
#include "survey/track_join.h"

namespace zarn::testing {

// A log of `site` into an archive of version 1, placed on `track` when given.
bool pushVersion1(ArchiveConnection& db, const std::string& log, const std::string& site, const TrackJoin* track,
                  std::string& error);

}  // namespace zarn::testing
