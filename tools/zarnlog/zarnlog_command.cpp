#include "tools/zarnlog/zarnlog_command.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>

#include "platform/command_line.h"
#include "platform/gdi/png_file.h"
#include "tools/zarnlog/archive_command_line.h"
#include "tools/zarnlog/locate_command_line.h"
#include "tools/zarnlog/map/log_map.h"
#include "tools/zarnlog/output_files.h"
#include "tools/zarnlog/plot/log_occupancy.h"
#include "tools/zarnlog/plot/log_plot.h"
#include "tools/zarnlog/report/log_report.h"
#include "tools/zarnlog/text/log_csv.h"
#include "tools/zarnlog/text/log_info.h"
#include "tools/zarnlog/track_choice.h"

namespace zarn {

const char* const kZarnlogHelp = R"(Usage: zarnlog COMMAND FILE.zrn [options]

Reads a Zarn survey log (.zrn).

Commands:
  info FILE            the header (version, PCS raster), record counts by type,
                       first and last time stamps, the notes with their times
  csv FILE [-o DIR]    one CSV per record type, in DIR (default: beside FILE;
                       created when missing): NAME-single.csv, NAME-table.csv,
                       NAME-servers.csv, NAME-frames.csv with a header row;
                       NAME-spectrum.csv in the rtl_power layout (date, time,
                       Hz low, Hz high, Hz step, samples, dB values);
                       NAME-notes.csv with every note; with a track, lat and
                       lon end the rows of every file but the spectrum's
  plot FILE -o OUT.png a picture: waterfall of spectrum records, level over time
                       of single-channel records, one line per table channel,
                       best servers' strongest channels over time, notes as
                       labelled ticks on the time axis; with a track,
                       a coverage panel of where the records were
  map FILE -o OUT      the records joined to the track as points, one layer per
                       record type: OUT.gpkg (GeoPackage), OUT.kml (styled by
                       level), or OUT-LAYER.geojson, OUT-LAYER.csv (lat, lon)
  report FILE... -o OUT.html
                       one self-contained HTML page over one or more logs:
                       summary, statistics per channel, a coverage grid,
                       best-server dominance, percentile spectra and the
                       drive's checks; prints on A4, a section a page
  occupancy FILE [-o OUT.csv|OUT.png]
                       the share of each channel's (each sweep point's) samples
                       above a threshold, per period: CSV rows (period start,
                       band, channel, MHz, samples, above, occupancy 0-1, mean
                       dBm averaged in mW, max dBm, threshold dBm), on standard
                       output without -o; or a time-by-frequency picture
  locate FILE... (--mhz MHZ | --channel N --band 800|1900) [-o OUT]
                       where the frequency's transmitter is, from the placed
                       levels: a line per frequency with the estimate, its
                       95 % region (semi-axes, bearing of the long one), the
                       fitted n and P0, the samples and km of drive; -o writes
                       it and the readings with their residuals (OUT.gpkg,
                       OUT.kml, OUT-LAYER.geojson); fewer than 30 placed
                       readings, or readings that tell nothing, are refused

The team's archive in PostgreSQL with PostGIS:
  push FILE...         the logs' records, placed on their tracks, into the
                       archive; again, only what is not there yet
  db init              makes or upgrades the archive's schema zarn
  db status            the schema's version, surveys, records, size, prunes
  db prune --before TIME  removes the raw records of the hours before TIME
                       (of --site only, when given; whole months as whole
                       partitions); the hourly figures stay; --dry-run says
                       what would go and changes nothing
  db compact           merges the short packs and the hourly figures' rows
                       that pushes added (the archive's owner runs it)
  grid --mhz MHZ -o OUT  a coverage grid of one frequency over every survey:
                       per cell samples, surveys, mean, median, p10, p90, min
                       and max dBm, summed up in the database; OUT as for map
  locate --archive CONNINFO (--mhz MHZ | --channel N --band 800|1900) [-o OUT]
                       locate over every survey of the archive
  site add NAME --role ROLE  registers a site of the network and grants ROLE, the
                       role its recorder logs in as, what a site needs and no
                       more (--position LAT,LON, --description TEXT)
  site list            every site and its health: last heard, state (silent
                       after three heartbeats without one), task, backlog, disk
                       free, alarms raised; --csv: as CSV
  site rm NAME         removes a site that has no surveys, and its role's grants
  task add --site NAME [--every D] [--for D] [--from T] [--until T]
           [--priority N] [--name TEXT] -- OPTIONS
                       a task the site's recorder (zarn-record --tasks) runs:
                       OPTIONS are zarn-record's measurement, raster,
                       occupancy and --alarm options, checked as it checks
                       them (a --table's contents go into the task); D is 30s,
                       10m, 1h or 1d; prints the task's number
  task list|runs [--site NAME]  the tasks (--csv: as CSV), or their runs
  task stop|start|rm N  stops, starts again or removes task N

Options:
  -o, --output PATH    the folder for csv, the picture for plot, the map, the
                       report's page
  -t, --track FILE     the track: GPX, or NMEA (GGA and RMC sentences) of any
                       receiver (default: FILE.gpx beside the log, if there)
  --utc-offset +HH:MM  a track in UTC is joined with the log's stamps moved by
                       this offset (default: the local time zone's, at each
                       stamp); zarn's own tracks carry the device's clock
  --db MIN:MAX         the dBm at the ends of the colour scale (plot, map,
                       report), within -200:50
  --begin TIME         plot, map, report or occupancy only the records from
  --end TIME           TIME on, and before TIME; TIME as the log stamps it, on the device's
                       clock: YYYY-MM-DDTHH:MM[:SS]
  --title TEXT         the report's title (default: Survey report)
  --threshold DBM      the report's design level (default -90)
  --threshold DBM|noise+DB
                       occupancy's threshold: a level, or DB above the band's
                       noise floor, its 10th percentile in the period
                       (default noise+10)
  --period N[s|m|h]    occupancy's period, 1 s to a day (default 15m); also
                       of the report's occupancy of sweeps (noise+10)
  --bands LIST         the report's level bands, strongest edge first
                       (default -80,-90,-100,-110)
  --cell M             the report's grid cells, in metres (default 50); grid's
                       likewise; both in the UTM zone of the middle
                       of the bounding box of the places gridded
  --min-samples N      the fewest samples for a cell of the report to count
                       (default 5); grid: cells with fewer are flagged
  --archive CONNINFO   the archive, as libpq takes it (host=... dbname=..., or
                       postgresql://...); default ZARN_ARCHIVE, else the PG*
                       variables; passwords from ~/.pgpass or PGPASSFILE
  --site NAME          push: the survey's site (default: the site the role is,
                       else ZARN_SITE, else the host's name); grid, locate,
                       db prune: only that site's surveys
  --from TIME, --to TIME  grid, locate --archive: only the records from TIME
                       on, and before TIME
  --mhz MHZ            grid, locate: the frequency
  --channel N, --band 800|1900
                       locate: the channel, under each log's PCS raster
  --method fit|centroid
                       locate: the log-distance model fitted for the place
                       (default), or the power-weighted centroid (no region)
  -h, --help           this text
  -V, --version        the version

A damaged stretch of a log (a record cut short or overwritten) is skipped up
to the next intact record; its byte offset and length go to stderr and every
intact record is used. A record is placed by linear interpolation between the
track's points around its stamp; outside the track or in a gap of more than
10 s it is not; map, plot, csv and report say how many were and were not on
stderr. The exit status is 1 when the file or its header cannot be read, an
output cannot be written, or map (or plot or csv given --track) places no
record, report is given a log with no intact record or none between --begin
and --end (a report without positions has no grid and says why), or the
archive refuses or fails; 2 for a bad command line.
)";

namespace {

namespace fs = std::filesystem;

const char* const kUsage =
    "Usage: zarnlog info FILE.zrn | csv FILE.zrn [-o DIR] | plot FILE.zrn -o OUT.png | map FILE.zrn -o OUT\n"
    "       | report FILE.zrn... -o OUT.html | occupancy FILE.zrn [-o OUT.csv|OUT.png]\n"
    "       zarnlog push FILE.zrn... | db init|status|prune|compact | grid --mhz MHZ -o OUT  [--archive CONNINFO]\n"
    "       zarnlog locate FILE.zrn...|--archive CONNINFO --mhz MHZ|--channel N --band 800|1900 [-o OUT]\n"
    "       zarnlog site add NAME --role ROLE | site list | site rm NAME  [--archive CONNINFO]\n"
    "       zarnlog task add --site NAME ... -- OPTIONS | task list|runs | task stop|start|rm N\n"
    "Try 'zarnlog --help' for more.\n";

struct Command {
    std::string name, file, output;
    std::vector<std::string> files;  // report: every log
    std::string track;  // --track, else empty
    std::optional<int> utcOffset;
    std::optional<LevelScale> scale;
    StampWindow window;
    MapFormat format = MapFormat::GeoPackage;
    ReportOptions report;
    OccupancySettings occupancy{{true, 10}, 900, {}};
    std::optional<std::string> threshold;  // --threshold, read as the command takes it
    std::vector<std::string> given;  // the options, for what each command takes
};

int usage(std::ostream& err, const std::string& what) {
    err << "zarnlog: " << what << "\n" << kUsage;
    return 2;
}

// `beyond` tells a scale past any level a board reports from text that is none.
std::optional<LevelScale> parseScale(const std::string& text, bool& beyond) {
    const size_t colon = text.find(':', 1);
    if (colon == std::string::npos) return std::nullopt;
    try {
        size_t used = 0;
        const double lo = std::stod(text.substr(0, colon), &used);
        if (used != colon) return std::nullopt;
        const std::string rest = text.substr(colon + 1);
        const double hi = std::stod(rest, &used);
        if (used != rest.size() || !std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo)) return std::nullopt;
        if (lo < kLowestLevelDbm || hi > kHighestLevelDbm) {
            beyond = true;
            return std::nullopt;
        }
        return LevelScale{lo, hi};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// An option the command does not take; empty when it takes them all.
std::string notTaken(const Command& c) {
    for (const std::string& o : c.given) {
        const bool placing = o == "--track" || o == "--utc-offset";
        const bool picture = o == "--db" || o == "--begin" || o == "--end";
        const bool report = o == "--title" || o == "--bands" || o == "--cell" || o == "--min-samples";
        const bool occupancy = o == "--period";
        const bool threshold = o == "--threshold";
        if (c.name == "info" && (placing || picture || threshold || o == "--output")) return o;
        if (c.name == "csv" && (picture || threshold)) return o;
        if ((c.name == "plot" || c.name == "map") && threshold) return o;
        if (c.name != "report" && report) return o;
        if (c.name != "occupancy" && c.name != "report" && occupancy) return o;
        if (c.name == "occupancy" && (placing || o == "--db")) return o;
    }
    return {};
}

// An option of the table; `take` stores its value or says, naming the option, why not.
CommandOption option(const char* name, char letter, const char* valueName, Command& c,
                     std::function<std::string(const std::string& value)> take) {
    return {name, letter, valueName, "", [name, &c, take](const char* value) {
                c.given.push_back(std::string("--") + name);
                return take(value);
            }};
}

std::function<std::string(const std::string&)> into(std::string& field) {
    return [&field](const std::string& value) {
        field = value;
        return std::string();
    };
}

std::string takeScale(const std::string& value, Command& c) {
    bool beyond = false;
    if ((c.scale = parseScale(value, beyond))) return {};
    if (beyond)
        return "--db " + value + ": beyond any level (" + std::to_string(int(kLowestLevelDbm)) + ".." +
               std::to_string(int(kHighestLevelDbm)) + " dBm)";
    return "--db " + value + ": not MIN:MAX in dBm, MIN below MAX";
}

std::function<std::string(const std::string&)> stampInto(const char* name, std::optional<long long>& field) {
    return [name, &field](const std::string& value) {
        if ((field = parseStamp(value))) return std::string();
        return std::string("--") + name + " " + value + ": not a time YYYY-MM-DDTHH:MM[:SS]";
    };
}

std::string takeCell(const std::string& value, Command& c) {
    const auto metres = parseDecimal(value);
    if (!metres || !(*metres >= 1 && *metres <= 100000)) return "--cell " + value + ": not metres from 1 to 100000";
    c.report.cellMetres = *metres;
    return {};
}

std::string takeMinSamples(const std::string& value, Command& c) {
    const auto least = parseDecimal(value);
    if (!least || !(*least >= 1 && *least <= 1e9) || *least != std::floor(*least))
        return "--min-samples " + value + ": not a whole number from 1 up";
    c.report.minSamples = static_cast<size_t>(*least);
    return {};
}

CommandLine zarnlogOptions(Command& c, std::vector<std::string>& operands) {
    CommandLine line{"zarnlog", "", {}};
    line.options = {
        option("output", 'o', "PATH", c, into(c.output)),
        option("track", 't', "FILE", c, into(c.track)),
        option("utc-offset", 0, "+HH:MM", c,
               [&c](const std::string& value) {
                   return (c.utcOffset = parseUtcOffset(value)) ? "" : "--utc-offset " + value + ": not +HH:MM";
               }),
        option("db", 0, "MIN:MAX", c, [&c](const std::string& value) { return takeScale(value, c); }),
        option("begin", 0, "TIME", c, stampInto("begin", c.window.begin)),
        option("end", 0, "TIME", c, stampInto("end", c.window.end)),
        option("title", 0, "TEXT", c, into(c.report.title)),
        // Its meaning is the command's, known only after the operands.
        option("threshold", 0, "DBM", c,
               [&c](const std::string& value) {
                   c.threshold = value;
                   return std::string();
               }),
        option("bands", 0, "LIST", c,
               [&c](const std::string& value) -> std::string {
                   if (const auto bands = parseLevelBands(value)) c.report.bands = *bands;
                   else return "--bands " + value + ": not levels in dBm, each below the one before (-80,-90,-100,-110)";
                   return {};
               }),
        option("cell", 0, "M", c, [&c](const std::string& value) { return takeCell(value, c); }),
        option("min-samples", 0, "N", c, [&c](const std::string& value) { return takeMinSamples(value, c); }),
        option("period", 0, "N", c,
               [&c](const std::string& value) {
                   std::string error;
                   return parsePeriod(value, c.occupancy.periodSeconds, error) ? "" : "--period " + error;
               }),
    };
    line.operands = &operands;
    line.help = kZarnlogHelp;
    line.usage = kUsage;
    return line;
}

// 0 when the command line holds a command; otherwise the exit status, its message written.
int parse(const std::vector<std::string>& args, Command& c, std::ostream& out, std::ostream& err) {
    std::vector<std::string> operands;
    if (const auto status = parseCommandLine(zarnlogOptions(c, operands), args, out, err)) return *status ? *status : -1;
    if (operands.empty()) return usage(err, "no command");
    c.name = operands[0];
    if (c.name != "info" && c.name != "csv" && c.name != "plot" && c.name != "map" && c.name != "report" &&
        c.name != "occupancy")
        return usage(err, "unknown command " + c.name);
    if (operands.size() < 2) return usage(err, c.name + " needs a log file");
    if (operands.size() > 2 && c.name != "report") return usage(err, "unexpected " + operands[2]);
    c.file = operands[1];
    c.files.assign(operands.begin() + 1, operands.end());
    if (c.name == "info" && !c.output.empty()) return usage(err, "info writes to standard output; -o is for csv, plot and map");
    if (const std::string o = notTaken(c); !o.empty()) return usage(err, c.name + " takes no " + o);
    for (const std::string& file : c.files) {
        std::error_code ec;
        if (!c.output.empty() && fs::equivalent(file, c.output, ec))
            return usage(err, "-o " + c.output + " is the log " + file + " itself");
    }
    if (c.threshold) {
        std::string error;
        if (c.name == "occupancy" && !parseOccupancyThreshold(*c.threshold, c.occupancy.threshold, error))
            return usage(err, "--threshold " + error);
        if (c.name == "report") {
            const auto dbm = parseDecimal(*c.threshold);
            if (!dbm) return usage(err, "--threshold " + *c.threshold + ": not a level in dBm");
            c.report.threshold = *dbm;
        }
    }
    if (c.name == "plot" && c.output.empty()) return usage(err, "plot needs -o OUT.png");
    if (c.name == "report" && c.output.empty()) return usage(err, "report needs -o OUT.html");
    if (c.name == "map") {
        if (c.output.empty()) return usage(err, "map needs -o OUT.gpkg, OUT.geojson, OUT.kml or OUT.csv");
        const std::optional<MapFormat> format = mapFormatOf(c.output);
        if (!format) return usage(err, "map writes .gpkg, .geojson, .kml or .csv, not " + c.output);
        c.format = *format;
        // A layer's file replaces whatever has its name: never the log.
        for (int k = 0; k < kMapLayers; ++k) {
            const std::string layerFile = mapLayerFile(c.format, c.output, static_cast<MapLayer>(k));
            std::error_code ec;
            if (fs::equivalent(c.file, layerFile, ec))
                return usage(err, "-o " + c.output + " would write its layer " + mapLayerName(static_cast<MapLayer>(k)) +
                                      " to " + layerFile + ", the log itself");
        }
    }
    const fs::path extension = fs::path(c.output).extension();
    if (c.name == "occupancy" && !c.output.empty() && extension != ".csv" && extension != ".png")
        return usage(err, "occupancy writes .csv or .png, not " + c.output);
    c.occupancy.window = c.window;
    if (c.window.begin && c.window.end && *c.window.end <= *c.window.begin) return usage(err, "--end is not after --begin");
    c.report.scale = c.scale;
    c.report.window = c.window;
    c.report.occupancyPeriod = c.occupancy.periodSeconds;
    return 0;
}

// Creates a missing output folder; false with the reason on `err`.
bool makeFolder(const fs::path& dir, std::ostream& err) {
    std::error_code ec;
    if (dir.empty() || fs::is_directory(dir, ec)) return true;
    if (fs::create_directories(dir, ec)) return true;
    err << "zarnlog: cannot create " << dir.string() << ": " << (ec ? ec.message() : "not a folder") << "\n";
    return false;
}

int csv(const Command& c, LogReader& reader, const LogHeader& header, const DamageSink& damaged, std::ostream& out,
        std::ostream& err) {
    const TrackChoice track = chooseTrack(c.file, c.track, c.utcOffset, false, err);
    if (track.failed) return 1;
    const fs::path file(c.file);
    const std::string dir = c.output.empty() ? file.parent_path().string() : c.output;
    if (!makeFolder(dir, err)) return 1;
    std::vector<std::string> written;
    std::string error;
    PlacingCounts counts;
    RecordPlacer place;
    if (track.join)
        place = [&](const LogRecord& r) -> std::optional<Place> {
            Place p;
            if (track.join->place(r.time, p, counts) == Placing::Placed) return p;
            return std::nullopt;
        };
    if (!writeCsvFiles(reader, header, dir, file.stem().string(), written, error, damaged, place)) {
        err << "zarnlog: " << (reader.readError().empty() ? "" : c.file + ": ") << error << "\n";
        return 1;
    }
    if (track.join && track.given && counts.placed == 0) {
        err << "zarnlog: " << c.file << ": " << track.join->nothingPlaced(counts) << "\n";
        for (const std::string& name : written) std::remove(name.c_str());
        return 1;
    }
    if (track.join) err << "zarnlog: " << c.file << ": " << counts.text() << "\n";
    for (const std::string& name : written) out << name << "\n";
    return 0;
}

int plot(const Command& c, LogReader& reader, const LogHeader& header, const DamageSink& damaged, std::ostream& out,
         std::ostream& err) {
    const TrackChoice track = chooseTrack(c.file, c.track, c.utcOffset, false, err);
    if (track.failed) return 1;
    PlotOptions options;
    options.scale = c.scale;
    options.window = c.window;
    PlacingCounts counts;
    if (track.join) {
        options.track = &*track.join;
        options.trackName = fs::path(track.path).filename().string();
        options.placing = &counts;
    }
    Surface image;
    const bool drawn = plotLog(reader, header, fs::path(c.file).filename().string(), image, damaged, options);
    if (!reader.readError().empty()) {
        err << "zarnlog: " << c.file << ": read error: " << reader.readError() << "\n";
        return 1;
    }
    if (track.join && track.given && counts.placed == 0) {
        err << "zarnlog: " << c.file << ": " << track.join->nothingPlaced(counts) << "\n";
        return 1;
    }
    if (track.join) err << "zarnlog: " << c.file << ": " << counts.text() << "\n";
    if (!drawn) {
        err << "zarnlog: " << c.file << ": no spectrum, single-channel, channel-table or best-servers records to plot"
            << (c.window.all() ? "" : " between --begin and --end") << "\n";
        return 1;
    }
    std::string error;
    if (!makeFolder(fs::path(c.output).parent_path(), err)) return 1;
    if (!writePng(c.output, image, &error)) {
        err << "zarnlog: cannot write " << c.output << ": " << error << "\n";
        return 1;
    }
    out << c.output << "\n";
    return 0;
}

int map(const Command& c, LogReader& reader, const LogHeader& header, const DamageSink& damaged, std::ostream& out,
        std::ostream& err) {
    const TrackChoice track = chooseTrack(c.file, c.track, c.utcOffset, true, err);
    if (track.failed) return 1;
    if (!makeFolder(fs::path(c.output).parent_path(), err)) return 1;
    MapRequest request{c.output, c.format, c.scale, c.window};
    MapResult result;
    std::string error;
    const bool written = writeMap(reader, header, *track.join, request, result, error, damaged);
    if (result.counts.placed) err << "zarnlog: " << c.file << ": " << result.counts.text() << "\n";
    if (!written) {
        err << "zarnlog: " << (reader.readError().empty() && result.counts.placed ? "" : c.file + ": ") << error << "\n";
        return 1;
    }
    for (const std::string& name : result.files) out << name << "\n";
    return 0;
}

int makeReport(const Command& c, std::ostream& out, std::ostream& err) {
    std::vector<report::ReportLog> logs;
    for (const std::string& file : c.files) {
        TrackChoice track = chooseTrack(file, c.track, c.utcOffset, false, err);
        if (track.failed) return 1;
        logs.push_back({file, std::move(track.join), fs::path(track.path).filename().string(), track.why});
    }
    if (!makeFolder(fs::path(c.output).parent_path(), err)) return 1;
    const int status = writeReport(logs, c.report, c.output, err);
    if (status == 0) out << c.output << "\n";
    return status;
}

int occupancy(const Command& c, LogReader& reader, const LogHeader& header, const DamageSink& damaged, std::ostream& out,
              std::ostream& err) {
    if (!makeFolder(fs::path(c.output).parent_path(), err)) return 1;
    std::string error;
    if (fs::path(c.output).extension() == ".csv" || c.output.empty()) {
        if (writeOccupancyCsv(reader, header, c.occupancy, c.output, out, error, damaged)) {
            if (!c.output.empty()) out << c.output << "\n";
            return 0;
        }
        err << "zarnlog: " << (reader.readError().empty() ? "" : c.file + ": ") << error << "\n";
        return 1;
    }
    Surface image;
    const bool drawn = plotOccupancy(reader, header, c.occupancy, fs::path(c.file).filename().string(), image, damaged);
    if (!reader.readError().empty()) {
        err << "zarnlog: " << c.file << ": read error: " << reader.readError() << "\n";
        return 1;
    }
    if (!drawn) {
        err << "zarnlog: " << c.file << ": no record with levels"
            << (c.window.all() ? "" : " between --begin and --end") << "\n";
        return 1;
    }
    if (!writePng(c.output, image, &error)) {
        err << "zarnlog: cannot write " << c.output << ": " << error << "\n";
        return 1;
    }
    out << c.output << "\n";
    return 0;
}

}  // namespace

int runZarnlog(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && isArchiveCommand(args[0])) return runArchiveCommand(args, out, err);
    if (!args.empty() && args[0] == "locate") return runLocateCommand(args, out, err);
    Command c;
    if (const int status = parse(args, c, out, err)) return status < 0 ? 0 : status;
    if (c.name == "report") return makeReport(c, out, err);
    LogReader reader;
    LogHeader header;
    if (!reader.open(c.file) || !reader.readHeader(header)) {
        err << "zarnlog: " << c.file << ": " << reader.problem() << "\n";
        return 1;
    }
    if (!header.pcsRaster && c.name != "info")
        err << "zarnlog: " << c.file << ": unknown PCS raster (header byte " << int(header.rasterByte)
            << "): PCS channel numbers and PCS table frequencies are left empty, PCS sweeps out\n";
    const DamageSink damaged = [&](const LogDamage& d) {
        err << "zarnlog: " << c.file << ": bad record at byte " << d.offset << " (" << d.problem << "): skipped "
            << d.length << " bytes\n";
    };
    if (c.name == "csv") return csv(c, reader, header, damaged, out, err);
    if (c.name == "plot") return plot(c, reader, header, damaged, out, err);
    if (c.name == "map") return map(c, reader, header, damaged, out, err);
    if (c.name == "occupancy") return occupancy(c, reader, header, damaged, out, err);
    if (writeInfo(reader, header, out, damaged)) return 0;
    err << "zarnlog: " << c.file << ": read error: " << reader.readError() << "\n";
    return 1;
}

}  // namespace zarn
