// Section 1: the logs, their span and records, their positions and speed, their notes.
#include <algorithm>

#include "survey/log_text.h"
#include "tools/zarnlog/report/page/html_table.h"
#include "tools/zarnlog/report/page/report_charts.h"
#include "tools/zarnlog/report/page/report_format.h"
#include "tools/zarnlog/report/page/report_sections.h"

namespace zarn::report {
namespace {

constexpr size_t kMostNotes = 200;

std::string joined(const std::set<std::string>& texts) {
    std::string out;
    for (const std::string& t : texts) out += (out.empty() ? "" : ", ") + t;
    return out.empty() ? "not recorded" : out;
}

std::string rasterText(const LogHeader& h) {
    return h.pcsRaster ? std::to_string(h.pcsRaster / 1000) + " kHz"
                       : "unknown (header byte " + std::to_string(h.rasterByte) + ")";
}

void logsTable(const ReportData& data, std::string& out) {
    HtmlTable table(out, "The logs",
                    {textCell("#"), textCell("log"), textCell("format"), textCell("PCS raster"), textCell("firmware"),
                     textCell("serial number"), textCell("records", "n"), textCell("span"), textCell("damaged")});
    for (size_t i = 0; i < data.logs.size(); ++i) {
        const LogOverview& l = data.logs[i];
        std::string records = std::to_string(l.records);
        if (l.records != l.recordsInFile) records += " of " + std::to_string(l.recordsInFile);
        const std::string damaged = l.damage.empty() ? "none"
                                                     : std::to_string(l.damage.size()) + " stretches, " +
                                                           std::to_string(l.damagedBytes) + " bytes";
        table.row({numberCell(std::to_string(i + 1)), textCell(l.name), textCell(l.header.version),
                   textCell(rasterText(l.header)), textCell(joined(l.firmware)), textCell(joined(l.serials)),
                   numberCell(records), textCell(l.records ? spanText(l.first, l.last) : kNone), textCell(damaged)});
    }
    table.end();
}

void kindsTable(const ReportData& data, std::string& out) {
    const bool several = data.logs.size() > 1;
    std::vector<HtmlCell> headers{textCell("records")};
    for (size_t i = 0; several && i < data.logs.size(); ++i) headers.push_back(textCell(logLabel(data, i), "n"));
    headers.push_back(textCell(several ? "all logs" : "count", "n"));
    HtmlTable table(out, "Records per kind", headers);
    const auto row = [&](const std::string& name, auto count) {
        std::vector<HtmlCell> cells{textCell(name)};
        size_t all = 0;
        for (const LogOverview& l : data.logs) {
            all += count(l);
            if (several) cells.push_back(numberCell(std::to_string(count(l))));
        }
        cells.push_back(numberCell(std::to_string(all)));
        table.row(cells);
    };
    for (uint8_t type : {kModeSingleChannel, kModeChannelTable, kModeSpectrum, kModeBestServers})
        row(recordTypeName(type), [&](const LogOverview& l) { return l.kinds.count(type) ? l.kinds.at(type) : 0; });
    row("board frames", [](const LogOverview& l) {
        size_t n = 0;
        for (const auto& [type, count] : l.kinds) n += type < kModeSingleChannel || type > kModeBestServers ? count : 0;
        return n;
    });
    row("notes", [](const LogOverview& l) { return l.notes.size(); });
    table.end();
}

void positionsTable(const ReportData& data, std::string& out) {
    HtmlTable table(out, "Positions",
                    {textCell("log"), textCell("track"), textCell("placed", "n"), textCell("share placed", "n"),
                     textCell("distance", "n"), textCell("mean speed", "n")});
    for (size_t i = 0; i < data.logs.size(); ++i) {
        const LogOverview& l = data.logs[i];
        if (!l.track) {
            table.row({textCell(logLabel(data, i)), textCell("none: " + l.noTrackWhy), numberCell("0"),
                       numberCell(kNone), numberCell(kNone), numberCell(kNone)});
            continue;
        }
        const double seconds = static_cast<double>(l.last - l.first + 1);
        table.row({textCell(logLabel(data, i)), textCell(l.trackName), numberCell(std::to_string(l.placing.placed)),
                   numberCell(shareText(l.placing.placed, l.records)), numberCell(metresText(l.metres)),
                   numberCell(l.records ? fixed(l.metres / seconds * 3.6, 1) + " km/h" : kNone)});
    }
    table.end();
}

void speedChart(const ReportData& data, std::string& out) {
    double fastest = 0;
    for (const auto& v : data.speedColumns)
        if (v) fastest = std::max(fastest, *v);
    TimeChart chart;
    chart.label = "speed over time";
    chart.unit = "km/h";
    chart.y = {0, std::max(10.0, std::ceil(fastest / 10) * 10)};
    chart.lines.push_back({"speed", lineColour(0), data.speedColumns});
    out += "<figure>";
    timeChart(out, data.axis, data.logs, chart);
    out += "<figcaption>Speed over the logs' time, from the track; gaps where no fix covers the time.</figcaption>"
           "</figure>\n";
}

void notes(const ReportData& data, std::string& out) {
    size_t total = 0;
    for (const LogOverview& l : data.logs) total += l.notes.size();
    out += "<h3>Markers and notes</h3>\n";
    if (total == 0) return paragraph(out, "No record carries a note.");
    out += "<figure>";
    notesTimeline(out, data.axis, data.logs);
    out += "</figure>\n";
    HtmlTable table(out, "", {textCell("log"), textCell("time"), textCell("note")});
    size_t shown = 0;
    for (size_t i = 0; i < data.logs.size(); ++i)
        for (const Note& n : data.logs[i].notes)
            if (shown++ < kMostNotes) table.row({textCell(logLabel(data, i)), textCell(stampText(n.stamp)), textCell(n.text)});
    table.end();
    if (total > kMostNotes)
        paragraph(out, "The first " + std::to_string(kMostNotes) + " of " + std::to_string(total) +
                           " notes; zarnlog info lists them all.", "note");
}

}  // namespace

void writeSummary(const ReportData& data, std::string& out) {
    beginSection(out, "summary", "1. Summary");
    logsTable(data, out);
    long long first = 0, last = 0;
    bool any = false;
    for (const LogOverview& l : data.logs)
        if (l.records) {
            first = any ? std::min(first, l.first) : l.first;
            last = any ? std::max(last, l.last) : l.last;
            any = true;
        }
    for (size_t i = 0; i < data.logs.size(); ++i)
        if (const size_t n = data.logs[i].withoutFrequency)
            paragraph(out, logLabel(data, i) + ": " + std::to_string(n) +
                               " values or sweeps left out, their frequency unknown (a PCS raster the log's header "
                               "does not name, or a channel outside its band).", "why");
    paragraph(out, "The records run from " + spanText(first, last) + " (device clock); the logs' spans add up to " +
                       durationText(data.axis.seconds()) + ".");
    kindsTable(data, out);
    positionsTable(data, out);
    if (data.anyPlaced()) speedChart(data, out);
    notes(data, out);
    endSection(out);
}

}  // namespace zarn::report
