#pragma once
// The owner's housekeeping of what pushes added (pushes only add rows):
//
// - Packs: an hour of a survey that holds more than one pack short of
//   kPackRecords (a recorder pushes every few seconds, each push starting new
//   packs) is packed again as one push of its records would pack it, in a
//   transaction of its own under the survey's lock (a push of it waits).
//   An hour that packs no tighter is left as it is.
// - Gaps filled: their records counted into the numbers of the packs after
//   them (zarn.renumbered emptied), and the damaged stretches filled since
//   removed; in each hour's transaction for its survey, and for all at the end.
// - Hourly figures: the rows of each site, hour and frequency become one.

#include <cstdint>
#include <string>

#include "outputs/archive/archive_connection.h"

namespace zarn {

struct CompactResult {
    uint64_t hours = 0;  // packed again
    uint64_t packsBefore = 0, packsAfter = 0;
    uint64_t hourlyKeys = 0, hourlyRows = 0;  // folded: keys, from rows
    uint64_t gaps = 0, filledStretches = 0;   // folded in at the end
};

bool compact(ArchiveConnection& db, CompactResult& result, std::string& error);

}  // namespace zarn
