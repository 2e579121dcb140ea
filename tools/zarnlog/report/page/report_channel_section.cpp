// Section 2: each channel's levels: figures, level bands and the design level,
// per log and over all logs; the level over time; the CDF per band.
#include "tools/zarnlog/report/page/html_table.h"
#include "tools/zarnlog/report/page/report_charts.h"
#include "tools/zarnlog/report/page/report_format.h"
#include "tools/zarnlog/report/page/report_sections.h"
#include "tools/zarnlog/report/page/svg_writer.h"

namespace zarn::report {
namespace {

// The level bands: [edge 0, up), [edge 1, edge 0), ..., below the last edge.
std::vector<HtmlCell> bandHeaders(const ReportOptions& o) {
    std::vector<HtmlCell> out;
    const auto mark = [&](double low, double high) {
        return low >= o.threshold ? "pass" : high <= o.threshold ? "fail" : "";
    };
    for (size_t i = 0; i <= o.bands.size(); ++i) {
        const double low = i < o.bands.size() ? o.bands[i] : -INFINITY, high = i ? o.bands[i - 1] : INFINITY;
        const std::string name = i == 0 ? "\u2265 " + fixed(low, 0)
                                 : i == o.bands.size() ? "< " + fixed(high, 0)
                                                       : fixed(high, 0) + " to " + fixed(low, 0);
        out.push_back(textCell(name, std::string("n ") + mark(low, high)));
    }
    return out;
}

std::vector<HtmlCell> figures(const LevelHistogram& s, const ReportOptions& o) {
    std::vector<HtmlCell> out{numberCell(std::to_string(s.count())), numberCell(dbmText(s.min())),
                              numberCell(dbmText(s.percentile(0.1))), numberCell(dbmText(s.percentile(0.5))),
                              numberCell(dbmText(s.mean())), numberCell(dbmText(s.percentile(0.9))),
                              numberCell(dbmText(s.max()))};
    size_t above = 0;  // levels at or above the band's upper edge
    for (size_t i = 0; i <= o.bands.size(); ++i) {
        const size_t atOrAbove = i < o.bands.size() ? s.count() - s.countBelow(o.bands[i]) : s.count();
        out.push_back(numberCell(shareText(atOrAbove - above, s.count())));
        above = atOrAbove;
    }
    out.push_back({svg::escaped(shareText(s.count() - s.countBelow(o.threshold), s.count())), "n pass"});
    return out;
}

// The channel's name on two lines: band and number, then frequency.
HtmlCell nameCell(const ChannelLevels& c) {
    const std::string name = channelName(c.key, c.channel);
    const size_t comma = name.find(", ");
    return {svg::escaped(name.substr(0, comma)) + "<br>" + svg::escaped(name.substr(comma + 2)), "name"};
}

void figuresTable(const ReportData& data, std::string& out) {
    const ReportOptions& o = data.options;
    const bool several = data.logs.size() > 1;
    std::vector<HtmlCell> headers{textCell("channel")};
    if (several) headers.push_back(textCell("log"));
    for (HtmlCell& h : std::vector<HtmlCell>{textCell("samples", "n"), textCell("min", "n"),
                                  textCell("p10", "n"), textCell("median", "n"), textCell("mean", "n"),
                                             textCell("p90", "n"), textCell("max", "n")})
        headers.push_back(std::move(h));
    for (HtmlCell& h : bandHeaders(o)) headers.push_back(std::move(h));
    headers.push_back(textCell("pass \u2265 " + fixed(o.threshold, 0), "n pass"));
    HtmlTable table(out, "Levels in dBm, and the share of samples in each level band", headers);
    for (const ChannelLevels* c : channelsInOrder(data)) {
        for (size_t i = 0; several && i < data.logs.size(); ++i) {
            if (!c->perLog[i].count()) continue;
            std::vector<HtmlCell> row{nameCell(*c), textCell(logLabel(data, i))};
            for (HtmlCell& f : figures(c->perLog[i], o)) row.push_back(std::move(f));
            table.row(row);
        }
        std::vector<HtmlCell> row{nameCell(*c)};
        if (several) row.push_back(textCell("all logs"));
        for (HtmlCell& f : figures(c->whole, o)) row.push_back(std::move(f));
        table.row(row, several ? "all" : "");
    }
    table.end();
}

void overTime(const ReportData& data, const ChannelLevels& c, std::string& out) {
    TimeChart chart;
    chart.label = "level over time, " + channelName(c.key, c.channel);
    chart.unit = "dBm";
    Series mean{"mean", lineColour(0), {}}, low{"min", "", {}}, high{"max", "", {}};
    for (const LevelSum& s : c.columns) {
        mean.values.push_back(s.mean());
        low.values.push_back(s.min());
        high.values.push_back(s.max());
    }
    chart.y = plot::Range{*c.whole.min(), *c.whole.max()};
    chart.y.take(data.options.threshold);
    chart.y = chart.y.tens();
    chart.threshold = data.options.threshold;
    chart.lines.push_back(std::move(mean));
    chart.low = std::move(low);
    chart.high = std::move(high);
    out += "<figure>";
    timeChart(out, data.axis, data.logs, chart);
    out += "<figcaption>" + svg::escaped(channelName(c.key, c.channel)) +
           ": mean (line) and the range from min to max (shaded) of each column of time.</figcaption></figure>\n";
}

void cdfPerBand(const ReportData& data, std::string& out) {
    for (int band = 0; band < kBands; ++band) {
        std::vector<CdfLine> lines;
        std::string legend = "<p class=\"key\">";
        for (const ChannelLevels* c : channelsInOrder(data)) {
            if (c->key.band != band) continue;
            lines.push_back({channelName(c->key, c->channel), lineColour(lines.size()), &c->whole});
            legend += "<span class=\"swatch\" style=\"background:" + lines.back().colour + "\"></span>" +
                      svg::escaped(lines.back().name) + " ";
        }
        if (lines.empty()) continue;
        out += "<figure>";
        cdfChart(out, "CDF of the " + bandName(band) + " channels' levels", lines, data.options.threshold);
        out += legend + "</p><figcaption>CDF, " + bandName(band) +
               " band: the share of samples at or below each level, all logs.</figcaption></figure>\n";
    }
}

}  // namespace

void writeChannels(const ReportData& data, std::string& out) {
    beginSection(out, "channels", "2. Per channel");
    if (data.channels.empty()) {
        paragraph(out, "No single-channel or channel-table records in these logs.");
        return endSection(out);
    }
    paragraph(out, "Levels in dBm. The mean is averaged in mW and shown in dBm; percentiles are measured levels, "
                   "taken by nearest rank. A sample passes at or above the design level of " +
                       fixed(data.options.threshold, 1) + " dBm.");
    figuresTable(data, out);
    out += "<h3>Level over time</h3>\n";
    for (const ChannelLevels* c : channelsInOrder(data)) overTime(data, *c, out);
    out += "<h3>CDF per band</h3>\n";
    cdfPerBand(data, out);
    endSection(out);
}

}  // namespace zarn::report
