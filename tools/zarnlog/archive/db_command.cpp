#include "tools/zarnlog/archive/db_command.h"

#include <cstdio>
#include <cstdlib>

#include "outputs/archive/archive_compact.h"
#include "outputs/archive/archive_prune.h"
#include "outputs/archive/archive_schema.h"
#include "survey/log_text.h"
#include "survey/log_time.h"

namespace zarn {
namespace {

std::string megabytes(const std::string& bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", std::atof(bytes.c_str()) / 1e6);
    return text;
}

// The schema made or brought up to date, then `work`; false with the reason on `err`.
template <typename Work>
bool onPreparedArchive(const ArchiveCommand& c, std::ostream& err, Work work) {
    ArchiveConnection db;
    if (!connectArchive(db, c, err)) return false;
    int before = 0;
    std::string error;
    if (!prepareSchema(db, before, error) || !work(db, error)) {
        err << "zarnlog: " << db.target() << ": " << error << "\n";
        return false;
    }
    return true;
}

}  // namespace

int showArchiveStatus(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    ArchiveConnection db;
    if (!connectArchive(db, c, err)) return 1;
    SchemaState state;
    std::string error;
    SqlRows rows;
    if (!readSchemaState(db, state, error)) {
        err << "zarnlog: " << db.target() << ": " << error << "\n";
        return 1;
    }
    out << "archive  " << db.target() << "\n";
    out << "postgis  " << (state.postgis.empty() ? "none: " + schemaProblem(state) : state.postgis) << "\n";
    out << "schema   ";
    if (state.version == 0) out << "none (zarnlog db init makes it)\n";
    else out << "zarn version " << state.version << " (this zarnlog knows " << kArchiveSchemaVersion << ")\n";
    if (state.version == 0 || state.version > kArchiveSchemaVersion) return 0;
    if (!db.exec("SELECT count(*), coalesce(sum(record_count), 0), "
                 "(SELECT coalesce(sum(pg_total_relation_size(c.oid)), 0) FROM pg_class c "
                 "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = 'zarn' AND c.relkind = 'r') "
                 "FROM zarn.surveys",
                 {}, &rows, error)) {
        err << "zarnlog: " << db.target() << ": " << error << "\n";
        return 1;
    }
    out << "surveys  " << rows.text(0, 0) << "\nrecords  " << rows.text(0, 1) << "\nsize     "
        << megabytes(rows.text(0, 2)) << "\n";
    if (state.version < 2) return 0;
    if (!db.exec("SELECT count(*), (SELECT coalesce(sum(pg_total_relation_size(c.oid)), 0) FROM pg_inherits i "
                 "JOIN pg_class c ON c.oid = i.inhrelid WHERE i.inhparent = 'zarn.hourly_figures'::regclass) "
                 "FROM zarn.hourly_figures",
                 {}, &rows, error)) {
        err << "zarnlog: " << db.target() << ": " << error << "\n";
        return 1;
    }
    out << "hourly   " << rows.text(0, 0) << " rows, " << megabytes(rows.text(0, 1)) << "\n";
    if (!db.exec("SELECT to_char(pruned_at, 'YYYY-MM-DD HH24:MI'), extract(epoch FROM before)::bigint, site, records, "
                 "surveys, partitions, bytes FROM zarn.prunes ORDER BY id",
                 {}, &rows, error)) {
        err << "zarnlog: " << db.target() << ": " << error << "\n";
        return 1;
    }
    for (size_t i = 0; i < rows.rows.size(); ++i)
        out << "pruned   " << rows.text(i, 0) << ": before " << isoTime(stampTime(std::stoll(rows.text(i, 1))))
            << (rows.rows[i][2] ? ", site " + quotedText(rows.text(i, 2)) : ", every site") << ": " << rows.text(i, 3)
            << " records of " << rows.text(i, 4) << " surveys, " << rows.text(i, 5) << " partitions dropped, "
            << megabytes(rows.text(i, 6)) << " freed\n";
    return 0;
}

int pruneArchive(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    PruneResult result;
    const PruneRequest request{*c.before, c.siteGiven ? std::optional(c.site) : std::nullopt, c.dryRun};
    if (!onPreparedArchive(c, err, [&](ArchiveConnection& db, std::string& error) {
            return prune(db, request, result, error);
        }))
        return 1;
    if (result.cutoff != *c.before)
        err << "zarnlog: records go in whole hours: those before " << isoTime(stampTime(result.cutoff)) << "\n";
    out << (c.dryRun ? "would prune " : "pruned ") << result.records << " records of " << result.surveys
        << " surveys before " << isoTime(stampTime(result.cutoff))
        << (c.siteGiven ? " (site " + quotedText(c.site) + ")" : "") << ": " << result.partitions
        << " partitions dropped, " << result.packs << " packs, " << megabytes(std::to_string(result.bytes))
        << " freed\n";
    return 0;
}

int compactArchive(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    CompactResult result;
    if (!onPreparedArchive(c, err, [&](ArchiveConnection& db, std::string& error) {
            return compact(db, result, error);
        }))
        return 1;
    out << "compacted " << result.hours << " hours of packs (" << result.packsBefore << " packs into "
        << result.packsAfter << "); hourly figures: " << result.hourlyRows << " rows into " << result.hourlyKeys
        << "; gaps filled: " << result.gaps << ", damaged stretches filled: " << result.filledStretches << "\n";
    return 0;
}

int initArchive(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    ArchiveConnection db;
    if (!connectArchive(db, c, err)) return 1;
    int before = 0;
    std::string error;
    if (!prepareSchema(db, before, error)) {
        err << "zarnlog: " << db.target() << ": " << error << "\n";
        return 1;
    }
    out << "schema zarn version " << kArchiveSchemaVersion << " in " << db.target() << ": "
        << (before == kArchiveSchemaVersion ? "as it was"
            : before == 0                   ? "made"
                                            : "upgraded from version " + std::to_string(before))
        << "\n";
    return 0;
}

}  // namespace zarn
