#include "tools/zarnlog/locate_command_line.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <system_error>

#include "outputs/archive/archive_connection.h"
#include "platform/command_line.h"
#include "survey/json_writer.h"
#include "survey/log_time.h"
#include "tools/zarnlog/map/locate_command.h"
#include "tools/zarnlog/map/locate_layers.h"
#include "tools/zarnlog/zarnlog_command.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

const char* const kUsage =
    "Usage: zarnlog locate LOG.zrn... [--track FILE] [--utc-offset +HH:MM] FREQUENCY [--method fit|centroid] [-o OUT]\n"
    "       zarnlog locate --archive CONNINFO [--site NAME] [--from TIME] [--to TIME] FREQUENCY [--method ...] [-o OUT]\n"
    "       FREQUENCY: --mhz MHZ | --channel N --band 800|1900; OUT: OUT.gpkg, OUT.geojson or OUT.kml\n"
    "Try 'zarnlog --help' for more.\n";

struct Parsed {
    LocateRequest request;
    bool mhz = false;
    std::optional<uint8_t> band;
    std::optional<uint32_t> channel;
    std::vector<std::string> given;
    bool gave(const char* option) const { return std::find(given.begin(), given.end(), option) != given.end(); }
};

int usage(std::ostream& err, const std::string& what) {
    err << "zarnlog: " << what << "\n" << kUsage;
    return 2;
}

std::string takeMhz(const std::string& value, Parsed& p) {
    char* end = nullptr;
    const double mhz = std::strtod(value.c_str(), &end);
    if (value.empty() || *end || !std::isfinite(mhz) || mhz <= 0 || mhz >= 4294)
        return "--mhz " + value + ": not a frequency in MHz";
    p.request.hz = static_cast<uint32_t>(std::llround(mhz * 1e6));
    p.mhz = true;
    if (!locateBandOf(p.request.hz))
        return "--mhz " + value + ": outside the 800 MHz band (869.01 to 893.97) and the 1900 MHz band (1930 to 1990)";
    return {};
}

std::string takeChannel(const std::string& value, Parsed& p) {
    char* end = nullptr;
    const long n = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end || n < 0 || n > 65535) return "--channel " + value + ": not a channel number";
    p.channel = static_cast<uint32_t>(n);
    return {};
}

std::string takeSite(const std::string& value, Parsed& p) {
    if (value.empty() || validUtf8(value) != value) return "--site: not a site's name in UTF-8";
    p.request.archive.site = value;
    return {};
}

std::function<std::string(const std::string&)> stampInto(const char* name, std::optional<long long>& field) {
    return [name, &field](const std::string& value) {
        if ((field = parseStamp(value))) return std::string();
        return std::string("--") + name + " " + value + ": not a time YYYY-MM-DDTHH:MM[:SS]";
    };
}

CommandLine locateOptions(Parsed& p, std::vector<std::string>& operands) {
    LocateRequest& r = p.request;
    CommandLine line{"zarnlog", "", {}};
    const auto option = [&p](const char* name, char letter, const char* valueName,
                             std::function<std::string(const std::string&)> take) {
        return CommandOption{name, letter, valueName, "", [name, &p, take](const char* value) {
                                 p.given.push_back(std::string("--") + name);
                                 return take(value);
                             }};
    };
    const auto into = [](std::string& field) {
        return [&field](const std::string& value) {
            field = value;
            return std::string();
        };
    };
    line.options = {
        option("output", 'o', "OUT", into(r.output)),
        option("track", 't', "FILE", into(r.track)),
        option("utc-offset", 0, "+HH:MM",
               [&r](const std::string& v) {
                   return (r.utcOffset = parseUtcOffset(v)) ? "" : "--utc-offset " + v + ": not +HH:MM";
               }),
        option("mhz", 0, "MHZ", [&p](const std::string& v) { return takeMhz(v, p); }),
        option("channel", 0, "N", [&p](const std::string& v) { return takeChannel(v, p); }),
        option("band", 0, "800|1900",
               [&p](const std::string& v) -> std::string {
                   if (v != "800" && v != "1900") return "--band " + v + ": not 800 or 1900";
                   p.band = v == "800" ? 0 : 1;
                   return {};
               }),
        option("method", 0, "fit|centroid",
               [&r](const std::string& v) -> std::string {
                   if (v != "fit" && v != "centroid") return "--method " + v + ": not fit or centroid";
                   r.method = v == "fit" ? LocateMethod::Fit : LocateMethod::Centroid;
                   return {};
               }),
        option("archive", 0, "CONNINFO",
               [&r](const std::string& v) {
                   r.conninfo = v;
                   const std::string problem = conninfoProblem(v);
                   return problem.empty() ? problem : "--archive: " + problem;
               }),
        option("site", 0, "NAME", [&p](const std::string& v) { return takeSite(v, p); }),
        option("from", 0, "TIME", stampInto("from", r.archive.from)),
        option("to", 0, "TIME", stampInto("to", r.archive.to)),
    };
    line.operands = &operands;
    line.help = kZarnlogHelp;
    line.usage = kUsage;
    return line;
}

// The frequency's options, each alone or together as they must be.
std::string frequencyProblem(Parsed& p) {
    if (p.mhz && (p.channel || p.band)) return "locate takes --mhz or --channel with --band, not both";
    if (!p.mhz && !(p.channel && p.band)) return "locate needs --mhz MHZ, or --channel N with --band 800|1900";
    if (p.mhz) return {};
    p.request.channel = *p.channel;
    p.request.band = *p.band;
    if (!locateChannelKnown(*p.band, *p.channel))
        return "--channel " + std::to_string(*p.channel) + ": no channel of the " + (*p.band ? "1900" : "800") +
               " MHz band under any raster";
    return {};
}

std::string outputProblem(Parsed& p) {
    LocateRequest& r = p.request;
    if (r.output.empty()) return {};
    const std::optional<MapFormat> format = mapFormatOf(r.output);
    if (!format || *format == MapFormat::Csv) return "locate writes .gpkg, .geojson or .kml, not " + r.output;
    r.format = *format;
    for (const std::string& log : r.logs)
        for (const std::string& file : locateLayerFiles(r.format, r.output)) {
            std::error_code ec;
            if (fs::equivalent(log, file, ec)) return "-o " + r.output + " would write over the log " + log;
        }
    return {};
}

// 0 when the command line holds a command; otherwise the exit status, its message written.
int parse(const std::vector<std::string>& args, Parsed& p, std::ostream& out, std::ostream& err) {
    std::vector<std::string> operands;
    if (const auto status = parseCommandLine(locateOptions(p, operands), args, out, err)) return *status ? *status : -1;
    LocateRequest& r = p.request;
    r.logs.assign(operands.begin() + 1, operands.end());  // after "locate"
    const bool archive = p.gave("--archive");
    if (archive && !r.logs.empty()) return usage(err, "locate takes logs or --archive, not both");
    if (!archive && r.logs.empty()) return usage(err, "locate needs log files, or --archive");
    for (const char* o : {"--site", "--from", "--to"})
        if (!archive && p.gave(o)) return usage(err, std::string("locate takes ") + o + " with --archive only");
    for (const char* o : {"--track", "--utc-offset"})
        if (archive && p.gave(o)) return usage(err, std::string("locate takes ") + o + " with logs only");
    if (const std::string problem = frequencyProblem(p); !problem.empty()) return usage(err, problem);
    if (r.archive.from && r.archive.to && *r.archive.to <= *r.archive.from) return usage(err, "--to is not after --from");
    if (const std::string problem = outputProblem(p); !problem.empty()) return usage(err, problem);
    if (archive && r.conninfo.empty()) {
        const char* fromEnvironment = std::getenv("ZARN_ARCHIVE");
        r.conninfo = fromEnvironment ? fromEnvironment : "";
        if (const std::string problem = conninfoProblem(r.conninfo); !problem.empty())
            return usage(err, "ZARN_ARCHIVE: " + problem);
    } else if (archive && conninfoHasPassword(r.conninfo))
        err << "zarnlog: --archive names a password, which every user of this machine can see; keep it in "
               "~/.pgpass (mode 600) instead\n";
    return 0;
}

}  // namespace

int runLocateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Parsed p;
    if (const int status = parse(args, p, out, err)) return status < 0 ? 0 : status;
    return locate(p.request, out, err);
}

}  // namespace zarn
