#pragma once
// An archive command as its command line gives it (archive_command_line.h),
// and what every archive command does with it first: connect.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "outputs/archive/archive_connection.h"
#include "survey/track_join.h"
#include "tools/zarnlog/output_files.h"

namespace zarn {

struct ArchiveCommand {
    std::string name;  // "push", "db init", "db status", "db prune", "db compact", "grid", "site add", "site list",
                       // "site rm", "task add", "task list", "task stop", "task start", "task rm", "task runs"
    std::string operand;  // site add, site rm: the site's name; task stop, start, rm: the task's number
    std::vector<std::string> files;
    std::string conninfo;
    std::string site;
    bool siteGiven = false;
    std::string track;
    std::optional<int> utcOffset;
    uint32_t hz = 0;
    double cell = 50;
    std::optional<long long> from, to, before;
    bool dryRun = false;
    long long minSamples = 5;
    std::string output;
    MapFormat format = MapFormat::GeoPackage;
    std::string role;
    std::optional<Place> position;
    std::string description;
    bool csv = false;
    // task add: when, how long, how urgent, and zarn-record's measurement options after `--`.
    std::optional<long long> every, runFor, until;
    int priority = 0;
    std::string taskName;
    std::vector<std::string> taskOptions;
    std::vector<std::string> given;
};

// False with the reason on `err` when the archive cannot be reached.
bool connectArchive(ArchiveConnection& db, const ArchiveCommand& c, std::ostream& err);
// Connected, and the schema brought to this program's version.
bool connectPreparedArchive(ArchiveConnection& db, const ArchiveCommand& c, std::ostream& err);

// Rows of cells in columns two spaces apart, the first row the heading.
void writeColumns(const std::vector<std::vector<std::string>>& cells, std::ostream& out);

// The rows as CSV under `header` (without its line end): the columns in `quoted` as quoted
// text, the rest bare; a NULL as an empty field.
void writeCsvRows(const std::string& header, const SqlRows& rows, const std::vector<size_t>& quoted,
                  std::ostream& out);

// `text` in quotes, escaped as JSON escapes it: a site's name in a message.
std::string quotedText(const std::string& text);

}  // namespace zarn
