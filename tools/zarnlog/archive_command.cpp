#include "tools/zarnlog/archive_command.h"

#include <algorithm>

#include "outputs/archive/archive_schema.h"
#include "survey/csv_rows.h"
#include "survey/json_writer.h"

namespace zarn {

bool connectArchive(ArchiveConnection& db, const ArchiveCommand& c, std::ostream& err) {
    std::string error;
    if (db.open(c.conninfo, "zarnlog", error)) return true;
    err << "zarnlog: cannot connect to the archive (" << db.target() << "): " << error << "\n";
    return false;
}

bool connectPreparedArchive(ArchiveConnection& db, const ArchiveCommand& c, std::ostream& err) {
    if (!connectArchive(db, c, err)) return false;
    int before = 0;
    std::string error;
    if (prepareSchema(db, before, error)) return true;
    err << "zarnlog: " << db.target() << ": " << error << "\n";
    return false;
}

void writeColumns(const std::vector<std::vector<std::string>>& cells, std::ostream& out) {
    std::vector<size_t> widths(cells.empty() ? 0 : cells[0].size());
    for (const auto& row : cells)
        for (size_t k = 0; k < row.size(); ++k) widths[k] = std::max(widths[k], row[k].size());
    for (const auto& row : cells) {
        std::string line;
        for (size_t k = 0; k < row.size(); ++k)
            line += row[k] + (k + 1 < row.size() ? std::string(widths[k] - row[k].size() + 2, ' ') : "");
        out << line << "\n";
    }
}

void writeCsvRows(const std::string& header, const SqlRows& rows, const std::vector<size_t>& quoted,
                  std::ostream& out) {
    out << header << "\n";
    for (const auto& row : rows.rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            if (i) line += ',';
            if (!row[i]) continue;
            if (std::find(quoted.begin(), quoted.end(), i) != quoted.end()) appendCsvText(line, *row[i]);
            else line += *row[i];
        }
        out << line << "\n";
    }
}

std::string quotedText(const std::string& text) {
    std::string out;
    appendJsonString(out, text);
    return out;
}

}  // namespace zarn
