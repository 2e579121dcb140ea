#include "tools/zarnlog/zarnlog_command.h"

#include <getopt.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/gdi/png_file.h"
#include "tools/zarnlog/archive_commands.h"
#include "tools/zarnlog/log_csv.h"
#include "tools/zarnlog/log_info.h"
#include "tools/zarnlog/log_map.h"
#include "tools/zarnlog/log_plot.h"
#include "tools/zarnlog/track_choice.h"
#include "zarn_version.h"

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
                       notes as labelled ticks on the time axis; with a track,
                       a coverage panel of where the records were
  map FILE -o OUT      the records joined to the track as points, one layer per
                       record type: OUT.gpkg (GeoPackage), OUT.kml (styled by
                       level), or OUT-LAYER.geojson, OUT-LAYER.csv (lat, lon)

The team's archive in PostgreSQL with PostGIS:
  push FILE...         the logs' records, placed on their tracks, into the
                       archive; again, only what is not there yet
  db init              makes or upgrades the archive's schema zarn
  db status            the schema's version, surveys, records and size
  grid --mhz MHZ -o OUT  a coverage grid of one frequency over every survey:
                       per cell samples, surveys, mean, median, p10, p90, min
                       and max dBm, summed up in the database; OUT as for map

Options:
  -o, --output PATH    the folder for csv, the picture for plot, the map
  -t, --track FILE     the track: GPX, or NMEA (GGA and RMC sentences) of any
                       receiver (default: FILE.gpx beside the log, if there)
  --utc-offset +HH:MM  a track in UTC is joined with the log's stamps moved by
                       this offset (default: the local time zone's, at each
                       stamp); zarn's own tracks carry the device's clock
  --db MIN:MAX         the dBm at the ends of the colour scale (plot and map)
  --begin TIME         plot or map only the records from TIME on, and
  --end TIME           before TIME; TIME as the log stamps it, on the device's
                       clock: YYYY-MM-DDTHH:MM[:SS]
  --archive CONNINFO   the archive, as libpq takes it (host=... dbname=..., or
                       postgresql://...); default ZARN_ARCHIVE, else the PG*
                       variables; passwords from ~/.pgpass or PGPASSFILE
  --site NAME          push: the survey's site (default ZARN_SITE, else the
                       host's name); grid: only that site's surveys
  --cell M             grid: cells of M metres (default 50), in the UTM zone of
                       the readings' centre
  --from TIME, --to TIME  grid: only the records from TIME on, and before TIME
  --min-samples N      grid: cells with fewer samples are flagged (default 5)
  -h, --help           this text
  -V, --version        the version

A damaged stretch of a log (a record cut short or overwritten) is skipped up
to the next intact record; its byte offset and length go to stderr and every
intact record is used. A record is placed by linear interpolation between the
track's points around its stamp; outside the track or in a gap of more than
10 s it is not; map, plot and csv say how many were and were not on stderr.
The exit status is 1 when the file or its header cannot be read, an output
cannot be written, map (or a track given with --track) places no record, or
the archive refuses or fails; 2 for a bad command line.
)";

namespace {

namespace fs = std::filesystem;

const char* const kUsage =
    "Usage: zarnlog info FILE.zrn | csv FILE.zrn [-o DIR] | plot FILE.zrn -o OUT.png | map FILE.zrn -o OUT\n"
    "       zarnlog push FILE.zrn... | db init|status | grid --mhz MHZ -o OUT  [--archive CONNINFO]\n"
    "Try 'zarnlog --help' for more.\n";

enum Long { kUtcOffset = 1000, kDb, kBegin, kEnd };

struct Command {
    std::string name, file, output;
    std::string track;  // --track, else empty
    std::optional<int> utcOffset;
    std::optional<LevelScale> scale;
    StampWindow window;
    MapFormat format = MapFormat::GeoPackage;
    std::vector<std::string> given;  // the options, for what each command takes
};

int usage(std::ostream& err, const std::string& what) {
    err << "zarnlog: " << what << "\n" << kUsage;
    return 2;
}

std::optional<LevelScale> parseScale(const std::string& text) {
    const size_t colon = text.find(':', 1);
    if (colon == std::string::npos) return std::nullopt;
    try {
        size_t used = 0;
        const double lo = std::stod(text.substr(0, colon), &used);
        if (used != colon) return std::nullopt;
        const std::string rest = text.substr(colon + 1);
        const double hi = std::stod(rest, &used);
        if (used != rest.size() || !std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo)) return std::nullopt;
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
        if (c.name == "info" && (placing || picture || o == "--output")) return o;
        if (c.name == "csv" && picture) return o;
    }
    return {};
}

// 0 when the command line holds a command; otherwise the exit status, its message written.
int parse(const std::vector<std::string>& args, Command& c, std::ostream& out, std::ostream& err) {
    std::vector<std::string> words{"zarnlog"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    static const option kOptions[] = {{"output", required_argument, nullptr, 'o'},
                                      {"track", required_argument, nullptr, 't'},
                                      {"utc-offset", required_argument, nullptr, kUtcOffset},
                                      {"db", required_argument, nullptr, kDb},
                                      {"begin", required_argument, nullptr, kBegin},
                                      {"end", required_argument, nullptr, kEnd},
                                      {"help", no_argument, nullptr, 'h'},
                                      {"version", no_argument, nullptr, 'V'},
                                      {nullptr, 0, nullptr, 0}};
    optind = 0;  // a fresh scan on every call
    opterr = 0;
    const int argc = static_cast<int>(words.size());
    for (int o; (o = getopt_long(argc, argv.data(), ":o:t:hV", kOptions, nullptr)) != -1;) {
        const std::string given = argv[optind - 1];
        const std::string value = optarg ? optarg : "";
        for (const option& known : kOptions)
            if (known.name && known.val == o) c.given.push_back(std::string("--") + known.name);
        switch (o) {
        case 'o': c.output = value; break;
        case 't': c.track = value; break;
        case kUtcOffset:
            if (!(c.utcOffset = parseUtcOffset(value))) return usage(err, "--utc-offset " + value + ": not +HH:MM");
            break;
        case kDb:
            if (!(c.scale = parseScale(value))) return usage(err, "--db " + value + ": not MIN:MAX in dBm, MIN below MAX");
            break;
        case kBegin:
        case kEnd: {
            const std::optional<long long> stamp = parseStamp(value);
            if (!stamp) return usage(err, c.given.back() + " " + value + ": not a time YYYY-MM-DDTHH:MM[:SS]");
            (o == kBegin ? c.window.begin : c.window.end) = stamp;
            break;
        }
        case 'h': return out << kZarnlogHelp, -1;
        case 'V': return out << "zarnlog " << kZarnVersion << "\n", -1;
        case ':': return usage(err, "option " + given + " needs a value");
        default: return usage(err, "unknown option " + (optopt ? std::string("-") + char(optopt) : given));
        }
    }
    std::vector<std::string> operands(argv.begin() + optind, argv.end() - 1);
    if (operands.empty()) return usage(err, "no command");
    c.name = operands[0];
    if (c.name != "info" && c.name != "csv" && c.name != "plot" && c.name != "map")
        return usage(err, "unknown command " + c.name);
    if (operands.size() < 2) return usage(err, c.name + " needs a log file");
    if (operands.size() > 2) return usage(err, "unexpected " + operands[2]);
    c.file = operands[1];
    if (c.name == "info" && !c.output.empty()) return usage(err, "info writes to standard output; -o is for csv, plot and map");
    if (const std::string o = notTaken(c); !o.empty()) return usage(err, c.name + " takes no " + o);
    if (c.name == "plot" && c.output.empty()) return usage(err, "plot needs -o OUT.png");
    if (c.name == "map") {
        if (c.output.empty()) return usage(err, "map needs -o OUT.gpkg, OUT.geojson, OUT.kml or OUT.csv");
        const std::optional<MapFormat> format = mapFormatOf(c.output);
        if (!format) return usage(err, "map writes .gpkg, .geojson, .kml or .csv, not " + c.output);
        c.format = *format;
    }
    if (c.window.begin && c.window.end && *c.window.end <= *c.window.begin) return usage(err, "--end is not after --begin");
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
    const TrackChoice track = chooseTrack(c.file, c.track, c.utcOffset, c.name == "map", err);
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
    const TrackChoice track = chooseTrack(c.file, c.track, c.utcOffset, c.name == "map", err);
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
        err << "zarnlog: " << c.file << ": no spectrum, single-channel or channel-table records to plot"
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
    const TrackChoice track = chooseTrack(c.file, c.track, c.utcOffset, c.name == "map", err);
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

}  // namespace

int runZarnlog(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && isArchiveCommand(args[0])) return runArchiveCommand(args, out, err);
    Command c;
    if (const int status = parse(args, c, out, err)) return status < 0 ? 0 : status;
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
    if (writeInfo(reader, header, out, damaged)) return 0;
    err << "zarnlog: " << c.file << ": read error: " << reader.readError() << "\n";
    return 1;
}

}  // namespace zarn
