#include "tools/zarnlog/plot/log_occupancy.h"

#include <cstdio>
#include <memory>

#include "tools/zarnlog/csv_file.h"

namespace zarn {

bool writeOccupancyCsv(LogReader& reader, const LogHeader& header, const OccupancySettings& s, const std::string& path,
                       std::ostream& out, std::string& error, const DamageSink& damaged) {
    std::unique_ptr<CsvFile> file;
    if (!path.empty()) file = std::make_unique<CsvFile>(path, CsvMaker::Occupancy);
    std::string text = occupancyCsvHeader();
    const auto handOn = [&] {
        const bool written = file ? file->write(text) : static_cast<bool>(out.write(text.data(), static_cast<std::streamsize>(text.size())));
        text.clear();
        return written;
    };
    OccupancyCounter counter(header.pcsRaster, s.threshold, s.periodSeconds);
    OccupancyPeriod ended;
    bool written = true;
    const bool read = forEachRecord(reader, [&](const LogRecord& r) {
        if (!s.window.contains(r.time) || !counter.take(r, ended)) return true;
        appendOccupancyCsv(ended, text);
        return written = handOn();
    }, damaged);
    if (written && read && counter.finish(ended)) appendOccupancyCsv(ended, text);
    if (written && read) written = handOn() && (!file || file->close());
    if (file && !file->error().empty()) error = file->error();
    else if (!written) error = "cannot write standard output";
    else if (!read) error = "read error: " + reader.readError();
    if (error.empty()) return true;
    if (file && file->made()) std::remove(path.c_str());
    return false;
}

}  // namespace zarn
