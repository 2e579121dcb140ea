// Section 5: spectrum surveys: the sweeps per log, the percentile spectra
// over all of them, and per band the sweeps' occupancy as zarnlog occupancy
// draws it, with the busiest points in a table.
#include <algorithm>

#include "survey/occupancy.h"
#include "tools/zarnlog/report/page/html_table.h"
#include "tools/zarnlog/report/page/report_charts.h"
#include "tools/zarnlog/report/page/report_format.h"
#include "tools/zarnlog/report/page/report_sections.h"
#include "tools/zarnlog/report/page/svg_writer.h"

namespace zarn::report {
namespace {

void sweepsTable(const ReportData& data, int band, std::string& out) {
    HtmlTable table(out, bandName(band) + " sweeps",
                    {textCell("log"), textCell("sweeps", "n"), textCell("from MHz", "n"), textCell("to MHz", "n"),
                     textCell("strongest dBm", "n"), textCell("at MHz", "n")});
    SpectrumLog all;
    const auto row = [&](const std::string& name, const SpectrumLog& s, const char* rowClass) {
        table.row({textCell(name), numberCell(std::to_string(s.sweeps)), numberCell(s.lowHz ? megahertz(s.lowHz) : kNone),
                   numberCell(s.highHz ? megahertz(s.highHz) : kNone), numberCell(dbmText(s.peakDbm)),
                   numberCell(s.peakDbm ? megahertz(s.peakHz) : kNone)},
                  rowClass);
    };
    for (size_t i = 0; i < data.logs.size(); ++i) {
        const SpectrumLog& s = data.logs[i].spectrum[band];
        if (!s.sweeps) continue;
        row(logLabel(data, i), s, "");
        all.sweeps += s.sweeps;
        if (s.lowHz) all.lowHz = all.lowHz ? std::min(all.lowHz, s.lowHz) : s.lowHz;
        all.highHz = std::max(all.highHz, s.highHz);
        if (s.peakDbm && (!all.peakDbm || *s.peakDbm > *all.peakDbm)) {
            all.peakDbm = s.peakDbm;
            all.peakHz = s.peakHz;
        }
    }
    if (data.logs.size() > 1) row("all logs", all, "all");
    table.end();
}

void percentileSpectra(const ReportData& data, int band, std::string& out) {
    std::vector<double> mhz;
    Series p50{"p50", lineColour(0), {}}, p90{"p90", lineColour(4), {}}, max{"max", lineColour(1), {}};
    for (const auto& [hz, levels] : data.spectrum[band]) {
        mhz.push_back(hz / 1e6);
        p50.values.push_back(levels.percentile(0.5));
        p90.values.push_back(levels.percentile(0.9));
        max.values.push_back(levels.max());
    }
    out += "<figure>";
    spectrumChart(out, "percentile spectra of the " + bandName(band) + " band", mhz, {max, p90, p50});
    out += "<p class=\"key\"><span class=\"swatch\" style=\"background:" + max.colour + "\"></span>max "
           "<span class=\"swatch\" style=\"background:" + p90.colour + "\"></span>p90 "
           "<span class=\"swatch\" style=\"background:" + p50.colour + "\"></span>p50 (median)</p>"
           "<figcaption>" + bandName(band) +
           " band: at each frequency, the median, the 90th percentile and the strongest level of every sweep of "
           "every log that measured it.</figcaption></figure>\n";
}

constexpr int kMostColumns = 160;
constexpr size_t kBusiestPoints = 10;

std::string thresholdText(const ReportData& data, int band) {
    const OccupancyThreshold& t = data.options.occupancyThreshold;
    std::string text = t.aboveNoise ? fixed(t.db, 1) + " dB above the noise floor (the 10th percentile of the band's "
                                      "levels in each period)"
                                    : fixed(t.db, 1) + " dBm";
    if (const auto& range = data.occupancy.thresholds[band]; range && t.aboveNoise)
        text += range->first == range->second ? ": " + fixed(range->first, 1) + " dBm"
                                              : ": " + fixed(range->first, 1) + " to " + fixed(range->second, 1) + " dBm";
    return text;
}

void occupancyPicture(const ReportData& data, int band, std::string& out) {
    const SweepOccupancy& o = data.occupancy;
    const auto& places = o.places[band];
    OccupancyChart chart;
    for (const auto& [hz, place] : places) chart.hz.push_back(hz);
    const long long n = static_cast<long long>(chart.hz.size());
    OccupancyCells cells(static_cast<int>(std::min<long long>(n, kMostColumns)), o.rows);
    long long k = 0;
    for (const auto& [hz, place] : places) {
        for (int row = 0; row < o.rows; ++row)
            if (place.rows[static_cast<size_t>(row)] != OccupancyCells::kNone)
                cells.fold(k, n, row, o.rows, place.rows[static_cast<size_t>(row)]);
        ++k;
    }
    chart.label = "occupancy of the " + bandName(band) + " band over time and frequency";
    chart.cells = &cells;
    chart.occupancy = &o;
    chart.periodSeconds = data.options.occupancyPeriod;
    out += "<figure>";
    occupancyChart(out, chart);
    out += "<p class=\"key\">";
    for (int percent = 0; percent <= 100; percent += 25)
        out += "<span class=\"swatch\" style=\"background:" + occupancyColour(static_cast<float>(percent) / 100) +
               "\"></span>" + std::to_string(percent) + " % ";
    out += "<span class=\"swatch\" style=\"background:" + occupancyColour(OccupancyCells::kNone) +
           "\"></span>no sweep</p><figcaption>" + bandName(band) + " band: occupancy, the share of a point's samples "
           "above the threshold in each period of " + periodText(chart.periodSeconds) + " (" +
           std::to_string(o.shown) + " periods from " + stampText(o.firstPeriod) + "); threshold " +
           svg::escaped(thresholdText(data, band)) + ". " +
           (o.stretches.size() > 1 ? "The time between logs, with no period of its own, is left out: a white line "
                                     "marks each break. "
                                   : "") +
           (n > kMostColumns || o.shown > o.rows ? "A column or row covering several points or periods shows the "
                                                     "busiest of them. "
                                                   : "") +
           "zarnlog occupancy gives every period's figures.</figcaption></figure>\n";
}

void busiestTable(const ReportData& data, int band, std::string& out) {
    std::vector<std::pair<uint32_t, const OccupancyPlace*>> points;
    for (const auto& [hz, place] : data.occupancy.places[band]) points.emplace_back(hz, &place);
    const auto share = [](const OccupancyPlace& p) { return static_cast<double>(p.above) / static_cast<double>(p.samples); };
    std::stable_sort(points.begin(), points.end(), [&](const auto& a, const auto& b) { return share(*a.second) > share(*b.second); });
    points.resize(std::min(points.size(), kBusiestPoints));
    HtmlTable table(out, "The busiest " + bandName(band) + " points",
                    {textCell("MHz", "n"), textCell("samples", "n"), textCell("above", "n"), textCell("occupancy", "n"),
                     textCell("busiest period", "n"), textCell("from")});
    for (const auto& [hz, p] : points)
        table.row({numberCell(megahertz(hz)), numberCell(std::to_string(p->samples)), numberCell(std::to_string(p->above)),
                   numberCell(fixed(100 * share(*p), 1) + " %"), numberCell(fixed(100 * p->busiest, 1) + " %"),
                   textCell(p->above ? stampText(p->busiestStart) : kNone)});
    table.end();
}

}  // namespace

void writeSpectrum(const ReportData& data, std::string& out) {
    beginSection(out, "spectrum", "5. Spectrum");
    bool any = false;
    for (int band = 0; band < kBands; ++band) {
        if (data.spectrum[band].empty()) continue;
        any = true;
        out += "<h3>" + bandName(band) + " band</h3>\n";
        sweepsTable(data, band, out);
        percentileSpectra(data, band, out);
        if (data.occupancy.places[band].empty()) continue;
        occupancyPicture(data, band, out);
        busiestTable(data, band, out);
    }
    if (!any) paragraph(out, "No spectrum records with measured points in these logs.");
    endSection(out);
}

}  // namespace zarn::report
