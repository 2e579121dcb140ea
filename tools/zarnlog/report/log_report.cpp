#include "tools/zarnlog/report/log_report.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "tools/zarnlog/report/page/report_page.h"
#include "tools/zarnlog/report/report_drive.h"
#include "tools/zarnlog/report/report_levels.h"
#include "tools/zarnlog/report/report_occupancy.h"
#include "tools/zarnlog/report/report_overview.h"

namespace zarn {
namespace {

using namespace report;

constexpr int kTimeColumns = 600;

// Why no record has a place, log by log.
std::string whyNoPositions(const ReportData& data) {
    std::string why;
    for (const LogOverview& l : data.logs) {
        if (l.placing.placed) continue;
        const std::string reason = l.track ? l.track->nothingPlaced(l.placing) : l.noTrackWhy;
        why += (why.empty() ? "" : "; ") + l.name + ": " + reason;
    }
    return why;
}

void chooseGrid(ReportData& data) {
    Extent all;
    for (const LogOverview& l : data.logs) all.take(l.extent);
    if (all.empty()) {
        data.noGridWhy = "no record has a position. " + whyNoPositions(data);
        return;
    }
    GridFrame frame;
    frame.centre = all.centre();
    std::string error;
    if (!frame.grid.open(utmEpsgFor(frame.centre), data.options.cellMetres, error)) {
        data.noGridWhy = error;
        return;
    }
    data.grid = std::move(frame);
}

bool writeFile(const std::string& path, const std::string& text, std::string& error) {
    const std::string temporary = path + ".part" + std::to_string(getpid());
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (file && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    error = std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
}

}  // namespace

bool readReport(const std::vector<ReportLog>& logs, const ReportOptions& options, ReportData& data, std::string& error,
                std::ostream& err) {
    data = ReportData{};
    data.options = options;
    data.logs.resize(logs.size());
    size_t records = 0;
    for (size_t i = 0; i < logs.size(); ++i) {
        const std::string& path = logs[i].path;
        const DamageSink damaged = [&](const LogDamage& d) {
            err << "zarnlog: " << path << ": bad record at byte " << d.offset << " (" << d.problem << "): skipped "
                << d.length << " bytes\n";
        };
        if (!readOverview(logs[i], options, data.logs[i], error, damaged)) return error = path + ": " + error, false;
        const LogOverview& l = data.logs[i];
        if (l.recordsInFile == 0)
            return error = path + ": no intact record: the log is empty" + (l.damage.empty() ? "" : " but for damaged stretches"),
                   false;
        if (!l.header.pcsRaster)
            err << "zarnlog: " << path << ": unknown PCS raster (header byte " << int(l.header.rasterByte)
                << "): PCS values that need it are left out\n";
        if (l.track) err << "zarnlog: " << path << ": " << l.placing.text() << "\n";
        records += l.records;
    }
    if (records == 0) return error = "no record between --begin and --end", false;
    chooseGrid(data);
    data.axis = TimeAxis(data.logs, kTimeColumns);
    beginOccupancy(data);
    for (size_t i = 0; i < logs.size(); ++i)
        if (!readLevels(logs[i], i, data, error)) return error = logs[i].path + ": " + error, false;
    sumChannels(data);
    locateSources(data);
    for (LogOverview& l : data.logs) {
        checkDrive(l);
        if (data.grid) markUndersampledCells(l, *data.grid, data.undersampledCells);
    }
    data.speedColumns = speedOverTime(data.logs, data.axis);
    return true;
}

int writeReport(const std::vector<ReportLog>& logs, const ReportOptions& options, const std::string& output,
                std::ostream& err) {
    ReportData data;
    std::string error;
    if (!readReport(logs, options, data, error, err)) {
        err << "zarnlog: " << error << "\n";
        return 1;
    }
    if (!data.grid) err << "zarnlog: the report has no grid: " << data.noGridWhy << "\n";
    if (!writeFile(output, reportPage(data), error)) {
        err << "zarnlog: cannot write " << output << ": " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace zarn
