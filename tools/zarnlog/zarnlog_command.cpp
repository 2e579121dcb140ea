#include "tools/zarnlog/zarnlog_command.h"

#include <getopt.h>

#include <filesystem>
#include <system_error>

#include "platform/gdi/png_file.h"
#include "tools/zarnlog/log_csv.h"
#include "tools/zarnlog/log_info.h"
#include "tools/zarnlog/log_plot.h"
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
                       NAME-notes.csv with every note
  plot FILE -o OUT.png a picture: waterfall of spectrum records, level over time
                       of single-channel records, one line per table channel,
                       notes as labelled ticks on the time axis

Options:
  -o, --output PATH    the folder for csv, the picture for plot
  -h, --help           this text
  -V, --version        the version

A damaged stretch of a log (a record cut short or overwritten) is skipped up
to the next intact record; its byte offset and length go to stderr and every
intact record is used. The exit status is 1 when the file or its header cannot
be read or an output cannot be written, 2 for a bad command line.
)";

namespace {

const char* const kUsage =
    "Usage: zarnlog info FILE.zrn | csv FILE.zrn [-o DIR] | plot FILE.zrn -o OUT.png\n"
    "Try 'zarnlog --help' for more.\n";

struct Command {
    std::string name, file, output;
};

int usage(std::ostream& err, const std::string& what) {
    err << "zarnlog: " << what << "\n" << kUsage;
    return 2;
}

// 0 when the command line holds a command; otherwise the exit status, its message written.
int parse(const std::vector<std::string>& args, Command& c, std::ostream& out, std::ostream& err) {
    std::vector<std::string> words{"zarnlog"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    static const option kOptions[] = {{"output", required_argument, nullptr, 'o'},
                                      {"help", no_argument, nullptr, 'h'},
                                      {"version", no_argument, nullptr, 'V'},
                                      {nullptr, 0, nullptr, 0}};
    optind = 0;  // a fresh scan on every call
    opterr = 0;
    const int argc = static_cast<int>(words.size());
    for (int o; (o = getopt_long(argc, argv.data(), ":o:hV", kOptions, nullptr)) != -1;) {
        const std::string given = argv[optind - 1];
        switch (o) {
        case 'o': c.output = optarg; break;
        case 'h': return out << kZarnlogHelp, -1;
        case 'V': return out << "zarnlog " << kZarnVersion << "\n", -1;
        case ':': return usage(err, "option " + given + " needs a value");
        default: return usage(err, "unknown option " + (optopt ? std::string("-") + char(optopt) : given));
        }
    }
    std::vector<std::string> operands(argv.begin() + optind, argv.end() - 1);
    if (operands.empty()) return usage(err, "no command");
    c.name = operands[0];
    if (c.name != "info" && c.name != "csv" && c.name != "plot") return usage(err, "unknown command " + c.name);
    if (operands.size() < 2) return usage(err, c.name + " needs a log file");
    if (operands.size() > 2) return usage(err, "unexpected " + operands[2]);
    c.file = operands[1];
    if (c.name == "plot" && c.output.empty()) return usage(err, "plot needs -o OUT.png");
    if (c.name == "info" && !c.output.empty()) return usage(err, "info writes to standard output; -o is for csv and plot");
    return 0;
}

// Creates a missing output folder; false with the reason on `err`.
bool makeFolder(const std::filesystem::path& dir, std::ostream& err) {
    std::error_code ec;
    if (dir.empty() || std::filesystem::is_directory(dir, ec)) return true;
    if (std::filesystem::create_directories(dir, ec)) return true;
    err << "zarnlog: cannot create " << dir.string() << ": " << (ec ? ec.message() : "not a folder") << "\n";
    return false;
}

int csv(const Command& c, LogReader& reader, const LogHeader& header, const DamageSink& damaged, std::ostream& out,
        std::ostream& err) {
    const std::filesystem::path file(c.file);
    const std::string dir = c.output.empty() ? file.parent_path().string() : c.output;
    if (!makeFolder(dir, err)) return 1;
    std::vector<std::string> written;
    std::string error;
    if (!writeCsvFiles(reader, header, dir, file.stem().string(), written, error, damaged)) {
        err << "zarnlog: " << (reader.readError().empty() ? "" : c.file + ": ") << error << "\n";
        return 1;
    }
    for (const std::string& name : written) out << name << "\n";
    return 0;
}

int plot(const Command& c, LogReader& reader, const LogHeader& header, const DamageSink& damaged, std::ostream& out,
         std::ostream& err) {
    Surface image;
    if (!plotLog(reader, header, std::filesystem::path(c.file).filename().string(), image, damaged)) {
        if (!reader.readError().empty()) err << "zarnlog: " << c.file << ": read error: " << reader.readError() << "\n";
        else err << "zarnlog: " << c.file << ": no spectrum, single-channel or channel-table records to plot\n";
        return 1;
    }
    std::string error;
    if (!makeFolder(std::filesystem::path(c.output).parent_path(), err)) return 1;
    if (!writePng(c.output, image, &error)) {
        err << "zarnlog: cannot write " << c.output << ": " << error << "\n";
        return 1;
    }
    out << c.output << "\n";
    return 0;
}

}  // namespace

int runZarnlog(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
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
    if (writeInfo(reader, header, out, damaged)) return 0;
    err << "zarnlog: " << c.file << ": read error: " << reader.readError() << "\n";
    return 1;
}

}  // namespace zarn
