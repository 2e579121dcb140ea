// zarnlog report on the survey of report_test_survey.h, whose every figure is
// worked out by hand; a second log of another PCS raster merges into it; bad
// input ends as a user expects.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

#include "recording/gpx_track.h"
#include "recording/log_file.h"
#include "recording/synthetic_log.h"
#include "survey/log_time.h"
#include "survey/track_distance.h"
#include "tools/zarnlog/report/log_report.h"
#include "tools/zarnlog/report/page/svg_writer.h"
#include "tools/zarnlog/report/report_drive.h"
#include "tools/zarnlog/report/report_test_survey.h"
#include "tools/zarnlog/zarnlog_test_support.h"

namespace zarn {
namespace {

using report::ChannelKey;
using report::ReportData;
using report::ReportLog;
using testing::readText;
using testing::zarnlog;
using Folder = testing::TempFolder;
using namespace testing::survey;

ReportLog withTrack(const Survey& s) {
    Track track;
    std::string error;
    EXPECT_TRUE(readTrackFile(s.track, track, error)) << error;
    return {s.log, TrackJoin(std::move(track), std::nullopt), "track.gpx", ""};
}

ReportData read(const std::vector<ReportLog>& logs, const ReportOptions& options = {}) {
    ReportData data;
    std::string error;
    std::ostringstream err;
    EXPECT_TRUE(readReport(logs, options, data, error, err)) << error << err.str();
    return data;
}

// The mean in mW of the cellular levels of seconds [from, to), in dBm.
double meanDbm(int from, int to) {
    double mw = 0;
    for (int s = from; s < to; ++s) mw += std::pow(10, cellularDbm(s) / 10);
    return 10 * std::log10(mw / (to - from));
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string unescaped(std::string text) {
    for (const auto& [from, to] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}})
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1))
            text.replace(at, std::string(from).size(), to);
    return text;
}

struct PictureText {
    std::string text, attributes;
    svg::Box box;
};
struct Picture {
    std::string cssClass;
    svg::Box frame;
    std::vector<PictureText> texts;
};

// The page's pictures of a class ("chart", "map"), each text with the box it takes.
std::vector<Picture> pictures(const std::string& html, const std::string& cssClass) {
    static const std::regex kSvg(R"re(<svg [^>]*viewBox="0 0 ([\d.]+) ([\d.]+)" class="([^"]*)")re");
    static const std::regex kText(R"re(<text x="([-\d.]+)" y="([-\d.]+)"(?: text-anchor="(\w+)")?([^>]*)>([^<]*)</text>)re");
    static const std::regex kSize(R"re(font-size="([\d.]+)")re");
    std::vector<Picture> found;
    for (std::sregex_iterator svg(html.begin(), html.end(), kSvg), end; svg != end; ++svg) {
        if ((*svg)[3].str().rfind(cssClass, 0) != 0) continue;
        const size_t from = static_cast<size_t>(svg->position()), to = html.find("</svg>", from);
        const std::string body = html.substr(from, to - from);
        Picture p{(*svg)[3], {0, 0, std::stod((*svg)[1]), std::stod((*svg)[2])}, {}};
        for (std::sregex_iterator t(body.begin(), body.end(), kText); t != end; ++t) {
            std::smatch size;
            const std::string attributes = (*t)[4];
            const double px = std::regex_search(attributes, size, kSize) ? std::stod(size[1]) : svg::kTextSize;
            const std::string text = unescaped((*t)[5]);
            p.texts.push_back({text, attributes,
                               svg::textBox(std::stod((*t)[1]), std::stod((*t)[2]), text,
                                            (*t)[3].matched ? (*t)[3].str() : "start", px)});
        }
        found.push_back(std::move(p));
    }
    return found;
}

// Every text of every chart inside its picture and clear of every other.
void expectLabelsApart(const std::string& html) {
    for (const Picture& p : pictures(html, "chart")) {
        SCOPED_TRACE(p.cssClass);
        for (size_t i = 0; i < p.texts.size(); ++i) {
            EXPECT_TRUE(p.texts[i].box.within(p.frame)) << p.texts[i].text;
            for (size_t j = 0; j < i; ++j)
                EXPECT_FALSE(p.texts[i].box.overlaps(p.texts[j].box)) << p.texts[i].text << " over " << p.texts[j].text;
        }
    }
}

// The log again, every stamp `seconds` later.
void shiftLog(const std::string& from, const std::string& to, long long seconds) {
    LogReader reader;
    LogHeader header;
    ASSERT_TRUE(reader.open(from) && reader.readHeader(header));
    std::vector<uint8_t> bytes = encodeLogHeader(header.pcsRaster);
    LogRecord r;
    while (reader.next(r) == ReadStatus::Record) {
        const auto record = encodeLogRecord(stampTime(stampSeconds(r.time) + seconds), r.note, r.type, r.payload, r.length);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    std::ofstream(to, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(ZarnlogReport, TheFiguresOfASurveyAreTheOnesWorkedOutByHand) {
    Folder dir;
    const ReportData data = read({withTrack(writeDrive(dir, "drive"))});
    ASSERT_EQ(data.logs.size(), 1u);
    const report::LogOverview& log = data.logs[0];
    EXPECT_EQ(log.records, 120u);
    EXPECT_EQ(log.placing.placed, 100u) << "all but the 20 s without a fix";
    ASSERT_EQ(log.notes.size(), 1u);
    EXPECT_EQ(log.notes[0].stamp - log.first, 10);

    // 120 levels from -60 to -119.5 dBm in half dB: rank ceil(f x 120) from the bottom.
    ASSERT_EQ(data.channels.count(ChannelKey{0, kCellularHz}), 1u);
    const LevelHistogram& cellular = data.channels.at(ChannelKey{0, kCellularHz}).whole;
    EXPECT_EQ(cellular.count(), 120u);
    EXPECT_EQ(cellular.min(), -119.5);
    EXPECT_EQ(cellular.percentile(0.1), -114.0);  // rank 12: second 108
    EXPECT_EQ(cellular.percentile(0.5), -90.0);   // rank 60: second 60
    EXPECT_EQ(cellular.percentile(0.9), -66.0);   // rank 108: second 12
    EXPECT_EQ(cellular.max(), -60.0);
    EXPECT_NEAR(*cellular.mean(), meanDbm(0, 120), 1e-9);
    // Level bands of the default edges: seconds 0-40, 41-60, 61-80, 81-100, 101-119; at or above -90: 0-60.
    EXPECT_EQ(cellular.count() - cellular.countBelow(-80), 41u);
    EXPECT_EQ(cellular.countBelow(-80) - cellular.countBelow(-90), 20u);
    EXPECT_EQ(cellular.countBelow(-90) - cellular.countBelow(-100), 20u);
    EXPECT_EQ(cellular.countBelow(-100) - cellular.countBelow(-110), 20u);
    EXPECT_EQ(cellular.countBelow(-110), 19u);
    EXPECT_EQ(cellular.count() - cellular.countBelow(data.options.threshold), 61u) << "the pass share, 50.8 %";
    ASSERT_EQ(data.channels.count(ChannelKey{1, kPcsHz}), 1u);
    EXPECT_EQ(data.channels.at(ChannelKey{1, kPcsHz}).whole.percentile(0.5), -95.0);

    // The column of cells: 24 samples in the first (20 standing, 4 moving), 4 in each of 14
    // at 12.5 m/s (hatched under 5), none in the 20 s without a fix, 20 in the walk's cell.
    ASSERT_TRUE(data.grid);
    EXPECT_EQ(data.grid->grid.epsg(), 32632);
    const auto& cells = data.channels.at(ChannelKey{0, kCellularHz}).cells;
    std::map<long long, size_t> counts;
    for (const auto& [cell, levels] : cells) {
        EXPECT_EQ(cell.column, kColumn);
        counts[cell.row - kRow0] = levels.count();
    }
    std::map<long long, size_t> expected{{0, 24}, {15, 20}};
    for (long long row = 1; row <= 14; ++row) expected[row] = 4;
    EXPECT_EQ(counts, expected);
    EXPECT_NEAR(*cells.at({kColumn, kRow0}).mean(), meanDbm(0, 24), 1e-9);
    EXPECT_NEAR(*cells.at({kColumn, kRow0 + 15}).mean(), meanDbm(100, 120), 1e-9);
    // Counted: the first (-63.6 dBm, at or above -90) and the walk's (-113.7): half the area passes.
    EXPECT_GE(*cells.at({kColumn, kRow0}).mean(), -90);
    EXPECT_LT(*cells.at({kColumn, kRow0 + 15}).mean(), -90);

    // Stretches without a fix: 3 s bridged by the track, 20 s not placed.
    ASSERT_EQ(log.noFix.size(), 2u);
    EXPECT_EQ(log.noFix[0].from - log.first, 50);
    EXPECT_EQ(log.noFix[0].to - log.first, 52);
    EXPECT_EQ(log.noFix[0].records, 3u);
    EXPECT_TRUE(log.noFix[0].interpolated);
    EXPECT_EQ(log.noFix[1].from - log.first, 80);
    EXPECT_EQ(log.noFix[1].to - log.first, 99);
    EXPECT_EQ(log.noFix[1].records, 20u);
    EXPECT_FALSE(log.noFix[1].interpolated);

    // Sampling: a record a second. 40 wavelengths are 13.603 m at 881.52 MHz, 6.111 m at
    // 1962.45 MHz. Driving 12.5 m a second (seconds 20 to 79, the lost fix bridged) gives
    // 1.088 and 0.489 samples per 40 wavelengths; the walk at 0.35 m/s 38.87 (passes) and
    // 17.46 (flagged); standing and the 20 s without a fix are not judged. Metres on the sphere
    // differ from the grid's by under 0.3 %.
    ASSERT_EQ(log.checks.size(), 2u);
    const double forty[2] = {40 * report::kSpeedOfLight / kCellularHz, 40 * report::kSpeedOfLight / kPcsHz};
    EXPECT_NEAR(forty[0], 13.6034, 1e-4);
    EXPECT_NEAR(forty[1], 6.1106, 1e-4);
    for (const report::DriveCheck& c : log.checks) {
        SCOPED_TRACE(c.band);
        EXPECT_EQ(c.fortyWavelengths, forty[c.band]);
        ASSERT_EQ(c.stretches.size(), c.band == 0 ? 1u : 2u);
        const report::Undersampled& drive = c.stretches[0];
        EXPECT_EQ(drive.from - log.first, 20);
        EXPECT_EQ(drive.to - log.first, 79);
        EXPECT_EQ(drive.samples, 59u);
        EXPECT_NEAR(drive.metres, 59 * 12.5, 59 * 12.5 * 0.003);
        EXPECT_NEAR(drive.perFortyWavelengths, 59 * forty[c.band] / (59 * 12.5), 0.003);
        EXPECT_NEAR(c.judgedMetres, 59 * 12.5 + 19 * 0.35, 2.5);
        EXPECT_EQ(c.judgedSamples, 59u + 19u);
        if (c.band == 0) continue;
        const report::Undersampled& walk = c.stretches[1];
        EXPECT_EQ(walk.from - log.first, 100);
        EXPECT_EQ(walk.to - log.first, 119);
        EXPECT_EQ(walk.samples, 19u);
        EXPECT_NEAR(walk.perFortyWavelengths, 19 * forty[1] / (19 * 0.35), 0.06);
    }
    // Cells outlined: the cellular band's drive, the PCS band's drive and walk.
    EXPECT_EQ(data.undersampledCells[0].size(), 15u);
    EXPECT_EQ(data.undersampledCells[1].size(), 16u);
}

TEST(ZarnlogReport, TwoLogsOfDifferentRastersMergeChannelsByFrequencyAndAddTheirCounts) {
    Folder dir;
    const Survey a = writeDrive(dir, "a");
    // Half a minute of channel tables on the same drive, under the 30 kHz raster: PCS channel
    // 1081 is 1962.45 MHz there (under 50 kHz it would be 1990 MHz). Four cellular channels
    // within 3 dB for 28 s, then one stands out.
    const Survey b{dir.file("b.zrn"), a.track};
    {
        SyntheticLog log(b.log, 30000);
        for (int s = 0; s < 60; ++s) {
            const int16_t step = s < 28 ? 16 : 160;
            log.table({{0, 384, -70 * 16},
                       {0, 391, static_cast<int16_t>(-70 * 16 - step)},
                       {0, 398, static_cast<int16_t>(-70 * 16 - 2 * step)},
                       {0, 405, static_cast<int16_t>(-70 * 16 - 3 * step)},
                       {1, 1081, kPcsLevel}});
        }
        ASSERT_TRUE(log.ok());
    }
    ReportOptions options;
    options.minSamples = 4;
    const ReportData data = read({withTrack(a), withTrack(b)}, options);
    ASSERT_EQ(data.logs.size(), 2u);
    EXPECT_EQ(data.logs[0].kinds.at(kModeSingleChannel), 120u);
    EXPECT_EQ(data.logs[1].kinds.at(kModeChannelTable), 60u);
    EXPECT_EQ(data.channels.size(), 5u) << "384 and 1962.45 MHz are one channel each in both logs";
    for (const ChannelKey key : {ChannelKey{0, kCellularHz}, ChannelKey{1, kPcsHz}}) {
        const report::ChannelLevels& c = data.channels.at(key);
        EXPECT_EQ(c.perLog[0].count(), 120u);
        EXPECT_EQ(c.perLog[1].count(), 60u);
        EXPECT_EQ(c.whole.count(), 180u);
    }
    // The merged grid: b's 60 s add 24 samples to the first cell and 4 to each of the next 9.
    const auto& cells = data.channels.at(ChannelKey{0, kCellularHz}).cells;
    EXPECT_EQ(cells.at({kColumn, kRow0}).count(), 48u);
    EXPECT_EQ(cells.at({kColumn, kRow0 + 9}).count(), 8u);
    EXPECT_EQ(cells.at({kColumn, kRow0 + 10}).count(), 4u);
    EXPECT_EQ(cells.at({kColumn, kRow0 + 15}).count(), 20u);
    // Dominance: 4 channels within 5 dB in the first two cells (seconds 0 to 27), 1 in the other 8.
    std::map<size_t, size_t> classes;
    for (const auto& [cell, d] : data.dominance[0]) {
        EXPECT_GE(d.records, 4u);
        ++classes[d.withinFiveDb()];
    }
    EXPECT_EQ(classes, (std::map<size_t, size_t>{{1, 8}, {4, 2}}));
    EXPECT_EQ(data.dominance[1].size(), 10u);
}

TEST(ZarnlogReport, SpeedSpectraDamageAndTheTimeWindowAreTheOnesWorkedOutByHand) {
    Folder dir;
    const Survey drive = writeDrive(dir, "drive");
    // Speed per second of the axis: standing, 12.5 m/s (45 km/h, across the lost fix too), no fix, the walk.
    const ReportData driven = read({withTrack(drive)});
    ASSERT_EQ(driven.axis.columns(), kSeconds);
    for (int s = 0; s < kSeconds; ++s) {
        SCOPED_TRACE(s);
        const std::optional<double> speed = driven.speedColumns[static_cast<size_t>(s)];
        const std::optional<double> want = s < 20                ? 0
                                           : s < 79              ? 45
                                           : s >= 100 && s < 119 ? std::optional<double>(0.35 * 3.6)
                                                                 : std::nullopt;
        ASSERT_EQ(speed.has_value(), want.has_value());
        if (want) {
            EXPECT_NEAR(*speed, *want, *want * 0.003 + 0.05);  // and the GPX's 7 decimals: about a centimetre
        }
    }

    // Twenty sweeps, the level at 881.52 MHz falling a dB a sweep from -60 dBm; the fifth sweep's
    // mark overwritten, so its -64 dBm is lost with it.
    const std::string sweeps = dir.file("sweeps.zrn");
    {
        SyntheticLog log(sweeps, 50000);
        for (int s = 0; s < 20; ++s)
            log.sweep(0, 400, 40, [&](uint16_t o) { return static_cast<int16_t>(o == 417 ? (-60 - s) * 16 : -1700); });
        ASSERT_TRUE(log.ok());
    }
    std::string bytes = readText(sweeps);
    size_t fifth = 0;
    for (int k = 0; k < 5; ++k) fifth = bytes.find("XXX", k ? fifth + 1 : 0);
    bytes.replace(fifth, 3, "YYY");
    std::ofstream(sweeps, std::ios::binary) << bytes;
    const ReportData swept = read({{sweeps, std::nullopt, "", "no track"}});
    const report::LogOverview& log = swept.logs[0];
    EXPECT_EQ(log.kinds.at(kModeSpectrum), 19u);
    ASSERT_EQ(log.damage.size(), 1u);
    EXPECT_EQ(log.damage[0].offset, fifth);
    EXPECT_EQ(*log.damage[0].after - log.first, 3) << "after the fourth sweep";
    EXPECT_EQ(log.spectrum[0].sweeps, 19u);
    EXPECT_EQ(log.spectrum[0].peakDbm, -60);
    EXPECT_EQ(log.spectrum[0].peakHz, kCellularHz);
    // At 881.52 MHz: -79 ... -65, -63 ... -60; rank 10 of 19 is -70, rank 18 is -61.
    const LevelHistogram& carrier = swept.spectrum[0].at(kCellularHz);
    EXPECT_EQ(carrier.count(), 19u);
    EXPECT_EQ(carrier.percentile(0.5), -70);
    EXPECT_EQ(carrier.percentile(0.9), -61);
    EXPECT_EQ(carrier.max(), -60);
    EXPECT_EQ(swept.spectrum[0].size(), 40u);
    EXPECT_EQ(swept.spectrum[0].begin()->second.percentile(0.9), -106.25);
    EXPECT_FALSE(swept.grid);

    // --begin and --end keep the records of [14:00:30, 14:01:00): thirty, with no note.
    ReportOptions window;
    window.window = {parseStamp("2004-07-09T14:00:30"), parseStamp("2004-07-09T14:01:00")};
    const ReportData part = read({withTrack(drive)}, window);
    EXPECT_EQ(part.logs[0].records, 30u);
    EXPECT_EQ(part.logs[0].recordsInFile, 120u);
    EXPECT_EQ(part.logs[0].first, *window.window.begin);
    EXPECT_TRUE(part.logs[0].notes.empty());
    EXPECT_EQ(part.channels.at(ChannelKey{0, kCellularHz}).whole.max(), cellularDbm(30));
}

// 40 single-channel records a second driving north at 12.5 m/s: 43.5 samples per 40 wavelengths
// of 881.52 MHz. The receiver hands the device a fix late: from second 20 each device second holds
// the next second's fix (its 19th spans two seconds of driving), until second 40 holds none (its
// 39th spans none). On the device's clock that is a 90 km/h spike with 21.8 samples per 40
// wavelengths, and 22.5 km/h after it; on the receiver's, 45 km/h throughout, all sampled well.
TEST(ZarnlogReport, ALateFixMakesNoSpikeOfSpeedNorAStretchOfTooFewSamples) {
    Folder dir;
    const Survey drive{dir.file("late.zrn"), dir.file("late.gpx")};
    constexpr int kDrive = 60;
    ASSERT_TRUE(writeSingleChannelLog(drive.log, kDrive, 40));
    std::string gpx = gpxHead() + kGpxSegmentOpen;
    for (int s = 0; s < kDrive; ++s) {
        if (s == 40) continue;
        const int second = s >= 20 && s < 40 ? s + 1 : s;
        GpsFix fix;
        fix.mode = 3;
        fix.latitude = 47 + 12.5 * second / (kEarthRadiusMetres * M_PI / 180);
        fix.longitude = 8.5;
        fix.utc = static_cast<double>(stampSeconds(syntheticTime(second)) - kSyntheticUtcOffset);
        gpx += gpxPoint(fix, syntheticTime(s));
    }
    std::ofstream(drive.track, std::ios::binary) << gpx << kGpxSegmentClose << kGpxDocumentClose;

    const ReportData data = read({withTrack(drive)});
    size_t speeds = 0;
    for (const std::optional<double>& speed : data.speedColumns) {
        if (!speed) continue;
        ++speeds;
        EXPECT_NEAR(*speed, 45, 0.1);
    }
    EXPECT_GE(speeds, kDrive - 2u);
    ASSERT_FALSE(data.logs[0].checks.empty());
    const report::DriveCheck& cellular = data.logs[0].checks[0];
    ASSERT_EQ(cellular.band, 0);
    EXPECT_NEAR(cellular.judgedMetres, (kDrive - 1) * 12.5, 0.5);
    EXPECT_TRUE(cellular.stretches.empty()) << cellular.stretches.size() << " stretches, the first from second "
                                            << cellular.stretches[0].from - data.logs[0].first;
}

// A record of a measurement just begun holds a level the board had not reported yet as not
// measured (-130 dBm): it is no sample of the report and no value of the map.
TEST(ZarnlogReport, ALevelTheBoardHadNotReportedIsNoSampleAndNoMapValue) {
    Folder dir;
    const Survey s{dir.file("first.zrn"), dir.file("first.gpx")};
    {
        SyntheticLog log(s.log, 50000);
        log.singleChannel(384, -70 * 16, kPcsOffset, kEmptyLevel);
        for (int t = 1; t < 10; ++t) log.singleChannel(384, -70 * 16, kPcsOffset, kPcsLevel);
        ASSERT_TRUE(log.ok());
    }
    ASSERT_TRUE(writeSyntheticTrack(s.track, 0, 10, 1, [](long long t) {
        return std::optional(Place{47 + 1e-5 * static_cast<double>(t), 8.5});
    }));
    const ReportData data = read({withTrack(s)});
    const LevelHistogram& pcs = data.channels.at(ChannelKey{1, kPcsHz}).whole;
    EXPECT_EQ(pcs.count(), 9u);
    EXPECT_EQ(pcs.min(), kPcsLevel / 16.0);
    EXPECT_EQ(data.channels.at(ChannelKey{0, kCellularHz}).whole.count(), 10u);

    const auto map = zarnlog({"map", s.log, "-o", dir.file("map.csv")});
    ASSERT_EQ(map.status, 0) << map.err;
    // time, note, cellular channel, MHz and dBm, PCS channel, MHz and dBm, lat, lon
    std::istringstream rows(readText(dir.file("map-single.csv")));
    std::string line;
    std::vector<std::string> first, second;
    for (auto* fields : {&first, &first, &second}) {
        std::getline(rows, line);
        std::istringstream cells(line);
        fields->clear();
        for (std::string cell; std::getline(cells, cell, ',');) fields->push_back(cell);
    }
    ASSERT_EQ(first.size(), 10u);
    EXPECT_EQ(first[4], "-70");
    EXPECT_EQ(first[6], "1962.45");
    EXPECT_EQ(first[7], "") << "not measured";
    ASSERT_EQ(second.size(), 10u);
    EXPECT_EQ(second[7], "-95");
}

// The sweeps' occupancy in the page: 881.52 MHz at -60 dBm in every third sweep of the first five
// minutes and never after, the rest of the band at -106.25 dBm (the noise floor, so the threshold
// is -96.25 dBm): 100 of 600 samples above, the first period 100 of 300.
TEST(ZarnlogReport, TheSweepsOccupancyIsTheShareOfAPointsSamplesAboveTheNoiseThreshold) {
    Folder dir;
    const std::string sweeps = dir.file("sweeps.zrn");
    {
        SyntheticLog log(sweeps, 50000);
        for (int s = 0; s < 600; ++s)
            log.sweep(0, 400, 40, [&](uint16_t o) { return static_cast<int16_t>(o == 417 && s < 300 && s % 3 == 0 ? -60 * 16 : -1700); });
        ASSERT_TRUE(log.ok());
    }
    const std::string page = dir.file("report.html");
    const auto made = zarnlog({"report", sweeps, "--period", "5m", "-o", page});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string html = readText(page);
    const std::string spectrum = html.substr(html.find("<section id=\"spectrum\">"));
    EXPECT_NE(spectrum.find("<td class=\"n\">881.52</td><td class=\"n\">600</td><td class=\"n\">100</td>"
                            "<td class=\"n\">16.7 %</td><td class=\"n\">33.3 %</td><td>2004-07-09 14:00:00</td>"),
              std::string::npos)
        << spectrum;
    EXPECT_NE(spectrum.find("<tr><td class=\"n\">881.01</td><td class=\"n\">600</td><td class=\"n\">0</td>"
                            "<td class=\"n\">0.0 %</td><td class=\"n\">0.0 %</td><td>\u2013</td></tr>"),
              std::string::npos)
        << spectrum;
    EXPECT_NE(spectrum.find("each period of 5m (2 periods from 2004-07-09 14:00:00); threshold 10.0 dB above the noise "
                            "floor (the 10th percentile of the band&#39;s levels in each period): -96.2 dBm."),
              std::string::npos);
}

// Crowded pictures: alarm notes seconds apart, a long note at the first and
// the last second; the sweeps of logs hours apart, in two windows of the band.
// Every chart's texts stay inside it and clear of each other; the timeline
// says how many notes it does not write out; the occupancy leaves the hours
// between the logs out.
TEST(ZarnlogReport, CrowdedPicturesKeepTheirLabelsApart) {
    Folder dir;
    const std::string alarms = dir.file("alarms.zrn"), sweeps = dir.file("sweeps.zrn");
    size_t notes = 0;
    {
        SyntheticLog log(alarms, 50000);
        for (int s = 0; s < 900; ++s) {
            std::string note;
            if (s % 40 < 8 && s % 2 == 0) note = "ALARM pcs-carrier-" + std::to_string(s / 40) + (s % 4 ? " OFF" : " ON");
            if (s == 899) note = "Marker at the very end of the log, and a long one";
            if (s == 0) note = "W\u00e9st \u2192 " + std::string(60, 'W');
            if (!note.empty()) log.note(note), ++notes;
            log.singleChannel(384, static_cast<int16_t>(-1000 - (s * 37) % 600), kPcsOffset, static_cast<int16_t>(-1500 + s % 300));
        }
        ASSERT_TRUE(log.ok());
        SyntheticLog band(sweeps, 50000);
        for (int s = 0; s < 40; ++s)
            band.sweep(0, s % 2 ? 700 : 0, s % 2 ? 100 : 30,
                       [&](uint16_t o) { return static_cast<int16_t>(o % 7 == s % 7 ? -900 : -1700); });
        ASSERT_TRUE(band.ok());
    }
    const std::string later = dir.file("later.zrn"), latest = dir.file("latest.zrn");
    shiftLog(sweeps, later, 6 * 3600);
    shiftLog(sweeps, latest, 30 * 3600 + 125);
    struct Case {
        std::vector<std::string> logs;
        std::vector<std::string> says;
    };
    const Case cases[] = {
        {{alarms}, {" of " + std::to_string(notes) + " notes not written"}},
        {{sweeps, later, latest}, {"The time between logs, with no period of its own, is left out", "(3 periods from "}},
        {{alarms, sweeps, later}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logs.size());
        std::vector<std::string> args{"report"};
        args.insert(args.end(), c.logs.begin(), c.logs.end());
        args.insert(args.end(), {"--period", "1m", "-o", dir.file("crowded.html")});
        const auto made = zarnlog(args);
        ASSERT_EQ(made.status, 0) << made.err;
        const std::string html = readText(dir.file("crowded.html"));
        expectLabelsApart(html);
        for (const std::string& says : c.says) EXPECT_NE(html.find(svg::escaped(says)), std::string::npos) << says;
        if (c.logs.front() != alarms) continue;
        // The notes written out and those said to be left out add up to all of them.
        const std::vector<Picture> timeline = pictures(html, "chart timeline");
        ASSERT_EQ(timeline.size(), 1u);
        size_t written = 0, leftOut = 0;
        for (const PictureText& t : timeline[0].texts) {
            written += t.attributes.find("note-label") != std::string::npos;
            if (t.text.find(" notes not written") != std::string::npos) leftOut = std::stoul(t.text);
        }
        EXPECT_EQ(written + leftOut, notes);
        EXPECT_GE(written, 6u) << "labels in more than one lane";
    }
}

// The page itself: seven sections, notes escaped, nothing that a browser would fetch.
TEST(ZarnlogReport, ThePageHoldsEverythingAndEscapesTheNotes) {
    Folder dir;
    const Survey s = writeDrive(dir, "drive");
    const std::string page = dir.file("out/report.html");
    const auto made = zarnlog({"report", s.log, "--title", "North <drive>", "--threshold", "-85.5", "-o", page});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, page + "\n");
    EXPECT_NE(made.err.find("placed 100, not placed 20"), std::string::npos) << made.err;
    const std::string html = readText(page);
    for (const char* id : {"summary", "channels", "grid", "dominance", "spectrum", "checks", "sources"})
        EXPECT_NE(html.find(std::string("<section id=\"") + id + "\">"), std::string::npos) << id;
    EXPECT_NE(html.find("<title>North &lt;drive&gt;</title>"), std::string::npos);
    EXPECT_NE(html.find("Start &lt;b&gt;&amp;amp; &quot;here&quot;"), std::string::npos);
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    EXPECT_NE(html.find("pass \u2265 -86"), std::string::npos) << "the threshold's column";
    // Nothing to fetch: no source, no link, no url() but to the page's own patterns, no address
    // but the SVG namespace's.
    for (const char* fetch : {" src=", " href=", "@import", "http://", "https://", "//"})
        EXPECT_EQ(count(html, fetch), fetch == std::string("http://") || fetch == std::string("//") ? count(html, "xmlns=\"http://www.w3.org/2000/svg\"") : 0u)
            << fetch;
    EXPECT_EQ(count(html, "url("), count(html, "url(#"));
    EXPECT_FALSE(std::filesystem::exists(page + ".part" + std::to_string(getpid())));
    // A map's numbers read on their cells: the ink against the cell's colour, which edges them.
    static const std::regex kInk("fill:#([0-9a-f]+);stroke:#([0-9a-f]{6})");
    size_t numbers = 0;
    for (const Picture& map : pictures(html, "map"))
        for (const PictureText& t : map.texts) {
            std::smatch ink;
            if (!std::regex_search(t.attributes, ink, kInk)) continue;
            ++numbers;
            const uint32_t fill = ink[1] == "fff" ? 0xFFFFFFu : static_cast<uint32_t>(std::stoul(ink[1], nullptr, 16));
            EXPECT_GE(svg::contrastRatio(fill, static_cast<uint32_t>(std::stoul(ink[2], nullptr, 16))), 4.5) << t.attributes;
        }
    EXPECT_GT(numbers, 5u);
    expectLabelsApart(html);
}


TEST(ZarnlogReport, BadInputEndsAsAUserExpects) {
    Folder dir;
    const Survey s = writeDrive(dir, "drive");
    const std::string page = dir.file("r.html");
    const std::string lonely = dir.file("lonely.zrn"), empty = dir.file("empty.zrn"), broken = dir.file("broken.zrn");
    std::filesystem::copy_file(s.log, lonely);
    // A log named as a map's layer file would be: cover.geojson's spectrum layer.
    const std::string layerNamed = dir.file("cover-spectrum.geojson");
    std::filesystem::copy_file(s.log, layerNamed);
    { SyntheticLog header(empty); }
    std::ofstream(broken, std::ios::binary) << readText(empty) << std::string(80, '\x5a');
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;  // on stderr
    };
    const Case cases[] = {
        {{"report", lonely, "-o", page}, 0, "no record has a position. lonely.zrn: "},
        {{"report", empty, "-o", page}, 1, "empty.zrn: no intact record: the log is empty"},
        {{"report", broken, "-o", page}, 1, "broken.zrn: no intact record: the log is empty but for damaged stretches"},
        {{"report", s.log, empty, "-o", page}, 1, "empty.zrn: no intact record"},
        {{"report", s.log, "--begin", "2004-07-09T15:00", "-o", page}, 1, "no record between --begin and --end"},
        {{"report", s.log, "--track", dir.file("none.gpx"), "-o", page}, 1, "none.gpx"},
        {{"report", s.log, "--threshold", "-90dBm", "-o", page}, 2, "--threshold -90dBm: not a level in dBm"},
        {{"report", s.log, "--threshold", "", "-o", page}, 2, "--threshold"},
        {{"report", s.log, "--bands", "-80,-70", "-o", page}, 2, "each below the one before"},
        {{"report", s.log, "--bands", "-80,,-100", "-o", page}, 2, "--bands"},
        {{"report", s.log, "--bands", "-80,-90,x", "-o", page}, 2, "--bands"},
        {{"report", s.log, "--cell", "0", "-o", page}, 2, "--cell"},
        {{"report", s.log, "--min-samples", "2.5", "-o", page}, 2, "--min-samples"},
        {{"report", s.log}, 2, "report needs -o OUT.html"},
        {{"report", lonely, "-o", lonely}, 2, "is the log"},
        {{"csv", lonely, "-o", lonely}, 2, "is the log"},
        {{"map", layerNamed, "-o", dir.file("cover.geojson"), "--track", s.track}, 2,
         "to " + layerNamed + ", the log itself"},
        {{"map", layerNamed, "-o", dir.file("cover.csv"), "--track", s.track}, 0, ""},
        {{"plot", s.log, "--title", "x", "-o", dir.file("p.png")}, 2, "plot takes no --title"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(page);
        const auto run = zarnlog(c.args);
        SCOPED_TRACE(c.args[1] + " " + (c.args.size() > 2 ? c.args[2] : ""));
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(std::filesystem::exists(page), c.status == 0 && c.args[0] == "report");
    }
    EXPECT_EQ(readText(layerNamed), readText(s.log)) << "the log is never a map's layer";
    EXPECT_EQ(readText(lonely), readText(s.log));
    // Without positions the page has no grid and says why.
    zarnlog({"report", lonely, "-o", page});
    const std::string html = readText(page);
    EXPECT_NE(html.find("No grid: no record has a position. lonely.zrn: "), std::string::npos);
    EXPECT_NE(html.find("lonely.gpx does not exist"), std::string::npos);
    EXPECT_EQ(html.find("class=\"map\""), std::string::npos);
}

}  // namespace
}  // namespace zarn
