#include "tools/zarnlog/map/grid_command.h"

#include <cstdio>
#include <filesystem>

#include "outputs/archive/archive_grid.h"
#include "outputs/archive/archive_schema.h"
#include "survey/csv_rows.h"
#include "tools/zarnlog/map/log_grid.h"

namespace zarn {

namespace fs = std::filesystem;

namespace {

// For a time window that missed: when the archive's placed records are, to aim the next one.
std::string placedSpan(ArchiveConnection& db, const GridRequest& request) {
    if (!request.from && !request.to) return "";
    std::string first, last, error;
    if (!queryPlacedSpan(db, request.site, first, last, error) || first.empty()) return "";
    return "; its placed records run from " + first + " to " + last + " (--from " + first + ")";
}

}  // namespace

int writeArchiveGrid(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    ArchiveConnection db;
    if (!connectArchive(db, c, err)) return 1;
    SchemaState state;
    std::string error;
    if (readSchemaState(db, state, error) && state.version == 0)
        error = "no schema zarn: nothing was pushed yet";
    else if (error.empty())
        error = schemaProblem(state);
    Grid cells;
    const GridRequest request{c.hz, c.cell, c.from, c.to, c.siteGiven ? std::optional(c.site) : std::nullopt};
    if (!error.empty() || !queryGrid(db, request, cells, error)) {
        err << "zarnlog: " << db.target() << ": " << error << "\n";
        return 1;
    }
    std::string mhz;
    appendMegahertz(mhz, c.hz);
    if (cells.cells.empty()) {
        err << "zarnlog: " << db.target() << ": no placed reading of " << mhz << " MHz"
            << (c.from || c.to ? " in that time" : "") << (c.siteGiven ? " of site " + quotedText(c.site) : "")
            << placedSpan(db, request) << "\n";
        return 1;
    }
    uint64_t samples = 0, few = 0;
    for (const GridCell& cell : cells.cells) {
        samples += cell.samples;
        few += cell.samples < static_cast<uint64_t>(c.minSamples);
    }
    std::error_code ec;
    const fs::path folder = fs::path(c.output).parent_path();
    if (!folder.empty()) fs::create_directories(folder, ec);
    std::vector<std::string> files;
    if (!writeGrid(cells, c.output, c.format, static_cast<uint64_t>(c.minSamples), files, error)) {
        err << "zarnlog: " << error << "\n";
        return 1;
    }
    char size[32];
    std::snprintf(size, sizeof size, "%g", c.cell);
    const auto counted = [](uint64_t n, const char* one, const char* more) { return std::to_string(n) + (n == 1 ? one : more); };
    err << "zarnlog: " << counted(cells.cells.size(), " cell", " cells") << " of " << size << " m in EPSG:" << cells.epsg
        << ", " << counted(samples, " reading", " readings") << " of " << mhz << " MHz from "
        << counted(cells.surveys, " survey", " surveys") << "; " << counted(few, " cell", " cells") << " with fewer than "
        << counted(static_cast<uint64_t>(c.minSamples), " sample", " samples") << " (few_samples 1)\n";
    for (const std::string& f : files) out << f << "\n";
    return 0;
}

}  // namespace zarn
