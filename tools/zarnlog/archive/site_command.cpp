#include "tools/zarnlog/archive/site_command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "outputs/archive/site_desk.h"

namespace zarn {
namespace {

constexpr const char* kTaken = "23505";

int refused(ArchiveConnection& db, const std::string& what, const std::string& error, std::ostream& err) {
    err << "zarnlog: " << db.target() << ": " << what << ": " << error;
    if (db.sqlState() == kNoPrivilege)
        err << " (an operator's role needs EXECUTE on zarn.add_site and zarn.remove_site: see docs/network.md)";
    err << "\n";
    return 1;
}

std::string sizeText(const std::string& bytes) {
    if (bytes.empty()) return "-";
    char text[32];
    const double b = std::atof(bytes.c_str());
    std::snprintf(text, sizeof text, b >= 1e9 ? "%.1f GB" : "%.0f MB", b >= 1e9 ? b / 1e9 : b / 1e6);
    return text;
}

void writeTable(const SqlRows& rows, std::ostream& out) {
    std::vector<std::vector<std::string>> cells{{"site", "state", "last heard", "task", "backlog", "disk free", "alarms"}};
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        const bool heard = rows.rows[i][2].has_value();
        cells.push_back({rows.text(i, 0), rows.text(i, 4),
                         heard ? rows.text(i, 2) + " (" + rows.text(i, 3) + " s ago)" : "-",
                         rows.rows[i][5] ? rows.text(i, 5) : "-", heard ? rows.text(i, 7) : "-",
                         sizeText(rows.text(i, 8)), heard ? rows.text(i, 9) : "-"});
    }
    writeColumns(cells, out);
}

}  // namespace

int addSite(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    ArchiveConnection db;
    if (!connectPreparedArchive(db, c, err)) return 1;
    const auto number = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.7f", v);
        return SqlValue(text);
    };
    const SqlValue lat = c.position ? number(c.position->lat) : SqlValue();
    const SqlValue lon = c.position ? number(c.position->lon) : SqlValue();
    const SqlValue about = c.description.empty() ? SqlValue() : SqlValue(c.description);
    std::string error;
    if (!db.exec("SELECT zarn.add_site($1, $2, $3::float8, $4::float8, $5)", {c.operand, c.role, lat, lon, about},
                 nullptr, error)) {
        if (db.sqlState() == kTaken)
            error = "the site " + quotedText(c.operand) + " or the role " + quotedText(c.role) + " is registered already";
        return refused(db, "site " + quotedText(c.operand) + " not added", error, err);
    }
    out << "site " << quotedText(c.operand) << " added: the role " << quotedText(c.role)
        << " pushes for it alone, reads its own rows and tasks and nothing of another site\n";
    return 0;
}

int listSites(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    ArchiveConnection db;
    if (!connectPreparedArchive(db, c, err)) return 1;
    SqlRows rows;
    std::string error;
    if (!readSitesWithHealth(db, rows, error)) return refused(db, "cannot list the sites", error, err);
    for (auto& row : rows.rows) row.resize(10);  // the columns the list has always had
    if (c.csv)
        writeCsvRows("site,role,last_heard,seconds_ago,state,task,log,backlog,disk_free_bytes,alarms", rows, {0, 1, 2, 4, 6},
                     out);
    else writeTable(rows, out);
    return 0;
}

int removeSite(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    ArchiveConnection db;
    if (!connectPreparedArchive(db, c, err)) return 1;
    std::string error;
    if (!db.exec("SELECT zarn.remove_site($1)", {c.operand}, nullptr, error))
        return refused(db, "site " + quotedText(c.operand) + " not removed", error, err);
    out << "site " << quotedText(c.operand) << " removed, and what its role was granted\n";
    return 0;
}

}  // namespace zarn
