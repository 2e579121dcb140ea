// Section 6: the drive's own checks: its sampling, its stretches without a
// fix, and the damaged stretches of its logs.
#include "tools/zarnlog/report/page/html_table.h"
#include "tools/zarnlog/report/page/report_format.h"
#include "tools/zarnlog/report/page/report_sections.h"
#include "tools/zarnlog/report/report_drive.h"

namespace zarn::report {
namespace {

constexpr size_t kMostRows = 100;

void moreRows(std::string& out, size_t total) {
    if (total > kMostRows)
        paragraph(out, "The first " + std::to_string(kMostRows) + " of " + std::to_string(total) + ".", "note");
}

void samplingTable(const ReportData& data, std::string& out) {
    HtmlTable table(out, "Samples per 40 wavelengths",
                    {textCell("log"), textCell("band"), textCell("at MHz", "n"), textCell("40 \u03bb", "n"),
                     textCell("judged", "n"), textCell("samples per 40 \u03bb", "n"), textCell("flagged", "n fail"),
                     textCell("stretches", "n")});
    for (size_t i = 0; i < data.logs.size(); ++i)
        for (const DriveCheck& c : data.logs[i].checks) {
            const double per = c.judgedMetres > 0 ? c.judgedSamples * c.fortyWavelengths / c.judgedMetres : 0;
            table.row({textCell(logLabel(data, i)), textCell(bandName(c.band)), numberCell(megahertz(c.hz)),
                       numberCell(fixed(c.fortyWavelengths, 1) + " m"), numberCell(metresText(c.judgedMetres)),
                       numberCell(c.judgedMetres > 0 ? fixed(per, 1) : kNone),
                       numberCell(c.judgedMetres > 0 ? fixed(100 * c.flaggedMetres / c.judgedMetres, 1) + " %" : kNone),
                       numberCell(std::to_string(c.stretches.size()))});
        }
    table.end();
}

void stretchesTable(const ReportData& data, size_t log, const DriveCheck& c, std::string& out) {
    if (c.stretches.empty()) return;
    HtmlTable table(out, logLabel(data, log) + ", " + bandName(c.band) + ": below 36 samples per 40 wavelengths",
                    {textCell("from"), textCell("to"), textCell("for", "n"), textCell("distance", "n"),
                     textCell("speed", "n"), textCell("samples", "n"), textCell("per 40 \u03bb", "n")});
    for (size_t k = 0; k < c.stretches.size() && k < kMostRows; ++k) {
        const Undersampled& s = c.stretches[k];
        const double seconds = static_cast<double>(s.to - s.from);
        table.row({textCell(stampText(s.from)), textCell(clockText(s.to)), numberCell(durationText(seconds)),
                   numberCell(metresText(s.metres)), numberCell(fixed(s.metres / seconds * 3.6, 1) + " km/h"),
                   numberCell(std::to_string(s.samples)), numberCell(fixed(s.perFortyWavelengths, 1))});
    }
    table.end();
    moreRows(out, c.stretches.size());
}

void sampling(const ReportData& data, std::string& out) {
    out += "<h3>Samples per 40 wavelengths</h3>\n";
    if (!data.anyPlaced()) return paragraph(out, "Not judged: " + data.noGridWhy, "why");
    paragraph(out, "The local mean of a level wants 36 to 50 samples in 40 wavelengths of the way (13.6 m at 880 MHz, "
                   "6.1 m at 1960 MHz). Per band, at its highest frequency measured, each second's channel records "
                   "and each stretch of seconds without one are set against the metres the track gives for them "
                   "(the record rate times 40 wavelengths over the speed). Judged where the track has no gap of more "
                   "than 10 s and the vehicle moves (" + fixed(kStandingSpeed, 1) +
                   " m/s or more); stretches under 36 are listed and outlined red on the grid.");
    samplingTable(data, out);
    for (size_t i = 0; i < data.logs.size(); ++i)
        for (const DriveCheck& c : data.logs[i].checks) stretchesTable(data, i, c, out);
}

void withoutFix(const ReportData& data, std::string& out) {
    out += "<h3>Stretches without a fix</h3>\n";
    for (size_t i = 0; i < data.logs.size(); ++i) {
        const LogOverview& l = data.logs[i];
        if (!l.track) {
            paragraph(out, logLabel(data, i) + ": no track (" + l.noTrackWhy + ").");
            continue;
        }
        if (l.noFix.empty()) {
            paragraph(out, logLabel(data, i) + ": a fix for every record.");
            continue;
        }
        HtmlTable table(out, logLabel(data, i),
                        {textCell("from"), textCell("to"), textCell("for", "n"), textCell("records", "n"),
                         textCell("placed")});
        for (size_t k = 0; k < l.noFix.size() && k < kMostRows; ++k) {
            const NoFix& n = l.noFix[k];
            table.row({textCell(stampText(n.from)), textCell(clockText(n.to + 1)),
                       numberCell(durationText(static_cast<double>(n.to - n.from + 1))),
                       numberCell(std::to_string(n.records)),
                       textCell(n.interpolated ? "between the fixes around it" : "no: outside the track or in a gap over 10 s")});
        }
        table.end();
        moreRows(out, l.noFix.size());
    }
}

void damaged(const ReportData& data, std::string& out) {
    out += "<h3>Damaged stretches of the logs</h3>\n";
    size_t total = 0;
    for (const LogOverview& l : data.logs) total += l.damage.size();
    if (total == 0) return paragraph(out, "None: every byte of every log read as intact records.");
    paragraph(out, "Each was skipped up to the next intact record; every intact record is used.");
    HtmlTable table(out, "", {textCell("log"), textCell("at byte", "n"), textCell("bytes", "n"), textCell("problem"),
                              textCell("after the record of")});
    size_t shown = 0;
    for (size_t i = 0; i < data.logs.size(); ++i)
        for (const Damage& d : data.logs[i].damage)
            if (shown++ < kMostRows)
                table.row({textCell(logLabel(data, i)), numberCell(std::to_string(d.offset)),
                           numberCell(std::to_string(d.length)), textCell(d.problem),
                           textCell(d.after ? stampText(*d.after) : "the start")});
    table.end();
    moreRows(out, total);
}

}  // namespace

void writeDriveChecks(const ReportData& data, std::string& out) {
    beginSection(out, "checks", "6. The drive's checks");
    sampling(data, out);
    withoutFix(data, out);
    damaged(data, out);
    endSection(out);
}

}  // namespace zarn::report
