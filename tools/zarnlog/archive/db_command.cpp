#include "tools/zarnlog/archive/db_command.h"

#include <cstdio>
#include <cstdlib>

#include "outputs/archive/archive_schema.h"

namespace zarn {
namespace {

std::string megabytes(const std::string& bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", std::atof(bytes.c_str()) / 1e6);
    return text;
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
