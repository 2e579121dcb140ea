// Section 5: spectrum surveys: the sweeps per log and the percentile spectra
// over all of them. The occupancy picture will join the percentile spectra
// here, per band, once there is occupancy to show.
#include "tools/zarnlog/html_table.h"
#include "tools/zarnlog/report_charts.h"
#include "tools/zarnlog/report_format.h"
#include "tools/zarnlog/report_sections.h"

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
    }
    if (!any) paragraph(out, "No spectrum records with measured points in these logs.");
    endSection(out);
}

}  // namespace zarn::report
