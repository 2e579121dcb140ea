#include "tools/zarnlog/archive_command_line.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "outputs/archive/archive_connection.h"
#include "outputs/archive/site_desk.h"
#include "platform/command_line.h"
#include "survey/json_writer.h"
#include "survey/log_time.h"
#include "tools/zarnlog/archive/db_command.h"
#include "tools/zarnlog/archive/push_command.h"
#include "tools/zarnlog/archive/site_command.h"
#include "tools/zarnlog/archive/task_command.h"
#include "tools/zarnlog/archive_command.h"
#include "tools/zarnlog/map/grid_command.h"
#include "tools/zarnlog/zarnlog_command.h"

namespace zarn {
namespace {

const char* const kUsage =
    "Usage: zarnlog push LOG.zrn... [--archive CONNINFO] [--site NAME] [--track FILE]\n"
    "       zarnlog db init|status|compact [--archive CONNINFO]\n"
    "       zarnlog db prune --before TIME [--site NAME] [--dry-run] [--archive CONNINFO]\n"
    "       zarnlog grid --mhz MHZ [--archive CONNINFO] [--cell M] [--from T] [--to T] [--site S]\n"
    "                    [--min-samples N] -o OUT.gpkg|OUT.geojson|OUT.kml|OUT.csv\n"
    "       zarnlog site add NAME --role ROLE [--position LAT,LON] [--description TEXT] [--archive CONNINFO]\n"
    "       zarnlog site list [--csv] | site rm NAME  [--archive CONNINFO]\n"
    "       zarnlog task add --site NAME [--every D] [--for D] [--from T] [--until T] [--priority N]\n"
    "                        [--name TEXT] [--archive CONNINFO] -- MEASUREMENT-OPTIONS\n"
    "       zarnlog task list [--site NAME] [--csv] | task runs [--site NAME] | task stop|start|rm N\n"
    "                        [--archive CONNINFO]\n"
    "Try 'zarnlog --help' for more.\n";

enum Long {
    kArchive = 1000,
    kSite,
    kUtcOffset,
    kMhz,
    kCell,
    kFrom,
    kTo,
    kMinSamples,
    kBefore,
    kDryRun,
    kRole,
    kPosition,
    kDescription,
    kCsv,
    kEvery,
    kFor,
    kUntil,
    kPriority,
    kName
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

// The options each command takes.
bool takes(const std::string& command, const std::string& option) {
    if (option == "--archive") return true;
    if (command == "db prune") return option == "--before" || option == "--site" || option == "--dry-run";
    if (command == "site add") return option == "--role" || option == "--position" || option == "--description";
    if (command == "site list") return option == "--csv";
    if (command == "task list") return option == "--site" || option == "--csv";
    if (command == "push") return option == "--site" || option == "--track" || option == "--utc-offset";
    if (command == "task add")
        return option == "--site" || option == "--every" || option == "--for" || option == "--from" ||
               option == "--until" || option == "--priority" || option == "--name";
    if (command == "task runs") return option == "--site";
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
    case kDryRun: c.dryRun = true; return {};
    case kCsv: c.csv = true; return {};
    case kRole: c.role = value; return value.empty() ? "the role is empty" : "";
    case kDescription: c.description = value; return validUtf8(value) == value ? "" : "not valid UTF-8";
    case kPosition: {
        const size_t comma = value.find(',');
        const auto lat = numberOf(value.substr(0, comma));
        const auto lon = comma == std::string::npos ? std::nullopt : numberOf(value.substr(comma + 1));
        if (!lat || !lon || std::abs(*lat) > 90 || std::abs(*lon) > 180)
            return value + ": not LAT,LON in degrees (-90 to 90, -180 to 180)";
        c.position = Place{*lat, *lon};
        return {};
    }
    case kEvery:
    case kFor: {
        const auto seconds = parseTaskDuration(value);
        (o == kEvery ? c.every : c.runFor) = seconds;
        return seconds ? "" : value + ": not a duration: a whole number with s, m, h or d (30s, 10m, 1h, 1d)";
    }
    case kUntil: return (c.until = parseStamp(value)) ? "" : value + ": not a time YYYY-MM-DDTHH:MM[:SS]";
    case kPriority: {
        const auto n = numberOf(value);
        if (!n || *n != std::floor(*n) || std::abs(*n) > 1e6) return value + ": not a whole number of -1000000 to 1000000";
        c.priority = static_cast<int>(*n);
        return {};
    }
    case kName: c.taskName = value; return validUtf8(value) == value ? "" : "not valid UTF-8";
    case kBefore: return (c.before = parseStamp(value)) ? "" : value + ": not a time YYYY-MM-DDTHH:MM[:SS]";
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
                                 {"min-samples", kMinSamples, "N"}, {"output", 'o', "OUT"},
                                 {"before", kBefore, "TIME"},       {"dry-run", kDryRun, nullptr},
                                 {"role", kRole, "ROLE"},           {"position", kPosition, "LAT,LON"},
                                 {"description", kDescription, "TEXT"}, {"csv", kCsv, nullptr},
                                 {"every", kEvery, "D"},            {"for", kFor, "D"},
                                 {"until", kUntil, "TIME"},         {"priority", kPriority, "N"},
                                 {"name", kName, "TEXT"}};
    for (const Row& row : kTable) {
        const char letter = row.code == 't' || row.code == 'o' ? static_cast<char>(row.code) : '\0';
        line.options.push_back({row.name, letter, row.valueName, "", [&row, &c](const char* value) {
                                    c.given.push_back(std::string("--") + row.name);
                                    return take(row.code, value ? value : "", c);
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
        if (operands.empty() || (operands[0] != "init" && operands[0] != "status" && operands[0] != "prune" &&
                                 operands[0] != "compact"))
            return usage(err, "db takes init, status, prune or compact");
        c.name += " " + operands[0];
        operands.erase(operands.begin());
    }
    if (c.name == "site") {
        if (operands.empty() || (operands[0] != "add" && operands[0] != "list" && operands[0] != "rm"))
            return usage(err, "site takes add, list or rm");
        c.name += " " + operands[0];
        operands.erase(operands.begin());
        if (c.name != "site list") {
            if (operands.empty()) return usage(err, c.name + " needs the site's name");
            c.operand = operands[0];
            operands.erase(operands.begin());
            if (validUtf8(c.operand) != c.operand) return usage(err, "the site's name is not valid UTF-8");
        }
        if (c.name == "site add" && c.role.empty()) return usage(err, "site add needs --role ROLE");
    }
    if (c.name == "task") {
        if (const std::string problem = takeTaskOperands(operands, c); !problem.empty()) return usage(err, problem);
    }
    const bool whole = c.name == "db prune" || c.name.rfind("site ", 0) == 0 || c.name.rfind("task ", 0) == 0;
    for (const std::string& o : c.given)
        if (!takes(whole ? c.name : c.name.substr(0, c.name.find(' ')), o))
            return usage(err, c.name + " takes no " + o);
    if (c.name == "db prune" && !c.before) return usage(err, "db prune needs --before TIME");
    if (c.name == "push" && operands.empty()) return usage(err, "push needs a log file");
    if (c.name != "push" && !operands.empty()) return usage(err, "unexpected " + operands[0]);
    if (c.name == "task add") {
        if (!c.siteGiven) return usage(err, "task add needs --site NAME");
        if (c.every && !c.runFor) return usage(err, "--every needs --for: each run must end before the next");
        if (c.every && *c.runFor > *c.every) return usage(err, "--for is longer than --every: the runs would overlap");
        if (c.from && c.until && *c.until <= *c.from) return usage(err, "--until is not after --from");
    }
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

}  // namespace

bool isArchiveCommand(const std::string& name) {
    return name == "push" || name == "db" || name == "grid" || name == "site" || name == "task";
}

int runArchiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ArchiveCommand c;
    if (const int status = parse(args, c, out, err)) return status < 0 ? 0 : status;
    if (c.name == "push") return pushLogs(c, err);
    if (c.name == "db init") return initArchive(c, out, err);
    if (c.name == "db status") return showArchiveStatus(c, out, err);
    if (c.name == "db prune") return pruneArchive(c, out, err);
    if (c.name == "db compact") return compactArchive(c, out, err);
    if (c.name == "site add") return addSite(c, out, err);
    if (c.name == "site list") return listSites(c, out, err);
    if (c.name == "site rm") return removeSite(c, out, err);
    if (c.name == "task add") return addTask(c, out, err);
    if (c.name == "task list") return listTasks(c, out, err);
    if (c.name == "task runs") return listTaskRuns(c, out, err);
    if (c.name.rfind("task ", 0) == 0) return switchTask(c, out, err);
    return writeArchiveGrid(c, out, err);
}

}  // namespace zarn
