// Logs joined to tracks, end to end through the zarnlog command: every map
// format read back through GDAL itself, tracks of every kind of damage, and
// the positions in csv and plot.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "platform/gdi/golden.h"
#include "recording/gpx_track.h"
#include "recording/synthetic_log.h"
#include "survey/colour_map.h"
#include "survey/synthetic_track.h"
#include "tools/zarnlog/zarnlog_test_support.h"

// Last: they define TRUE and FALSE as macros.
#include <cpl_conv.h>
#include <gdal.h>
#include <ogr_api.h>

using namespace zarn;
namespace fs = std::filesystem;

namespace {

using zarn::testing::Outcome;
using zarn::testing::readText;
using zarn::testing::zarnlog;

using Folder = zarn::testing::TempFolder;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The survey: a record a second from 14:00:00, the record types in turn, a note every ten.
constexpr int kRecords = 90;
enum Kind { kSingle, kTable, kSpectrum, kServers };
Kind kindAt(int s) { return static_cast<Kind>(s % 4); }
double singleDbm(int s) { return -62.5 - s; }
constexpr int16_t kPcsLevel = -1900;  // -118.75 dBm

void writeSurvey(const std::string& path) {
    SyntheticLog log(path);
    for (int s = 0; s < kRecords; ++s) {
        if (s % 10 == 7) log.note("Marker #" + std::to_string(s / 10));
        const auto level = static_cast<int16_t>(-1000 - 16 * s);
        switch (kindAt(s)) {
        case kSingle: log.singleChannel(384, level, 3250, kPcsLevel); break;
        case kTable: log.table({{0, 384, level}, {1, 25, -1100}}); break;
        case kSpectrum: log.sweep(0, 400, 40, [&](uint16_t o) { return int16_t(o == 417 ? level : -1760); }); break;
        case kServers: log.bestServers(0, {{417, static_cast<int16_t>(-55 - s)}, {34, -80}}); break;
        }
    }
    ASSERT_TRUE(log.ok());
}

// The drive, a curve, so that a place between two points is not on it.
Place curve(double s) { return {47.3 + 1e-4 * s + 1e-6 * s * s, 8.5 + 2e-4 * s - 1e-6 * s * s}; }

// Points every other second from 6 s to 80 s but for a gap of 16 s after 40 s.
std::optional<Place> trackPoint(long long s) {
    if (s % 2 || s < 6 || (s > 40 && s < 56) || s > 80) return std::nullopt;
    return curve(static_cast<double>(s));
}

// Where the record of second s belongs: on a point, half way between two, or nowhere.
std::optional<Place> expectedPlace(int s) {
    if (const auto p = trackPoint(s)) return p;
    const auto before = trackPoint(s - 1), after = trackPoint(s + 1);
    if (!before || !after) return std::nullopt;
    return Place{(before->lat + after->lat) / 2, (before->lon + after->lon) / 2};
}

// The track's points as a receiver logs them: an RMC sentence each, in UTC; a
// sentence of a second in `corrupted` with a wrong checksum.
std::string nmeaDrive(const std::set<long long>& corrupted = {}) {
    std::string text;
    for (long long s = 0; s < kRecords; ++s) {
        const std::optional<Place> p = trackPoint(s);
        if (!p) continue;
        const std::time_t utc = 1089381600 + s - kSyntheticUtcOffset;
        std::tm t{};
        gmtime_r(&utc, &t);
        char body[128];
        std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d.00,A,%02d%09.6f,N,%03d%09.6f,E,0.0,0.0,%02d%02d%02d,,,A",
                      t.tm_hour, t.tm_min, t.tm_sec, int(p->lat), (p->lat - int(p->lat)) * 60, int(p->lon),
                      (p->lon - int(p->lon)) * 60, t.tm_mday, t.tm_mon + 1, t.tm_year % 100);
        unsigned sum = corrupted.count(s) ? 1 : 0;
        for (const char* c = body; *c; ++c) sum ^= static_cast<unsigned char>(*c);
        char line[160];
        std::snprintf(line, sizeof line, "$%s*%02X\r\n", body, sum);
        text += line;
    }
    return text;
}

struct Feature {
    std::map<std::string, std::string> fields;
    std::optional<Place> place;
    std::string style;
};
using Layers = std::map<std::string, std::vector<Feature>>;

// Every layer of every file, read by GDAL's own driver for the format.
Layers readBack(const std::vector<std::string>& files, const char* driver) {
    GDALAllRegister();
    Layers layers;
    for (const std::string& file : files) {
        const char* drivers[] = {driver, nullptr};
        GDALDatasetH data = GDALOpenEx(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, nullptr, nullptr);
        EXPECT_NE(data, nullptr) << file << ": " << CPLGetLastErrorMsg();
        if (!data) continue;
        for (int l = 0; l < GDALDatasetGetLayerCount(data); ++l) {
            OGRLayerH layer = GDALDatasetGetLayer(data, l);
            // A CSV file's layer is named after the file: map-single.csv holds "single".
            const std::string name = OGR_L_GetName(layer);
            std::vector<Feature>& features = layers[name.substr(name.rfind('-') + 1)];
            while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
                Feature feature;
                for (int i = 0; i < OGR_F_GetFieldCount(f); ++i)
                    if (OGR_F_IsFieldSetAndNotNull(f, i))
                        feature.fields[OGR_Fld_GetNameRef(OGR_F_GetFieldDefnRef(f, i))] = OGR_F_GetFieldAsString(f, i);
                if (OGRGeometryH g = OGR_F_GetGeometryRef(f)) feature.place = Place{OGR_G_GetY(g, 0), OGR_G_GetX(g, 0)};
                else if (feature.fields.count("lat"))
                    feature.place = Place{std::stod(feature.fields["lat"]), std::stod(feature.fields["lon"])};
                if (const char* style = OGR_F_GetStyleString(f)) feature.style = style;
                features.push_back(feature);
                OGR_F_Destroy(f);
            }
        }
        GDALClose(data);
    }
    return layers;
}

// Seconds after 14:00:00 of "2004-07-09T14:01:02" (or GDAL's "2004/07/09 14:01:02").
int secondOf(const std::string& time) {
    int minute = 0, second = 0;
    EXPECT_EQ(time.size() > 11 ? std::sscanf(time.c_str() + 11, "14:%d:%d", &minute, &second) : 0, 2) << time;
    return minute * 60 + second;
}

// The features a layer should hold: of each placed record of its kind, one per slot of a table.
size_t expectedCount(const std::string& layer) {
    size_t n = 0;
    for (int s = 0; s < kRecords; ++s) {
        if (!expectedPlace(s)) continue;
        const Kind k = kindAt(s);
        n += layer == "notes" ? s % 10 == 7
             : layer == "table" ? 2 * (k == kTable)
                                : layer == (k == kSingle ? "single" : k == kSpectrum ? "spectrum" : k == kServers ? "servers" : "");
    }
    return n;
}

// Each feature where its record belongs, to 1e-7 degrees.
void expectPlaced(const Layers& layers) {
    for (const auto& [name, features] : layers) {
        EXPECT_EQ(features.size(), expectedCount(name)) << name;
        for (const Feature& f : features) {
            const int s = secondOf(f.fields.at("time"));
            const std::optional<Place> want = expectedPlace(s);
            ASSERT_TRUE(want && f.place) << name << " at " << s << " should not be there";
            EXPECT_NEAR(f.place->lat, want->lat, 1e-7) << name << " at " << s;
            EXPECT_NEAR(f.place->lon, want->lon, 1e-7) << name << " at " << s;
        }
    }
}

constexpr const char* kCounts = "placed 60, not placed 30 (15 outside the track, 15 in gaps of more than 10 s)";

}  // namespace

TEST(ZarnlogMap, EveryFormatReadsBackThroughGdalWithTheRecordsWhereTheyWere) {
    Folder dir;
    const std::string log = dir.file("survey.zrn");
    writeSurvey(log);
    ASSERT_TRUE(writeSyntheticTrack(dir.file("survey.gpx"), 0, kRecords, 2, trackPoint));
    const struct {
        const char* out;
        const char* driver;
        std::vector<std::string> files;  // written, as stdout names them
    } formats[] = {
        {"map.gpkg", "GPKG", {"map.gpkg"}},
        {"map.kml", "LIBKML", {"map.kml"}},
        {"map.geojson", "GeoJSON",
         {"map-single.geojson", "map-table.geojson", "map-servers.geojson", "map-spectrum.geojson", "map-notes.geojson"}},
        {"map.csv", "CSV", {"map-single.csv", "map-table.csv", "map-servers.csv", "map-spectrum.csv", "map-notes.csv"}},
    };
    for (const auto& f : formats) {
        SCOPED_TRACE(f.out);
        const Outcome r = zarnlog({"map", log, "-o", dir.file(f.out), "--db", "-130:-40"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "zarnlog: " + log + ": " + kCounts + "\n");
        std::vector<std::string> files;
        for (const std::string& name : f.files) files.push_back(dir.file(name));
        EXPECT_EQ(lines(r.out), files);
        const Layers layers = readBack(files, f.driver);
        EXPECT_EQ(layers.size(), 5u);
        expectPlaced(layers);
        // Values in physical units.
        const Feature& single = layers.at("single").at(1);
        EXPECT_EQ(secondOf(single.fields.at("time")), 12);
        EXPECT_EQ(std::stod(single.fields.at("cellular_mhz")), 881.52);
        EXPECT_EQ(std::stod(single.fields.at("cellular_dbm")), singleDbm(12));
        const Feature& spectrum = layers.at("spectrum").at(0);
        EXPECT_EQ(secondOf(spectrum.fields.at("time")), 6);
        EXPECT_EQ(std::stod(spectrum.fields.at("peak_dbm")), -62.5 - 6);
        EXPECT_EQ(std::stod(spectrum.fields.at("peak_mhz")), 881.52);
        EXPECT_NEAR(std::stod(spectrum.fields.at("mean_dbm")), (-68.5 + 39 * -110.0) / 40, 1e-9);
        const Feature& servers = layers.at("servers").at(0);
        EXPECT_EQ(servers.fields.at("dbm"), "-62");
        EXPECT_EQ(servers.fields.at("rank2_dbm"), "-80");
        EXPECT_EQ(layers.at("notes").at(0).fields.at("note"), "Marker #0");
        if (std::string(f.driver) == "CSV") {
            // Numbers bare, as zarnlog csv writes them; places to 7 decimals, as the track has them.
            const std::regex row("[^\"]*,-?[0-9]+\\.[0-9]{7},-?[0-9]+\\.[0-9]{7}");
            for (const std::string& file : files)
                for (const std::string& line : lines(readText(file)))
                    EXPECT_TRUE(line.starts_with("time,") || std::regex_match(line, row)) << line;
        }
        if (std::string(f.driver) == "LIBKML") {
            // Each point styled by the whole dBm of its stronger band, in the waterfall's colours.
            for (const Feature& p : layers.at("single")) {
                const double stronger = std::max(singleDbm(secondOf(p.fields.at("time"))), kPcsLevel / 16.0);
                const int dbm = static_cast<int>(std::floor(std::max(stronger, -130.0)));
                EXPECT_EQ(p.style, "@dBm" + std::to_string(dbm));
            }
            std::ifstream in(dir.file(f.out));
            const std::string kml{std::istreambuf_iterator<char>(in), {}};
            // A style for each whole dBm the points have, and no other.
            std::set<std::string> used;
            for (const auto& [name, features] : layers)
                for (const Feature& p : features)
                    if (!p.style.empty()) used.insert(p.style.substr(1));
            std::set<std::string> styles;
            for (size_t at = kml.find("<Style id=\""); at != std::string::npos; at = kml.find("<Style id=\"", at + 1))
                styles.insert(kml.substr(at + 11, kml.find('"', at + 11) - at - 11));
            EXPECT_EQ(styles, used);
            char colour[16];
            const uint32_t rgb = LevelScale{-130, -40}.pixel(-75);  // KML colours are aabbggrr
            std::snprintf(colour, sizeof colour, "ff%02x%02x%02x", rgb & 0xFF, rgb >> 8 & 0xFF, rgb >> 16);
            EXPECT_NE(kml.find("<Style id=\"dBm-75\">\n      <IconStyle>\n        <color>" + std::string(colour)),
                      std::string::npos);
        }
    }
}

// A receiver's NMEA log is in UTC: the log's stamps join it through their offset from UTC.
TEST(ZarnlogMap, AnNmeaTrackJoinsThroughTheOffsetFromUtc) {
    Folder dir;
    const std::string log = dir.file("survey.zrn");
    writeSurvey(log);
    std::ofstream(dir.file("drive.nmea"), std::ios::binary) << nmeaDrive();
    const char* zone = getenv("TZ");
    const std::string saved = zone ? zone : "";
    const struct {
        const char* what;
        std::vector<std::string> options;
        const char* zone;
        int status;
        std::string says;
    } joins[] = {
        {"the offset given", {"--utc-offset", "+02:00"}, "UTC", 0, kCounts},
        {"the local zone's offset", {}, "ZRN-2", 0, kCounts},
        {"an offset an hour out", {"--utc-offset", "+0100"}, "ZRN-2", 1, "no record lies on the track: placed 0, not placed 90"},
    };
    for (const auto& j : joins) {
        SCOPED_TRACE(j.what);
        setenv("TZ", j.zone, 1);
        tzset();
        std::vector<std::string> args{"map", log, "--track", dir.file("drive.nmea"), "-o", dir.file("nmea.gpkg")};
        args.insert(args.end(), j.options.begin(), j.options.end());
        const Outcome r = zarnlog(args);
        EXPECT_EQ(r.status, j.status) << r.err;
        EXPECT_NE(r.err.find(j.says), std::string::npos) << r.err;
        if (j.status == 0) expectPlaced(readBack({dir.file("nmea.gpkg")}, "GPKG"));
        else EXPECT_FALSE(fs::exists(dir.file("nmea.gpkg")));
        fs::remove(dir.file("nmea.gpkg"));
    }
    if (zone) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
}

namespace {

// The text with the n-th occurrence (from 0) of `what` replaced.
std::string replaced(std::string text, const std::string& what, const std::string& with, int n = 0) {
    size_t at = text.find(what);
    while (n-- > 0 && at != std::string::npos) at = text.find(what, at + 1);
    return at == std::string::npos ? text : text.replace(at, what.size(), with);
}

std::string firstLines(const std::string& text, int n) {
    size_t end = 0;
    while (n-- > 0 && end != std::string::npos) end = text.find('\n', end + (end ? 1 : 0));
    return text.substr(0, end == std::string::npos ? end : end + 1);
}

}  // namespace

// Every track a user or a card hands over: skipped points counted, a clear
// refusal with status 1 where nothing can be placed, status 2 for a bad command line.
TEST(ZarnlogMap, BadTracksAndBadCommandLinesGiveClearMessagesAndTheirStatus) {
    Folder dir;
    const std::string log = dir.file("survey.zrn");
    writeSurvey(log);
    ASSERT_TRUE(writeSyntheticTrack(dir.file("good.gpx"), 0, kRecords, 2, trackPoint));
    ASSERT_TRUE(writeSyntheticTrack(dir.file("other-day.gpx"), 86400, 86400 + kRecords, 2,
                                    [](long long s) { return trackPoint(s - 86400); }));
    const std::string good = readText(dir.file("good.gpx"));
    const size_t secondPoint = good.find("<trkpt", good.find("<trkpt") + 1);
    const std::string firstTwoPoints = good.substr(good.find("<trkpt"), good.find("<trkpt", secondPoint + 1) - good.find("<trkpt"));
    std::string swapped = good;
    swapped.replace(swapped.find(firstTwoPoints), firstTwoPoints.size(),
                    firstTwoPoints.substr(secondPoint - good.find("<trkpt")) + firstTwoPoints.substr(0, secondPoint - good.find("<trkpt")));
    const struct {
        const char* what;
        std::optional<std::string> track;  // written as track.gpx (or drive.nmea when `nmea`); none: no file
        std::vector<std::string> args;     // after the command and the log
        int status;
        std::string says;
        bool nmea = false;
    } cases[] = {
        {"a track that is neither GPX nor NMEA", "a shopping list\nmilk\n", {}, 1, "neither GPX nor NMEA"},
        {"XML that is not GPX", "<?xml version=\"1.0\"?><kml></kml>", {}, 1, "not a GPX file (the document is <kml>, not <gpx>)"},
        {"a GPX cut short by a pulled card", good.substr(0, good.size() * 6 / 10), {}, 0, "the GPX ends early (line "},
        {"points out of time order", swapped, {}, 0, "skipped 1 point: 1 out of time order"},
        {"NaN and out-of-range coordinates",
         replaced(replaced(good, "lat=\"", "lat=\"nan\" x=\"", 3), "lon=\"", "lon=\"200\" x=\"", 5), {}, 0,
         "skipped 2 points: 2 with no valid position"},
        {"NMEA with bad checksums", nmeaDrive({6, 8, 30}), {"--utc-offset", "+02:00"}, 0,
         "skipped 3 points: 3 with a bad checksum", true},
        {"NMEA with nothing but bad checksums", firstLines(nmeaDrive({6, 8, 10}), 3), {}, 1,
         "no NMEA sentence with a good checksum (3 bad)", true},
        {"a track of another day", readText(dir.file("other-day.gpx")), {}, 1,
         "no record lies on the track: placed 0, not placed 90 (90 outside the track); the records run "
         "2004-07-09T14:00:00 - 2004-07-09T14:01:29, the track 2004-07-10T14:00:06 - 2004-07-10T14:01:20"},
        {"a GPX without a point", gpxHead() + kGpxDocumentClose, {}, 1, "no point with a valid position and time"},
        {"no track beside the log", std::nullopt, {}, 1, "no track: " + dir.file("survey.gpx") + " does not exist"},
        {"an output in a folder yet to be made", good, {"-o", dir.file("new/folder/map.gpkg")}, 0, kCounts},
        {"an output of no known format", good, {"-o", dir.file("map.shp")}, 2, "map writes .gpkg, .geojson, .kml or .csv"},
        {"an offset that is none", good, {"--utc-offset", "2:00"}, 2, "--utc-offset 2:00: not +HH:MM"},
        {"an offset past 14 hours", good, {"--utc-offset", "+14:30"}, 2, "--utc-offset +14:30: not +HH:MM"},
        {"a scale upside down", good, {"--db", "-40:-120"}, 2, "--db -40:-120: not MIN:MAX"},
        {"a scale past any level", good, {"--db", "-1e9:1e9"}, 2, "--db -1e9:1e9: beyond any level (-200..50 dBm)"},
        {"a scale past an int", good, {"--db", "0:2147483647"}, 2, "--db 0:2147483647: beyond any level"},
        {"a time that is none", good, {"--begin", "2004-02-30T10:00"}, 2, "--begin 2004-02-30T10:00: not a time"},
        {"an end before the beginning", good, {"--begin", "2004-07-09T14:01", "--end", "2004-07-09T14:00:30"}, 2,
         "--end is not after --begin"},
        {"a window no record is in", good, {"--begin", "2004-07-09T15:00"}, 1, "no record between --begin and --end"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string track = dir.file(c.nmea ? "drive.nmea" : "track.gpx");
        fs::remove(track);
        if (c.track) std::ofstream(track, std::ios::binary) << *c.track;
        const std::string out = dir.file("out.gpkg");
        fs::remove(out);
        std::vector<std::string> args{"map", log, "-o", out};
        if (c.track) args.insert(args.end(), {"--track", track});
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome r = zarnlog(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out.empty(), c.status != 0) << r.out;
        for (const std::string& file : lines(r.out)) EXPECT_TRUE(fs::exists(file)) << file;
        if (c.status != 0) {
            EXPECT_FALSE(fs::exists(out));
        }
    }
}

// With a track beside the log, csv ends each row with its place; the spectrum
// file and a log without a usable track keep their bytes.
TEST(ZarnlogCsv, RowsEndWithTheRecordsPlaceWhenATrackLiesBesideTheLog) {
    Folder dir;
    fs::create_directories(dir.file("plain"));
    fs::create_directories(dir.file("tracked"));
    writeSurvey(dir.file("plain/survey.zrn"));
    fs::copy_file(dir.file("plain/survey.zrn"), dir.file("tracked/survey.zrn"));
    ASSERT_TRUE(writeSyntheticTrack(dir.file("tracked/survey.gpx"), 0, kRecords, 2, trackPoint));
    ASSERT_EQ(zarnlog({"csv", dir.file("plain/survey.zrn")}).status, 0);
    const Outcome r = zarnlog({"csv", dir.file("tracked/survey.zrn")});
    ASSERT_EQ(r.status, 0) << r.err;
    // Every record with a row that has lat and lon: all but the spectrum's, whose notes have.
    size_t placed = 0, notPlaced = 0;
    for (int s = 0; s < kRecords; ++s)
        if (kindAt(s) != kSpectrum || s % 10 == 7) ++(expectedPlace(s) ? placed : notPlaced);
    EXPECT_NE(r.err.find("placed " + std::to_string(placed) + ", not placed " + std::to_string(notPlaced)), std::string::npos)
        << r.err;
    EXPECT_EQ(readText(dir.file("tracked/survey-spectrum.csv")), readText(dir.file("plain/survey-spectrum.csv")));
    for (const char* kind : {"single", "table", "servers", "notes"}) {
        SCOPED_TRACE(kind);
        const std::string name = std::string("survey-") + kind + ".csv";
        const std::vector<std::string> plain = lines(readText(dir.file("plain/" + name)));
        const std::vector<std::string> tracked = lines(readText(dir.file("tracked/" + name)));
        ASSERT_EQ(tracked.size(), plain.size());
        EXPECT_EQ(tracked[0], plain[0] + ",lat,lon");
        for (size_t i = 1; i < plain.size(); ++i) {
            ASSERT_EQ(tracked[i].rfind(plain[i] + ",", 0), 0u) << tracked[i];
            const std::string place = tracked[i].substr(plain[i].size() + 1);
            const std::optional<Place> want = expectedPlace(secondOf(plain[i].substr(0, 19)));
            if (!want) {
                EXPECT_EQ(place, ",");
                continue;
            }
            double lat = 0, lon = 0;
            ASSERT_EQ(std::sscanf(place.c_str(), "%lf,%lf", &lat, &lon), 2) << place;
            EXPECT_NEAR(lat, want->lat, 1e-7);
            EXPECT_NEAR(lon, want->lon, 1e-7);
        }
    }
    // A file beside the log that is no track: said, and the export is as without one.
    std::ofstream(dir.file("plain/survey.gpx")) << "not a track\n";
    const Outcome garbage = zarnlog({"csv", dir.file("plain/survey.zrn"), "-o", dir.file("again")});
    EXPECT_EQ(garbage.status, 0);
    EXPECT_NE(garbage.err.find("neither GPX nor NMEA; going on without positions"), std::string::npos) << garbage.err;
    for (const char* kind : {"single", "table", "servers", "notes", "spectrum"})
        EXPECT_EQ(readText(dir.file(std::string("again/survey-") + kind + ".csv")),
                  readText(dir.file(std::string("plain/survey-") + kind + ".csv")));
    // Given with --track, a track that places nothing fails the export and leaves no file.
    ASSERT_TRUE(writeSyntheticTrack(dir.file("other-day.gpx"), 86400, 86400 + kRecords, 2,
                                    [](long long s) { return trackPoint(s - 86400); }));
    const Outcome none = zarnlog({"csv", dir.file("plain/survey.zrn"), "--track", dir.file("other-day.gpx"), "-o", dir.file("none")});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no record lies on the track"), std::string::npos) << none.err;
    EXPECT_TRUE(fs::is_empty(dir.file("none")));
}

// zarnlog csv beside the log and zarnlog map -o survey.csv both write survey-single.csv, -table,
// -servers, -spectrum and -notes in one folder: neither replaces the other's, each its own.
TEST(ZarnlogMap, CsvAndMapInOneFolderLeaveEachOthersFilesAsTheyWere) {
    for (const std::string first : {"csv", "map"}) {
        const std::string second = first == "csv" ? "map" : "csv";
        SCOPED_TRACE(first + " first");
        Folder dir;
        const std::string log = dir.file("survey.zrn");
        writeSurvey(log);
        ASSERT_TRUE(writeSyntheticTrack(dir.file("survey.gpx"), 0, kRecords, 2, trackPoint));
        const auto command = [&](const std::string& name) {
            return zarnlog(name == "csv" ? std::vector<std::string>{"csv", log}
                                         : std::vector<std::string>{"map", log, "-o", dir.file("survey.csv")});
        };
        const Outcome made = command(first);
        ASSERT_EQ(made.status, 0) << made.err;
        std::map<std::string, std::string> files;
        for (const char* kind : {"single", "table", "servers", "spectrum", "notes"})
            files[kind] = readText(dir.file(std::string("survey-") + kind + ".csv"));
        const Outcome refused = command(second);
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find("will not replace " + dir.file("survey-single.csv") + ": zarnlog " + first + " wrote it"),
                  std::string::npos)
            << refused.err;
        for (const auto& [kind, bytes] : files)
            EXPECT_TRUE(readText(dir.file("survey-" + kind + ".csv")) == bytes) << kind << " replaced";
        const Outcome again = command(first);
        EXPECT_EQ(again.status, 0) << again.err;
        EXPECT_TRUE(readText(dir.file("survey-single.csv")) == files["single"]);
    }
}

// The coverage panel under the log's own panels: the records on the track,
// coloured by level on the scale given.
TEST(ZarnlogPlot, ATrackAddsTheCoveragePanel) {
    Folder dir;
    writeSurvey(dir.file("survey.zrn"));
    const Outcome plain = zarnlog({"plot", dir.file("survey.zrn"), "-o", dir.file("plain.png")});
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_TRUE(writeSyntheticTrack(dir.file("survey.gpx"), 0, kRecords, 2, trackPoint));
    const Outcome r = zarnlog({"plot", dir.file("survey.zrn"), "--db", "-130:-40", "-o", dir.file("map.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "zarnlog: " + dir.file("survey.zrn") + ": " + kCounts + "\n");
    Surface before, image;
    ASSERT_TRUE(readPng(dir.file("plain.png"), before));
    ASSERT_TRUE(readPng(dir.file("map.png"), image));
    EXPECT_GT(image.height, before.height + 160);
    const GoldenResult golden = compareWithGolden(image, "zarnlog_coverage");
    EXPECT_TRUE(golden.ok) << golden.message;

    // Records 11 and 12 only, the first half way between two points: the track still runs to it.
    const Outcome two = zarnlog({"plot", dir.file("survey.zrn"), "--begin", "2004-07-09T14:00:11", "--end",
                                 "2004-07-09T14:00:13", "-o", dir.file("two.png")});
    ASSERT_EQ(two.status, 0) << two.err;
    ASSERT_TRUE(readPng(dir.file("two.png"), image));
    EXPECT_GT(std::count(image.pixels.begin(), image.pixels.end(), rgbToPixel(RGB(170, 170, 170))), 20);
}
