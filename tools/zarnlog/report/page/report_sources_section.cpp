// Section 7: where each channel's transmitter is, from its placed levels, as
// zarnlog locate finds it, on the channel's coverage map with its 95 % region.
#include "tools/zarnlog/report/page/html_table.h"
#include "tools/zarnlog/report/page/report_format.h"
#include "tools/zarnlog/report/page/report_maps.h"
#include "tools/zarnlog/report/page/report_sections.h"
#include "tools/zarnlog/report/page/svg_writer.h"

namespace zarn::report {
namespace {

// The grid's cells, and those of each estimate and of its region's box when it is closed.
CellSet frameCells(const ReportData& data) {
    CellSet cells = everyCell(data);
    for (const auto& [key, s] : data.sources) {
        if (!s.estimate) continue;
        std::vector<Place> corners{s.estimate->place};
        if (s.estimate->region && !s.estimate->region->open) corners = s.estimate->region->outline(8);
        for (const Place& p : corners)
            if (const auto cell = data.grid->grid.cellOf({p.lat, p.lon})) cells.insert(*cell);
    }
    return cells;
}

std::string regionText(const TransmitterEstimate& e) {
    if (!e.region) return kNone;
    return fixed(e.region->major, 0) + " \u00d7 " + fixed(e.region->minor, 0) + " m, long axis at " +
           fixed(e.region->bearing, 0) + "\u00b0";
}

void sourceTable(const ReportData& data, std::string& out) {
    HtmlTable table(out, "The transmitter of each channel, by the fit of the log-distance model",
                    {textCell("channel"), textCell("estimate"), textCell("95 % region (semi-axes)"), textCell("n", "n"),
                     textCell("P0 at 1 m", "n"), textCell("samples", "n"), textCell("drive", "n"), textCell("note")});
    for (const ChannelLevels* c : channelsInOrder(data)) {
        const auto found = data.sources.find(c->key);
        if (found == data.sources.end()) continue;
        const SourceEstimate& s = found->second;
        std::vector<HtmlCell> row{textCell(channelName(c->key, c->channel))};
        if (!s.estimate) {
            for (int k = 0; k < 6; ++k) row.push_back(textCell(kNone));
            row.push_back(textCell(s.why));
            table.row(row);
            continue;
        }
        const TransmitterEstimate& e = *s.estimate;
        std::string notes;
        for (const std::string& w : locateWarnings(e)) notes += (notes.empty() ? "" : "; ") + w;
        row.insert(row.end(), {textCell(placeText(e.place)), textCell(regionText(e)), numberCell(fixed(e.model.n, 2)),
                               numberCell(fixed(e.model.p0, 1) + " dBm"), numberCell(std::to_string(e.samples)),
                               numberCell(metresText(e.metres)), textCell(notes)});
        table.row(row);
    }
    table.end();
}

}  // namespace

void writeSources(const ReportData& data, std::string& out) {
    beginSection(out, "sources", "7. Where the signals come from");
    if (data.sources.empty()) {
        paragraph(out, "No channel has the " + std::to_string(kFewestLocateReadings) +
                           " placed single-channel or channel-table readings that its transmitter is located from.");
        return endSection(out);
    }
    paragraph(out, "For each channel with at least " + std::to_string(kFewestLocateReadings) +
                       " placed readings: where its transmitter is, by the log-distance model (level = P0 - 10 n "
                       "log10 d) fitted for its place, P0 and n together over the drive and its neighbourhood, "
                       "readings at the receiver's floor counted as no higher than it. The 95 % region allows for the "
                       "shadowing's correlation along the road, and is long where the drive leaves the distance open "
                       "(a drive passing on one side). As zarnlog locate finds it; its -o writes the same as map layers.");
    sourceTable(data, out);
    if (!data.grid) {
        paragraph(out, "No map: " + data.noGridWhy, "why");
        return endSection(out);
    }
    const MapFrame frame(*data.grid, frameCells(data));
    const LevelScale scale = levelScaleOf(data);
    levelKey(out, scale, false);
    for (const ChannelLevels* c : channelsInOrder(data)) {
        const auto found = data.sources.find(c->key);
        if (found == data.sources.end() || !found->second.estimate) continue;
        const TransmitterEstimate& e = *found->second.estimate;
        const std::string name = channelName(c->key, c->channel);
        out += "<figure><figcaption>" + svg::escaped(name) + ": the estimate (+) and its 95 % region (dashed)</figcaption>";
        const SourceMark mark{e.place, e.region ? e.region->outline() : std::vector<Place>{}};
        levelMap(out, frame, {&c->cells, scale, data.options.minSamples, nullptr, "where " + name + " comes from", &mark});
        out += "</figure>\n";
    }
    endSection(out);
}

}  // namespace zarn::report
