#include "outputs/archive/archive_prune.h"

#include "outputs/archive/archive_packs.h"

namespace zarn {

bool prune(ArchiveConnection& db, const PruneRequest& request, PruneResult& result, std::string& error) {
    result = {};
    result.cutoff = hourOf(request.before);
    SqlRows rows;
    const auto rollBack = [&] {
        std::string ignored;
        if (db.isOpen()) db.exec("ROLLBACK", ignored);
        return false;
    };
    if (!db.exec("BEGIN", error)) return false;
    if (!db.exec("SELECT records, surveys, packs, partitions, bytes FROM "
                 "zarn.prune('epoch'::timestamp + $1::bigint * interval '1 second', $2)",
                 {std::to_string(request.before), request.site ? SqlValue(*request.site) : SqlValue()}, &rows, error)) {
        if (db.sqlState() == "42501")
            error = "this role may not prune (" + error + "): the archive's owner runs zarnlog db prune";
        return rollBack();
    }
    result.records = std::stoull(rows.text(0, 0));
    result.surveys = std::stoull(rows.text(0, 1));
    result.packs = std::stoull(rows.text(0, 2));
    result.partitions = std::stoull(rows.text(0, 3));
    result.bytes = std::stoull(rows.text(0, 4));
    if (request.dryRun) return db.exec("ROLLBACK", error);
    return db.exec("COMMIT", error) || rollBack();
}

}  // namespace zarn
