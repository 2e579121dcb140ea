#include "tools/zarnlog/zarnlog_command.h"

#include <filesystem>

#include "platform/gdi/golden.h"
#include "tools/zarnlog/log_csv.h"
#include "tools/zarnlog/log_info.h"
#include "tools/zarnlog/log_plot.h"

namespace zarn {

const char* const kZarnlogHelp = R"(Usage: zarnlog COMMAND FILE.zrn [options]

Reads a Zarn survey log (.zrn).

Commands:
  info FILE            the header (version, PCS raster), record counts by type,
                       first and last time stamps, the notes with their times
  csv FILE [-o DIR]    one CSV per record type, in DIR (default: beside FILE):
                       NAME-single.csv, NAME-table.csv, NAME-servers.csv,
                       NAME-frames.csv with a header row; NAME-spectrum.csv in
                       the rtl_power layout (date, time, Hz low, Hz high, Hz step,
                       samples, dB values); NAME-notes.csv with every note
  plot FILE -o OUT.png a picture: waterfall of spectrum records, level over time
                       of single-channel records, one line per table channel,
                       notes as labelled ticks on the time axis
  --help               this text

A log cut short or damaged is read up to its first bad record: the byte offset
of that record goes to stderr and everything before it is used. The exit status
is 1 only when the file or its header cannot be read (or an output cannot be
written), 2 for a bad command line.
)";

namespace {

struct Command {
    std::string name, file, output;
};

bool parse(const std::vector<std::string>& args, Command& c, std::ostream& err) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" && i + 1 < args.size()) c.output = args[++i];
        else if (!a.empty() && a[0] == '-') return err << "zarnlog: unknown option " << a << " (see --help)\n", false;
        else if (c.name.empty()) c.name = a;
        else if (c.file.empty()) c.file = a;
        else return err << "zarnlog: unexpected " << a << " (see --help)\n", false;
    }
    if (c.name != "info" && c.name != "csv" && c.name != "plot")
        return err << "zarnlog: " << (c.name.empty() ? "no command" : "unknown command " + c.name) << " (see --help)\n", false;
    if (c.file.empty()) return err << "zarnlog: " << c.name << " needs a log file (see --help)\n", false;
    if (c.name == "plot" && c.output.empty()) return err << "zarnlog: plot needs -o OUT.png\n", false;
    return true;
}

int csv(const Command& c, const LoadedLog& log, std::ostream& out, std::ostream& err) {
    const std::filesystem::path file(c.file);
    const std::string dir = c.output.empty() ? file.parent_path().string() : c.output;
    std::vector<std::string> written;
    std::string error;
    const bool ok = writeCsvFiles(log, dir, file.stem().string(), written, error);
    for (const std::string& name : written) out << name << "\n";
    if (!ok) err << "zarnlog: " << error << "\n";
    return ok ? 0 : 1;
}

int plot(const Command& c, const LoadedLog& log, std::ostream& out, std::ostream& err) {
    Surface image;
    if (!plotLog(log, std::filesystem::path(c.file).filename().string(), image)) {
        err << "zarnlog: " << c.file << ": no spectrum, single-channel or channel-table records to plot\n";
        return 1;
    }
    if (!writePng(c.output, image)) {
        err << "zarnlog: cannot write " << c.output << "\n";
        return 1;
    }
    out << c.output << "\n";
    return 0;
}

}  // namespace

int runZarnlog(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") return out << kZarnlogHelp, 0;
    Command c;
    if (!parse(args, c, err)) return 2;
    LoadedLog log;
    if (!loadLogFile(c.file, log)) {
        err << "zarnlog: " << c.file << ": " << log.problem << "\n";
        return 1;
    }
    if (log.damaged)
        err << "zarnlog: " << c.file << ": bad record at byte " << log.badOffset << " (" << log.problem << "); the "
            << log.records.size() << " records before it are kept\n";
    if (c.name == "info") return writeInfo(log, out), 0;
    return c.name == "csv" ? csv(c, log, out, err) : plot(c, log, out, err);
}

}  // namespace zarn
