#include "outputs/archive/archive_compact.h"

#include "outputs/archive/archive_packs.h"
#include "outputs/archive/archive_schema.h"
#include "outputs/archive/pack_rebuild.h"

namespace zarn {
namespace {

constexpr const char* kMayNot = "42501";

bool rollBack(ArchiveConnection& db, std::string& error) {
    if (db.sqlState() == kMayNot)
        error = "this role may not compact (" + error + "): the archive's owner runs zarnlog db compact";
    std::string ignored;
    if (db.isOpen()) db.exec("ROLLBACK", ignored);
    return false;
}

// One survey's hour packed again; nothing changes when it packs no tighter.
bool compactHour(ArchiveConnection& db, const std::string& survey, const std::string& hour, const std::string& site,
                 CompactResult& result, std::string& error) {
    SqlRows rows;
    if (!db.exec("BEGIN", error)) return false;
    if (!db.exec("SELECT pg_advisory_xact_lock($1::integer, $2::integer)", {kArchiveLockClass, survey}, nullptr, error) ||
        !db.exec("SELECT zarn.fold_renumbered($1::integer)", {survey}, nullptr, error) ||
        !db.exec("SELECT count(*) FROM zarn.packs WHERE survey = $1::integer "
                 "AND hour = 'epoch'::timestamp + $2::bigint * interval '1 second'",
                 {survey, hour}, &rows, error))
        return rollBack(db, error);
    const uint64_t before = std::stoull(rows.text(0, 0));
    PackRebuild rebuild(db, std::stoi(survey), site, kPackViews, std::stoll(hour));
    if (!rebuild.run(error)) return rollBack(db, error);
    if (rebuild.packsWritten() >= before) return db.exec("ROLLBACK", error);
    if (!db.exec("COMMIT", error)) return rollBack(db, error);
    ++result.hours;
    result.packsBefore += before;
    result.packsAfter += rebuild.packsWritten();
    return true;
}

}  // namespace

bool compact(ArchiveConnection& db, CompactResult& result, std::string& error) {
    result = {};
    SqlRows hours;
    if (!db.exec("SELECT p.survey, extract(epoch FROM p.hour)::bigint, l.site FROM zarn.packs p "
                 "JOIN zarn.logs l ON l.id = p.survey WHERE p.records < $1::integer "
                 "GROUP BY p.survey, p.hour, l.site HAVING count(*) > 1 ORDER BY 1, 2",
                 {std::to_string(kPackRecords)}, &hours, error))
        return false;
    for (size_t i = 0; i < hours.rows.size(); ++i)
        if (!compactHour(db, hours.text(i, 0), hours.text(i, 1), hours.text(i, 2), result, error)) return false;
    SqlRows folded;
    if (!db.exec("SELECT renumbered, healed FROM zarn.fold_renumbered(NULL)", {}, &folded, error))
        return rollBack(db, error);
    result.gaps = std::stoull(folded.text(0, 0));
    result.filledStretches = std::stoull(folded.text(0, 1));
    if (!db.exec("SELECT keys, folded FROM zarn.fold_hourly()", {}, &folded, error)) return rollBack(db, error);
    result.hourlyKeys = std::stoull(folded.text(0, 0));
    result.hourlyRows = std::stoull(folded.text(0, 1));
    return true;
}

}  // namespace zarn
