// Sections 3 and 4: the coverage grid per channel, and best-server dominance
// per band, on maps that share one frame.
#include "tools/zarnlog/report/page/html_table.h"
#include "tools/zarnlog/report/page/report_format.h"
#include "tools/zarnlog/report/page/report_maps.h"
#include "tools/zarnlog/report/page/report_sections.h"
#include "tools/zarnlog/report/page/svg_writer.h"

namespace zarn::report {
namespace {

std::string projectionText(const GridFrame& g) {
    const int epsg = g.grid.epsg(), zone = epsg % 100;
    return "EPSG:" + std::to_string(epsg) + ", WGS 84 / UTM zone " + std::to_string(zone) +
           (epsg / 100 == 326 ? "N" : "S") + ", the zone of the middle of the placed records' bounding box (" + fixed(g.centre.lat, 5) + ", " +
           fixed(g.centre.lon, 5) + ")";
}

bool noGrid(const ReportData& data, std::string& out) {
    if (data.grid) return false;
    paragraph(out, "No grid: " + data.noGridWhy, "why");
    return true;
}

void cellTable(const ReportData& data, std::string& out) {
    const ReportOptions& o = data.options;
    HtmlTable table(out, "Cells of each channel",
                    {textCell("channel"), textCell("cells", "n"), textCell("counted", "n"),
                     textCell("\u2265 " + fixed(o.threshold, 0) + " dBm", "n pass"), textCell("share of counted", "n pass")});
    for (const ChannelLevels* c : channelsInOrder(data)) {
        size_t counted = 0, passing = 0;
        for (const auto& [cell, levels] : c->cells) {
            if (levels.count() < o.minSamples) continue;
            ++counted;
            passing += *levels.mean() >= o.threshold;
        }
        table.row({textCell(channelName(c->key, c->channel)), numberCell(std::to_string(c->cells.size())),
                   numberCell(std::to_string(counted)), numberCell(std::to_string(passing)),
                   numberCell(shareText(passing, counted))});
    }
    table.end();
}

}  // namespace

void writeGrid(const ReportData& data, std::string& out) {
    beginSection(out, "grid", "3. Coverage grid");
    const ReportOptions& o = data.options;
    if (data.channels.empty()) paragraph(out, "No single-channel or channel-table records to grid.");
    if (data.channels.empty() || noGrid(data, out)) return endSection(out);
    const LevelScale scale = levelScaleOf(data);
    paragraph(out, "Cells of " + fixed(o.cellMetres, 0) + " m in " + projectionText(*data.grid) +
                       ". A cell's colour is the mean of its samples, averaged in mW, on the scale of zarnlog plot; "
                       "its number is its sample count (under the pointer where the cell is small). Cells with fewer "
                       "than " + std::to_string(o.minSamples) +
                       " samples are hatched and not counted in the shares. No base map: the page works offline.");
    levelKey(out, scale, true);
    cellTable(data, out);
    const MapFrame frame(*data.grid, everyCell(data));
    for (const ChannelLevels* c : channelsInOrder(data)) {
        const std::string name = channelName(c->key, c->channel);
        out += "<figure><figcaption>" + svg::escaped(name) + "</figcaption>";
        levelMap(out, frame, {&c->cells, scale, o.minSamples, &data.undersampledCells[c->key.band], "grid of " + name});
        out += "</figure>\n";
    }
    endSection(out);
}

void writeDominance(const ReportData& data, std::string& out) {
    beginSection(out, "dominance", "4. Best-server dominance");
    const bool any = !data.dominance[0].empty() || !data.dominance[1].empty();
    bool anyRecords = false;
    for (const LogOverview& l : data.logs) anyRecords = anyRecords || l.kinds.count(kModeChannelTable) || l.kinds.count(kModeBestServers);
    if (!anyRecords) paragraph(out, "No channel-table or best-servers records in these logs.");
    if (!anyRecords || noGrid(data, out)) return endSection(out);
    if (!any) {
        paragraph(out, "No channel-table or best-servers record has a place on the grid.");
        return endSection(out);
    }
    const size_t least = data.options.minSamples;
    paragraph(out, "Per cell and band: how many channels (channel-table slots, best-server ranks) have a mean level "
                   "within 5 dB of the strongest channel's mean there (means averaged in mW). With 4 or more, no "
                   "server dominates. A cell's number is its count of records; cells with fewer than " +
                       std::to_string(least) + " are hatched and not counted.");
    dominanceKey(out);
    HtmlTable table(out, "Cells by channels within 5 dB of the strongest",
                    {textCell("band"), textCell("cells", "n"), textCell("counted", "n"), textCell("1", "n"),
                     textCell("2", "n"), textCell("3", "n"), textCell("4 or more", "n fail")});
    for (int band = 0; band < kBands; ++band) {
        if (data.dominance[band].empty()) continue;
        size_t counted = 0, classes[4] = {0, 0, 0, 0};
        for (const auto& [cell, d] : data.dominance[band]) {
            if (d.records < least || d.withinFiveDb() == 0) continue;
            ++counted;
            ++classes[std::min<size_t>(d.withinFiveDb(), 4) - 1];
        }
        std::vector<HtmlCell> row{textCell(bandName(band)), numberCell(std::to_string(data.dominance[band].size())),
                                  numberCell(std::to_string(counted))};
        for (size_t n : classes) row.push_back(numberCell(shareText(n, counted)));
        table.row(row);
    }
    table.end();
    const MapFrame frame(*data.grid, everyCell(data));
    for (int band = 0; band < kBands; ++band) {
        if (data.dominance[band].empty()) continue;
        out += "<figure><figcaption>" + bandName(band) + " band</figcaption>";
        dominanceMap(out, frame, data.dominance[band], least, "dominance in the " + bandName(band) + " band");
        out += "</figure>\n";
    }
    endSection(out);
}

}  // namespace zarn::report
