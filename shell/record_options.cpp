#include "shell/record_options.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>

#include "board/board_state.h"
#include "platform/http/listen_address.h"
#include "outputs/archive/archive_connection.h"
#include "outputs/archive/log_pusher.h"
#include "platform/command_line.h"
#include "screens/band_raster_view.h"
#include "screens/channel_table_load.h"
#include "screens/measurement_settings.h"
#include "shell/command_line.h"
#include "survey/json_writer.h"
#include "shell/table_raster.h"
#include "shell/watch_options.h"

namespace zarn {
namespace {

constexpr const char* kProgram = "zarn-record";
constexpr int kUsage = 2, kFiles = 1;
constexpr const char* kSampleTablesFolder = "/usr/share/zarn/samples";  // where the package puts them

const char* const kSummary =
    "Records a survey log (.zrn) from the receiver board without a screen: it opens the\n"
    "board as zarn does, brings it up, runs one measurement with the request sequence of\n"
    "its screen and logs the records that screen logs, byte for byte. Exactly one of\n"
    "--single, --table, --spectrum and --servers, and -o, are required; or --tasks,\n"
    "--archive, --site and -o FOLDER, to run the site's tasks from the archive.";

const char* const kEpilogue =
    "A line on standard input becomes the note of the next record, as a tap on INC does\n"
    "(an empty line notes \"Marker #N\"); an alarm's raise or clear notes the next record\n"
    "\"ALARM NAME ON\" or \"ALARM NAME OFF\". SIGINT or SIGTERM ends the recording: the board\n"
    "goes idle, every record is written and the port restored. A lost board (port\n"
    "error, no frame for 10 s) is looked for every 2 s and the measurement started again.\n"
    "\n"
    "--listen serves a live page (spectrum, waterfall, levels, the board, gpsd and\n"
    "the log as they change) at http://ADDR:PORT/, with /api/status, /api/stream\n"
    "(Server-Sent Events) and /metrics (Prometheus). It only reads.\n"
    "\n"
    "Exit status: 0 done, 1 a file or write failure, 2 a usage error, 3 no board.\n"
    "\n"
    "Environment:\n"
    "  ZARN_PORT   the board's serial port when --port is not given\n"
    "  ZARN_ROOT   host folder of the device's root, with its registry.reg\n"
    "  ZARN_GPSD   gpsd's host:port for the track beside the log, or off\n"
    "  ZARN_LISTEN [ADDR:]PORT of the live page when --listen is not given\n"
    "  ZARN_MQTT   the broker's URL when --mqtt is not given\n"
    "  ZARN_ARCHIVE  the archive's conninfo when --archive is not given\n"
    "  ZARN_SITE   the site's name when --site is not given (default: the host's name)\n"
    "  PGPASSFILE, PG*  libpq's: the archive's password belongs in ~/.pgpass (mode 600)\n";

struct Given {
    std::string single, table, spectrum, servers, raster = "30", output, csv, port, listen, listenToken, archive,
        site;
    std::vector<std::string> allowHosts;
    double seconds = 0, giveUp = 0, archiveDrain = 10, heartbeat = 30;
    bool tasks = false;
    WatchGiven watch;
};

CommandLine recordOptions(Given& g) {
    return {kProgram,
            kSummary,
            {
                textOption("single", 0, "MHZ[,MHZ]", "single channel: one frequency, or one in each band", g.single),
                textOption("table", 0, "FILE.kct", "channel table: the channels of a channel-table file", g.table),
                textOption("spectrum", 0, "LOW:HIGH", "spectrum analysis of a window in MHz within one band", g.spectrum),
                textOption("servers", 0, "800|1900", "best servers of a band", g.servers),
                textOption("raster", 0, "30|50|200", "the PCS channel raster in kHz (default 30)", g.raster),
                textOption("output", 'o', "FILE.zrn", "the log to record (required); with --tasks, the folder\nof each run's log",
                           g.output),
                flagOption("tasks", 0,
                           "no measurement of its own: run the site's tasks from the\n"
                           "archive (zarnlog task add) as they fall due, a log each",
                           g.tasks),
                textOption("csv", 0, "-", "also write each record to standard output as a\n`zarnlog csv` row", g.csv),
                numberOption("seconds", 0, "N", "stop after N seconds (default: run until a signal)", g.seconds, 0, 1e9),
                numberOption("give-up", 0, "S", "exit 3 after S seconds without the board (default: never)", g.giveUp,
                             0, 1e9),
                textOption("archive", 0, "CONNINFO",
                           "also ship each record to the archive in PostgreSQL\n"
                           "(as libpq takes it: host=... dbname=..., or a URI)",
                           g.archive),
                numberOption("archive-drain", 0, "S",
                             "at the end, send what the archive still lacks\nwithin S seconds (default 10)",
                             g.archiveDrain, 0, 3600),
                numberOption("heartbeat", 0, "S",
                             "with --archive, a registered site's health every S\nseconds (default 30)",
                             g.heartbeat, 1, 3600),
                textOption("site", 0, "NAME",
                           "the site's name for --mqtt and --archive, one of which\n"
                           "it needs (default ZARN_SITE, else the host's name)",
                           g.site),
                textOption("port", 'p', "PATH",
                           "the board's serial port, ahead of the registry's\n"
                           "(a device path, or a name in /dev/serial/by-id)",
                           g.port),
                textOption("listen", 0, "[ADDR:]PORT",
                           "serve the live page, its status, stream and metrics on\n"
                           "PORT of 127.0.0.1, or of ADDR (0.0.0.0 or [::]: to the network)",
                           g.listen),
                textOption("listen-token", 0, "FILE",
                           "every request to the page must carry the token in FILE\n"
                           "(mode 600): 'Authorization: Bearer TOKEN' or ?token=TOKEN",
                           g.listenToken),
                {"allow-host", 0, "NAME",
                 "the page on loopback also answers requests for NAME\n"
                 "(a proxy's name); repeatable",
                 [&g](const char* value) {
                     g.allowHosts.emplace_back(value);
                     return std::string();
                 }},
            },
            kEpilogue};
}

CommandLine withWatchOptions(CommandLine line, WatchGiven& given) {
    for (CommandOption& o : watchOptions(given)) line.options.push_back(std::move(o));
    return line;
}

std::ostream* messages = &std::cerr;

int usage(const std::string& problem) { return recordUsage(problem); }

bool parseMegahertz(const std::string& text, double& mhz) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    mhz = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == 0 && std::isfinite(mhz);
}

// 0 cellular, 1 PCS, -1 neither: within the first and last frequency of the band's plan.
int bandOf(double mhz) {
    BoardState& board = boardState();
    for (uint8_t band = 0; band < 2; ++band) {
        const BandPlan& plan = *board.bandPlan(band);
        for (int i = 0; i < BandPlan::kSegments; ++i) {
            const BandSegment& s = plan.segment(i);
            if (s.valid && mhz * 1e6 >= s.firstFrequencyHz - 0.5 && mhz * 1e6 <= s.lastFrequencyHz + 0.5) return band;
        }
    }
    return -1;
}

std::string neitherBand(const std::string& text) {
    return "'" + text + "' MHz is in neither band (800: 869.01 to 893.97 MHz, 1900: 1930.00 to 1990.00 MHz)";
}

std::optional<int> takeSingle(const std::string& given, RecordOptions& o) {
    const size_t comma = given.find(',');
    const std::string parts[2] = {given.substr(0, comma), comma == std::string::npos ? "" : given.substr(comma + 1)};
    o.single.channelUnit = false;
    for (int i = 0; i < (comma == std::string::npos ? 1 : 2); ++i) {
        double mhz = 0;
        if (!parseMegahertz(parts[i], mhz)) return usage("--single: '" + parts[i] + "' is not a frequency in MHz");
        const int band = bandOf(mhz);
        if (band < 0) return usage("--single: " + neitherBand(parts[i]));
        bool& active = band == 0 ? o.single.cellularActive : o.single.pcsActive;
        if (active) return usage("--single: two frequencies must be one in each band");
        active = true;
        (band == 0 ? o.single.cellularValue : o.single.pcsValue) = mhz;
    }
    o.mode = kModeSingleChannel;
    return std::nullopt;
}

// As the spectrum options take a window: its centre and its span, in MHz. The span is
// taken to the Hz, so that 881.50:881.53 spans one channel and not a hair less.
SpectrumSettings spectrumWindow(double low, double high) {
    return {bandOf(low), (low + high) / 2, std::round((high - low) * 1e6) / 1e6, true};
}

// The points the board will sweep for a window, worked out on a board state of its own.
uint32_t sweepPoints(double low, double high) {
    auto board = std::make_unique<BoardState>();
    board->pcsPlan.setPcsRaster(boardState().pcsPlan.pcsRaster());
    applySpectrumSettings(*board, spectrumWindow(low, high));
    return board->sweepCount;
}

// A sweep is known to be over only when the next one starts below it: one of a single
// point never ends, and would log nothing. The narrowest window from LOW up (or down to
// HIGH at the band's top) that sweeps two points.
std::string narrowestWindow(double low, double high) {
    const int band = bandOf(low);
    const double step = band == 0 ? 0.03 : boardState().pcsPlan.pcsRaster() / 1e6;
    for (int k = 1; k <= 20; ++k) {
        double from = low, to = low + k * step;
        if (bandOf(to) != band) from = high - k * step, to = high;
        if (bandOf(from) != band || sweepPoints(from, to) < 2) continue;
        char window[64];
        std::snprintf(window, sizeof window, "%.2f:%.2f", from, to);
        return window;
    }
    return "a wider one";
}

std::optional<int> takeSpectrum(const std::string& given, RecordOptions& o) {
    const size_t colon = given.find(':');
    const std::string lowText = given.substr(0, colon);
    const std::string highText = colon == std::string::npos ? "" : given.substr(colon + 1);
    double low = 0, high = 0;
    if (!parseMegahertz(lowText, low) || !parseMegahertz(highText, high))
        return usage("--spectrum: '" + given + "' is not LOW:HIGH in MHz");
    if (bandOf(low) < 0) return usage("--spectrum: " + neitherBand(lowText));
    if (bandOf(high) < 0) return usage("--spectrum: " + neitherBand(highText));
    if (bandOf(low) != bandOf(high)) return usage("--spectrum: " + given + " runs across both bands");
    if (!(low < high)) return usage("--spectrum: " + given + " is reversed or empty: LOW must be below HIGH");
    if (sweepPoints(low, high) < 2)
        return usage("--spectrum: " + given + " sweeps a single point, which never completes a sweep; the narrowest "
                     "window that records here is " + narrowestWindow(low, high));
    o.spectrum = spectrumWindow(low, high);
    o.mode = kModeSpectrum;
    return std::nullopt;
}

std::optional<int> takeTable(const std::string& file, RecordOptions& o) {
    int error = 0;
    switch (readChannelTableFile(file, boardState(), error)) {
    case TableLoad::Loaded:
        if (const auto mismatch = tableRasterMismatch(file, o.pcsRaster))
            optionMessages() << kProgram << ": warning: " << file
                             << ": its channels' names give their frequencies at the " << mismatch->namedRasterHz / 1000
                             << " kHz PCS raster, not at the " << o.pcsRaster / 1000 << " kHz one recorded at ("
                             << mismatch->example << "): give --raster " << mismatch->namedRasterHz / 1000 << "\n";
        o.mode = kModeChannelTable;
        o.tableFile = file;
        return std::nullopt;
    case TableLoad::OpenFailed:
        optionMessages() << kProgram << ": " << file << ": " << kFileOpenErrorCaption << ": " << std::strerror(error) << "\n";
        if (error == ENOENT)
            optionMessages() << kProgram << ": hint: the sample tables are in " << kSampleTablesFolder
                             << " (resources/samples in a checkout)\n";
        return kFiles;
    case TableLoad::Invalid: break;
    }
    optionMessages() << kProgram << ": " << file << ": " << kInvalidChannelTableText << "\n";
    return kFiles;
}

std::optional<int> takeMeasurement(const Given& g, RecordOptions& o) {
    const int given = !g.single.empty() + !g.table.empty() + !g.spectrum.empty() + !g.servers.empty();
    if (given != 1) return usage("give exactly one of --single, --table, --spectrum and --servers");
    if (!g.single.empty()) return takeSingle(g.single, o);
    if (!g.spectrum.empty()) return takeSpectrum(g.spectrum, o);
    if (!g.servers.empty()) {
        if (g.servers != "800" && g.servers != "1900") return usage("--servers: '" + g.servers + "' is not 800 or 1900");
        o.serverBand = g.servers == "800" ? 0 : 1;
        o.mode = kModeBestServers;
        return std::nullopt;
    }
    return takeTable(g.table, o);
}

std::optional<int> takeRaster(const std::string& given, RecordOptions& o) {
    for (const uint32_t hz : CZarnView::kRasters) {
        if (given == std::to_string(hz / 1000)) {
            o.pcsRaster = hz;
            return std::nullopt;
        }
    }
    return usage("--raster: '" + given + "' is not 30, 50 or 200");
}

// The log's folder must be there and writable: nothing is begun that cannot end.
std::optional<int> takeOutput(const std::string& given, RecordOptions& o) {
    namespace fs = std::filesystem;
    if (given.empty()) return usage("-o FILE.zrn is required");
    std::error_code error;
    const fs::path path = fs::absolute(given, error);
    const fs::path folder = path.parent_path();
    const char* problem = nullptr;
    if (!fs::is_directory(folder, error)) problem = "the folder does not exist";
    else if (fs::is_directory(path, error)) problem = "it is a folder";
    else if (::access(folder.c_str(), W_OK) != 0) problem = "the folder is not writable";
    if (problem) {
        std::fprintf(stderr, "%s: cannot record %s: %s\n", kProgram, given.c_str(), problem);
        return kFiles;
    }
    o.output = path.string();
    return std::nullopt;
}

// The page's address and token, and its socket bound: the last of the checks.
std::optional<int> takeListen(const Given& g, RecordOptions& o) {
    std::string given = g.listen, source = "--listen";
    if (const char* environment = std::getenv("ZARN_LISTEN"); given.empty() && environment) {
        given = environment;
        source = "ZARN_LISTEN";
    }
    if (given.empty()) {
        if (!g.listenToken.empty()) return usage("--listen-token needs --listen (or ZARN_LISTEN)");
        if (!g.allowHosts.empty()) return usage("--allow-host needs --listen (or ZARN_LISTEN)");
        return std::nullopt;
    }
    std::string error;
    const auto address = parseListenAddress(given, error);
    if (!address) return usage(source + ": " + error);
    std::vector<std::string> allowed;
    for (const std::string& text : g.allowHosts) {
        const auto name = parseHostName(text, error);
        if (!name) return usage("--allow-host " + error);
        allowed.push_back(*name);
    }
    if (!g.listenToken.empty()) {
        const auto token = readTokenFile(g.listenToken, error);
        if (!token) return usage("--listen-token: " + error);
        o.listenToken = *token;
    }
    o.listen = address->text();
    o.listenFd = openListenSocket(*address, error);
    if (o.listenFd < 0) {
        std::fprintf(stderr, "%s: cannot listen on %s: %s\n", kProgram, o.listen.c_str(), error.c_str());
        return kFiles;
    }
    std::fprintf(stderr, "%s: the live page is on http://%s/\n", kProgram, o.listen.c_str());
    const bool open = reachableFromNetwork(o.listenFd);
    if (!open || !allowed.empty()) o.listenHosts = servedHosts(*address, allowed);
    if (open)
        std::fprintf(stderr, "%s: the live page on %s is open to the network: whoever reaches this machine can "
                     "watch it%s\n", kProgram, o.listen.c_str(),
                     o.listenToken.empty() ? "; --listen-token asks for a token" : "");
    return std::nullopt;
}

// The archive: --archive, else ZARN_ARCHIVE; checked as libpq reads it before anything starts.
std::optional<int> takeArchive(const std::string& given, RecordOptions& o) {
    std::string problem;
    o.archive = chosenArchive(given, kProgram, problem);
    if (!problem.empty()) return usage(problem);
    return std::nullopt;
}

// The one site of the recorder, for MQTT and the archive alike.
void takeSite(const std::string& given, RecordOptions& o) {
    if (!given.empty()) {
        o.site = given;
        o.siteGiven = true;
        o.siteFrom = "--site";
        return;
    }
    o.site = defaultSite(o.siteGiven);
    o.siteFrom = o.siteGiven ? "ZARN_SITE" : "the host's name";
}

// What a task may carry: what is measured and worked out, nothing that acts on the site.
bool measures(const std::string& option) {
    static const char* const kMeasuring[] = {"single", "table",     "spectrum", "servers", "raster",
                                             "occupancy", "threshold", "period", "alarm"};
    return std::find(std::begin(kMeasuring), std::end(kMeasuring), option) != std::end(kMeasuring);
}

// --tasks: the site, its archive and the folder of the runs' logs; what is measured and
// worked out is each task's.
std::optional<int> takeTasks(const Given& g, RecordOptions& o) {
    const WatchGiven& w = g.watch;
    if (!g.single.empty() || !g.table.empty() || !g.spectrum.empty() || !g.servers.empty())
        return usage("--tasks takes each measurement from the site's tasks: give none of --single, --table, "
                     "--spectrum and --servers");
    if (!g.csv.empty() || !g.listen.empty() || !w.mqtt.empty() || w.occupancy || !w.alarms.empty() ||
        !w.alarmsFile.empty() || !w.onAlarm.empty() || g.seconds > 0)
        return usage("--tasks runs what the tasks say: --csv, --listen, --mqtt, --seconds, --occupancy and the "
                     "alarm options are not taken with it");
    if (const auto status = takeArchive(g.archive, o)) return status;
    if (o.archive.empty()) return usage("--tasks needs --archive CONNINFO (or ZARN_ARCHIVE)");
    takeSite(g.site, o);
    if (!o.siteGiven) return usage("--tasks needs --site NAME (or ZARN_SITE)");
    if (validUtf8(o.site) != o.site) return usage(o.siteFrom + ": not valid UTF-8");
    if (g.output.empty()) return usage("--tasks needs -o FOLDER, for each run's log");
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(g.output, error);
    if (!std::filesystem::is_directory(folder, error) || ::access(folder.c_str(), W_OK) != 0) {
        std::fprintf(stderr, "%s: -o %s: not a folder this program may write in\n", kProgram, g.output.c_str());
        return kFiles;
    }
    o.output = folder.string();
    o.tasks = true;
    o.port = g.port;
    return takeBoardPort(kProgram, o.port);
}

}  // namespace

std::ostream& optionMessages() { return *messages; }

int recordUsage(const std::string& problem) {
    optionMessages() << kProgram << ": " << problem << "\nTry '" << kProgram << " --help' for more information.\n";
    return kUsage;
}

std::optional<int> readTaskOptions(const std::vector<std::string>& args, RecordOptions& o, std::ostream& err,
                                   const std::optional<std::string>& siteTable) {
    struct Told {
        explicit Told(std::ostream& to) { messages = &to; }
        ~Told() { messages = &std::cerr; }
    } told(err);
    Given g;
    CommandLine line = withWatchOptions(recordOptions(g), g.watch);
    for (CommandOption& option : line.options) {
        if (!measures(option.name))
            option.take = [](const char*) {
                return std::string("a task carries what a site measures, never what runs a program, opens a port, "
                                   "names a place on the site or sends elsewhere");
            };
        // On the site, a table is the task's own contents, never a file the task names.
        if (siteTable && std::string(option.name) == "table")
            option.take = [&g, &siteTable](const char*) {
                g.table = *siteTable;
                return siteTable->empty() ? std::string("the task names a file on the site, not a table of its own")
                                          : std::string();
            };
    }
    line.usage = "A task takes one of --single, --table, --spectrum and --servers, and --raster, --occupancy,\n"
                 "--threshold, --period and --alarm, as zarn-record takes them (zarn-record --help).\n";
    if (const auto status = parseCommandLine(line, args, err, err))
        return *status ? status : usage("a task's options are a measurement, not --help or --version");
    if (const auto status = takeRaster(g.raster, o)) return status;
    boardState().pcsPlan.setPcsRaster(o.pcsRaster);
    if (const auto status = takeMeasurement(g, o)) return status;
    return takeMeasuredWatchOptions(g.watch, o);
}

std::optional<int> readRecordOptions(int argc, char** argv, RecordOptions& o) {
    Given g;
    if (const auto status = parseCommandLine(withWatchOptions(recordOptions(g), g.watch), argc, argv)) return status;
    if (!g.csv.empty() && g.csv != "-") return usage("--csv takes '-' (standard output)");
    o.csv = g.csv;
    o.seconds = g.seconds;
    o.giveUp = g.giveUp;
    o.archiveDrain = g.archiveDrain;
    o.heartbeat = static_cast<int>(g.heartbeat);
    if (g.tasks) return takeTasks(g, o);
    if (const auto status = takeArchive(g.archive, o)) return status;
    // The raster first: the PCS channels of a table and the window arithmetic follow it.
    if (const auto status = takeRaster(g.raster, o)) return status;
    boardState().pcsPlan.setPcsRaster(o.pcsRaster);
    if (g.output.empty()) return usage("-o FILE.zrn is required");
    if (const auto status = takeMeasurement(g, o)) return status;
    takeSite(g.site, o);
    if (const auto status = takeWatchOptions(g.watch, o)) return status;
    if (!g.site.empty() && !o.mqtt && o.archive.empty())
        return usage("--site names the site for --mqtt or --archive; give one of them, or leave --site out");
    // The archive and the broker take only UTF-8: such a site would fail every retry.
    if ((o.mqtt || !o.archive.empty()) && validUtf8(o.site) != o.site) return usage(o.siteFrom + ": not valid UTF-8");
    if (const auto status = takeOutput(g.output, o)) return status;
    o.port = g.port;
    if (const auto status = takeBoardPort(kProgram, o.port)) return status;
    return takeListen(g, o);
}

}  // namespace zarn
