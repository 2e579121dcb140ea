#include "tools/zarnlog/archive_command_line.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "outputs/archive/archive_connection.h"
#include "outputs/archive/archive_grid.h"
#include "outputs/archive/archive_schema.h"
#include "outputs/archive/log_pusher.h"
#include "platform/command_line.h"
#include "survey/csv_rows.h"
#include "survey/json_writer.h"
#include "survey/log_time.h"
#include "tools/zarnlog/map/log_grid.h"
#include "tools/zarnlog/track_choice.h"
#include "tools/zarnlog/zarnlog_command.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

const char* const kUsage =
    "Usage: zarnlog push LOG.zrn... [--archive CONNINFO] [--site NAME] [--track FILE]\n"
    "       zarnlog db init|status [--archive CONNINFO]\n"
    "       zarnlog grid --mhz MHZ [--archive CONNINFO] [--cell M] [--from T] [--to T] [--site S]\n"
    "                    [--min-samples N] -o OUT.gpkg|OUT.geojson|OUT.kml|OUT.csv\n"
    "Try 'zarnlog --help' for more.\n";

enum Long { kArchive = 1000, kSite, kUtcOffset, kMhz, kCell, kFrom, kTo, kMinSamples };

struct ArchiveCommand {
    std::string name;  // "push", "db init", "db status", "grid"
    std::vector<std::string> files;
    std::string conninfo;
    std::string site;
    bool siteGiven = false;
    std::string track;
    std::optional<int> utcOffset;
    uint32_t hz = 0;
    double cell = 50;
    std::optional<long long> from, to;
    long long minSamples = 5;
    std::string output;
    MapFormat format = MapFormat::GeoPackage;
    std::vector<std::string> given;
};

int usage(std::ostream& err, const std::string& what) {
    err << "zarnlog: " << what << "\n" << kUsage;
    return 2;
}

std::optional<double> numberOf(const std::string& text) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::string quoted(const std::string& text) {
    std::string out;
    appendJsonString(out, text);
    return out;
}

// The options each command takes.
bool takes(const std::string& command, const std::string& option) {
    if (option == "--archive") return true;
    if (command == "push") return option == "--site" || option == "--track" || option == "--utc-offset";
    if (command == "grid")
        return option == "--mhz" || option == "--cell" || option == "--from" || option == "--to" ||
               option == "--site" || option == "--min-samples" || option == "--output";
    return false;
}

// The option's value into the command; a usage message when it is no good.
std::string take(int o, const std::string& value, ArchiveCommand& c) {
    switch (o) {
    case kArchive: c.conninfo = value; return conninfoProblem(value);
    case kSite:
        c.site = value;
        c.siteGiven = true;
        if (value.empty()) return "the site is empty";
        return validUtf8(value) == value ? "" : "not valid UTF-8";
    case 't': c.track = value; return {};
    case 'o': c.output = value; return {};
    case kUtcOffset: return (c.utcOffset = parseUtcOffset(value)) ? "" : value + ": not +HH:MM";
    case kMhz: {
        const auto mhz = numberOf(value);
        if (!mhz || *mhz <= 0 || *mhz >= 4000) return value + ": not a frequency in MHz";
        c.hz = static_cast<uint32_t>(std::llround(*mhz * 1e6));
        return {};
    }
    case kCell: {
        const auto metres = numberOf(value);
        if (!metres || *metres < 1 || *metres > 100000) return value + ": not a cell size of 1 to 100000 metres";
        c.cell = *metres;
        return {};
    }
    case kMinSamples: {
        const auto n = numberOf(value);
        if (!n || *n < 1 || *n != std::floor(*n) || *n > 1e9) return value + ": not a whole number of samples";
        c.minSamples = static_cast<long long>(*n);
        return {};
    }
    case kFrom:
    case kTo:
        return ((o == kFrom ? c.from : c.to) = parseStamp(value)) ? "" : value + ": not a time YYYY-MM-DDTHH:MM[:SS]";
    default: return {};
    }
}

CommandLine archiveOptions(ArchiveCommand& c, std::vector<std::string>& operands) {
    CommandLine line{"zarnlog", "", {}};
    struct Row {
        const char* name;
        int code;
        const char* valueName;
    };
    static const Row kTable[] = {{"archive", kArchive, "CONNINFO"}, {"site", kSite, "NAME"},
                                 {"track", 't', "FILE"},            {"utc-offset", kUtcOffset, "+HH:MM"},
                                 {"mhz", kMhz, "MHZ"},              {"cell", kCell, "M"},
                                 {"from", kFrom, "TIME"},           {"to", kTo, "TIME"},
                                 {"min-samples", kMinSamples, "N"}, {"output", 'o', "OUT"}};
    for (const Row& row : kTable) {
        const char letter = row.code == 't' || row.code == 'o' ? static_cast<char>(row.code) : '\0';
        line.options.push_back({row.name, letter, row.valueName, "", [&row, &c](const char* value) {
                                    c.given.push_back(std::string("--") + row.name);
                                    return take(row.code, value, c);
                                }});
    }
    line.operands = &operands;
    line.help = kZarnlogHelp;
    line.usage = kUsage;
    return line;
}

// 0 when the command line holds a command; otherwise the exit status, its message written.
int parse(const std::vector<std::string>& args, ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    std::vector<std::string> operands;
    if (const auto status = parseCommandLine(archiveOptions(c, operands), args, out, err)) return *status ? *status : -1;
    const bool archiveGiven = std::find(c.given.begin(), c.given.end(), "--archive") != c.given.end();
    c.name = operands.at(0);
    operands.erase(operands.begin());
    if (c.name == "db") {
        if (operands.empty() || (operands[0] != "init" && operands[0] != "status"))
            return usage(err, "db takes init or status");
        c.name += " " + operands[0];
        operands.erase(operands.begin());
    }
    for (const std::string& o : c.given)
        if (!takes(c.name.substr(0, c.name.find(' ')), o)) return usage(err, c.name + " takes no " + o);
    if (c.name == "push" && operands.empty()) return usage(err, "push needs a log file");
    if (c.name != "push" && !operands.empty()) return usage(err, "unexpected " + operands[0]);
    c.files = operands;
    if (c.name == "grid") {
        if (!c.hz) return usage(err, "grid needs --mhz MHZ");
        if (c.output.empty()) return usage(err, "grid needs -o OUT.gpkg, OUT.geojson, OUT.kml or OUT.csv");
        const std::optional<MapFormat> format = mapFormatOf(c.output);
        if (!format) return usage(err, "grid writes .gpkg, .geojson, .kml or .csv, not " + c.output);
        c.format = *format;
        if (c.from && c.to && *c.to <= *c.from) return usage(err, "--to is not after --from");
    }
    if (!archiveGiven) {
        const char* fromEnvironment = std::getenv("ZARN_ARCHIVE");
        c.conninfo = fromEnvironment ? fromEnvironment : "";
        if (const std::string problem = conninfoProblem(c.conninfo); !problem.empty())
            return usage(err, "ZARN_ARCHIVE: " + problem);
    } else if (conninfoHasPassword(c.conninfo)) {
        err << "zarnlog: --archive names a password, which every user of this machine can see; keep it in "
               "~/.pgpass (mode 600) instead\n";
    }
    return 0;
}

bool connect(ArchiveConnection& db, const ArchiveCommand& c, std::ostream& err) {
    std::string error;
    if (db.open(c.conninfo, "zarnlog", error)) return true;
    err << "zarnlog: cannot connect to the archive (" << db.target() << "): " << error << "\n";
    return false;
}

// A track named with --track must place at least one record of the log, or it is the wrong one.
bool placesAny(const std::string& file, const TrackJoin& join, std::ostream& err) {
    LogReader reader;
    LogHeader header;
    if (!reader.open(file) || !reader.readHeader(header)) return true;  // the pusher says what is wrong
    PlacingCounts counts;
    forEachRecord(reader, [&](const LogRecord& r) {
        Place p;
        return join.place(r.time, p, counts) != Placing::Placed;
    });
    if (counts.placed || counts.notPlaced() == 0) return true;
    err << "zarnlog: " << file << ": " << join.nothingPlaced(counts) << "; nothing pushed\n";
    return false;
}

// Connected, with the schema there: made or upgraded on first use.
bool ready(ArchiveConnection& db, const ArchiveCommand& c, bool& schemaReady, std::ostream& err) {
    if (!db.isOpen() && !connect(db, c, err)) return false;
    int before = 0;
    std::string error;
    if (!schemaReady && !prepareSchema(db, before, error)) {
        err << "zarnlog: " << db.target() << ": " << error << "\n";
        return false;
    }
    return schemaReady = true;
}

bool pushOne(ArchiveConnection& db, const ArchiveCommand& c, const std::string& file, bool& schemaReady,
             std::ostream& err) {
    LogPusher pusher(db, file, c.site, c.siteGiven);
    std::string error;
    if (!pusher.identify(error)) {
        err << "zarnlog: " << file << ": " << error << "\n";
        return false;
    }
    if (!pusher.identified()) {
        err << "zarnlog: " << file << ": no record yet: nothing to push\n";
        return true;
    }
    const TrackChoice track = chooseTrack(file, c.track, c.utcOffset, false, err);
    if (track.failed || (track.join && track.given && !placesAny(file, *track.join, err))) return false;
    NoPlaces none;
    std::optional<TrackPlaces> placed;
    if (track.join) placed.emplace(*track.join);
    if (!ready(db, c, schemaReady, err)) return false;
    PushProgress progress;
    if (!pusher.push(placed ? static_cast<RecordPlaces&>(*placed) : none, progress, error)) {
        err << "zarnlog: " << file << ": " << error;
        if (progress.added)
            err << "; the " << progress.added << " records stored before stay, and a push again goes on";
        err << "\n";
        return false;
    }
    LogPusher::Totals t;
    if (!pusher.totals(t, error)) {
        err << "zarnlog: " << file << ": " << error << "\n";
        return false;
    }
    err << "zarnlog: pushed " << t.records << " records (" << progress.added << " new) of " << file << " to "
        << db.target() << "; " << t.notPlaced << " not placed; " << t.damaged << " damaged stretches\n";
    if (progress.cutShort)
        err << "zarnlog: " << file << " ends in a record cut short (still being written?); a later push takes it\n";
    return true;
}

int push(ArchiveCommand& c, std::ostream& err) {
    if (!c.siteGiven) c.site = defaultSite(c.siteGiven);
    if (validUtf8(c.site) != c.site) {
        err << "zarnlog: the site " << quoted(validUtf8(c.site))
            << " (ZARN_SITE or the host's name) is not valid UTF-8\n";
        return 1;
    }
    ArchiveConnection db;
    bool schemaReady = false;
    if (!connect(db, c, err)) return 1;
    int status = 0;
    for (const std::string& file : c.files)
        if (!pushOne(db, c, file, schemaReady, err)) status = 1;
    return status;
}

std::string megabytes(const std::string& bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", std::atof(bytes.c_str()) / 1e6);
    return text;
}

int status(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    ArchiveConnection db;
    if (!connect(db, c, err)) return 1;
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

int init(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    ArchiveConnection db;
    if (!connect(db, c, err)) return 1;
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

int grid(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    ArchiveConnection db;
    if (!connect(db, c, err)) return 1;
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
            << (c.from || c.to ? " in that time" : "") << (c.siteGiven ? " of site " + quoted(c.site) : "") << "\n";
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
    err << "zarnlog: " << cells.cells.size() << " cells of " << size << " m in EPSG:" << cells.epsg << ", " << samples
        << " readings of " << mhz << " MHz from " << cells.surveys << " surveys; " << few << " cells with fewer than "
        << c.minSamples << " samples (few_samples 1)\n";
    for (const std::string& f : files) out << f << "\n";
    return 0;
}

}  // namespace

bool isArchiveCommand(const std::string& name) { return name == "push" || name == "db" || name == "grid"; }

int runArchiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ArchiveCommand c;
    if (const int status = parse(args, c, out, err)) return status < 0 ? 0 : status;
    if (c.name == "push") return push(c, err);
    if (c.name == "db init") return init(c, out, err);
    if (c.name == "db status") return status(c, out, err);
    return grid(c, out, err);
}

}  // namespace zarn
