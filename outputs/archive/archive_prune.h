#pragma once
// Retention: the raw records of whole hours before a time go, of every site or
// of one; the hourly figures stay.
//
// - A month's partition of zarn.packs that lies wholly before the time is
//   dropped whole (with no site named); packs in the others are deleted, and
//   a partition left empty is dropped too.
// - Each removed pack leaves its header (no values) in zarn.pruned, so that
//   a pruned survey keeps its identity: pushing its log again adds nothing
//   pruned. Each prune is noted in zarn.prunes.
// - All in one transaction that holds zarn.packs for itself meanwhile (a push
//   waits); a dry run does the same and rolls it back, so its figures are
//   those a prune would give and nothing changes.

#include <cstdint>
#include <optional>
#include <string>

#include "outputs/archive/archive_connection.h"

namespace zarn {

struct PruneRequest {
    long long before = 0;  // stampSeconds on the device's clock
    std::optional<std::string> site;
    bool dryRun = false;
};

struct PruneResult {
    long long cutoff = 0;  // the hour records before which went
    uint64_t records = 0, surveys = 0, packs = 0, partitions = 0, bytes = 0;
};

bool prune(ArchiveConnection& db, const PruneRequest& request, PruneResult& result, std::string& error);

}  // namespace zarn
