// Tracks read back: zarn's own GPX, other receivers' GPX and NMEA, and every
// kind of damage a card or a receiver hands over.
#include "survey/track.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "recording/gpx_track.h"
#include "survey/log_time.h"

using namespace zarn;

namespace {

Track read(const std::string& text, std::string* error = nullptr) {
    Track track;
    std::string why;
    const bool ok = readTrackBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size(), track, why);
    if (error) *error = ok ? "" : why;
    else EXPECT_TRUE(ok) << why;
    return track;
}

std::string point(const char* lat, const char* lon, const char* utc, const char* local) {
    std::string p = std::string("   <trkpt lat=\"") + lat + "\" lon=\"" + lon + "\"><time>" + utc + "</time>";
    if (*local) p += std::string("<extensions><zarn:localtime>") + local + "</zarn:localtime></extensions>";
    return p + "</trkpt>\n";
}

std::string gpx(const std::string& points) {
    return std::string("<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
                       "xmlns:zarn=\"urn:zarn:track:1\">\n <trk>\n  <trkseg>\n") +
           points + "  </trkseg>\n </trk>\n</gpx>\n";
}

std::string sentence(const std::string& body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

// The text up to the last `mark` in it.
std::string cutBefore(const std::string& text, const std::string& mark) { return text.substr(0, text.rfind(mark)); }

double utc(const char* stamp) { return static_cast<double>(*parseStamp(stamp)); }

}  // namespace

// What each damaged or foreign track gives: its points, what was skipped and why, or a refusal.
TEST(TrackReader, DamagedAndForeignTracksGiveTheirGoodPointsAndCountTheRest) {
    const std::string a = point("47.1", "8.1", "2024-05-14T09:00:00Z", "2024-05-14T11:00:00");
    const std::string b = point("47.2", "8.2", "2024-05-14T09:00:01Z", "2024-05-14T11:00:01");
    const std::string c = point("47.3", "8.3", "2024-05-14T09:00:02Z", "2024-05-14T11:00:02");
    const std::string gga = sentence("GPGGA,090000.00,4706.000000,N,00806.000000,E,1,08,0.9,408.0,M,47.6,M,,");
    const std::string rmc = sentence("GPRMC,090000.00,A,4706.000000,N,00806.000000,E,23.33,90.0,140524,,,A");
    std::string corrupted = rmc;
    corrupted[20] = '9';
    const struct {
        const char* what;
        std::string text;
        size_t points;
        std::string skipped, refused = "";
        TrackClock clock = TrackClock::Device;
    } cases[] = {
        {"zarn's own track", gpx(a + b + c), 3, ""},
        {"a point's time going back", gpx(a + c + b), 2, "1 out of time order"},
        {"the same second twice", gpx(a + b + b + c), 3, "1 out of time order"},
        {"NaN, out of range, missing, not a number",
         gpx(a + point("nan", "8.1", "2024-05-14T09:00:01Z", "2024-05-14T11:00:01") +
             point("91", "8.1", "2024-05-14T09:00:01Z", "2024-05-14T11:00:01") +
             point("47.1", "-180.5", "2024-05-14T09:00:01Z", "2024-05-14T11:00:01") +
             point("47.1e", "8.1", "2024-05-14T09:00:01Z", "2024-05-14T11:00:01") +
             "<trkpt lon=\"8.1\"><extensions><zarn:localtime>2024-05-14T11:00:01</zarn:localtime></extensions></trkpt>" + c),
         2, "5 with no valid position"},
        {"a point without the device's clock among those with it", gpx(a + point("47.2", "8.2", "2024-05-14T09:00:01Z", "") + c),
         2, "1 with no valid time"},
        {"another receiver's GPX, in UTC", gpx(point("47.1", "8.1", "2024-05-14T09:00:00.5Z", "") +
                                              point("47.2", "8.2", "2024-05-14T11:00:01+02:00", "") +
                                              point("47.3", "8.3", "1970-01-01T00:00:00Z", "")),
         2, "1 with no valid time", "", TrackClock::Utc},
        {"a card pulled while it was written", cutBefore(gpx(a + b + c), "<time>"), 2, ""},
        {"zeros where the card lost the end", cutBefore(gpx(a + b), "</trkpt>") + std::string(300, '\0'), 1, ""},
        {"XML that is no GPX", "<?xml version=\"1.0\"?>\n<kml><Placemark/></kml>\n", 0, "", "not a GPX file"},
        {"text", "hello, this is no track\n", 0, "", "neither GPX nor NMEA"},
        {"an empty file", "", 0, "", "neither GPX nor NMEA"},
        {"NMEA", gga + rmc, 1, "", "", TrackClock::Utc},
        {"NMEA with a bad checksum", gga + corrupted + sentence("GPGGA,090001.00,4706.1,N,00806.1,E,1,08,0.9,408.0,M,47.6,M,,") +
                                         sentence("GPRMC,090001.00,A,4706.1,N,00806.1,E,1,90,140524,,,A") + "$GPRMC,090002.00,A\r\n",
         2, "2 with a bad checksum", "", TrackClock::Utc},
        {"NMEA of nothing but bad checksums", corrupted + corrupted, 0, "", "no NMEA sentence with a good checksum (2 bad)"},
        {"NMEA without an RMC sentence", gga + gga, 0, "1 with no RMC sentence to date them", "", TrackClock::Utc},
        {"NMEA of impossible places",
         sentence("GPGGA,090000.00,9106.000000,N,00806.000000,E,1,08,0.9,408.0,M,47.6,M,,") +
             sentence("GPRMC,090001.00,A,4760.000000,N,00806.000000,E,1,90,140524,,,A") +
             sentence("GPRMC,090002.00,A,4706.000000,X,00806.000000,E,1,90,140524,,,A"),
         0, "3 with no valid position", "", TrackClock::Utc},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        std::string error;
        const Track t = read(k.text, &error);
        EXPECT_EQ(error.rfind(k.refused, 0), 0u) << error;
        if (!k.refused.empty()) continue;
        EXPECT_EQ(error, "");
        EXPECT_EQ(t.points.size(), k.points);
        EXPECT_EQ(t.skipped.text(), k.skipped);
        EXPECT_EQ(t.clock, k.clock);
        for (size_t i = 1; i < t.points.size(); ++i) EXPECT_GT(t.points[i].time, t.points[i - 1].time);
    }
}

// Wherever a card cuts the file, the points written whole before the cut are the track.
TEST(TrackReader, ATrackCutAnywhereKeepsEveryPointWrittenBeforeTheCut) {
    std::string whole = gpxHead() + kGpxSegmentOpen;
    std::vector<size_t> ends;  // where each point's text ends
    for (int s = 0; s < 4; ++s) {
        GpsFix fix{3, 47.0 + s / 1000.0, 8.0 - s / 1000.0, 400.0, 1715677200.0 + s};
        whole += gpxPoint(fix, {2024, 5, 14, 11, 0, s});
        ends.push_back(whole.size());
    }
    whole += std::string(kGpxSegmentClose) + kGpxDocumentClose;
    for (size_t cut = whole.find("<trkpt"); cut <= whole.size(); ++cut) {
        Track t = read(whole.substr(0, cut));
        size_t expected = 0;
        while (expected < ends.size() && ends[expected] <= cut) ++expected;
        // The closing tag ends a point; the line's newline after it is not needed.
        if (expected < ends.size() && cut + 1 == ends[expected]) ++expected;
        ASSERT_EQ(t.points.size(), expected) << "cut at " << cut;
        EXPECT_EQ(t.cutShort.empty(), cut + 1 >= whole.size()) << cut << ": " << t.cutShort;
        for (size_t i = 0; i < t.points.size(); ++i) EXPECT_DOUBLE_EQ(t.points[i].lat, 47.0 + i / 1000.0);
    }
}

// GGA sentences before the first RMC and across midnight take the date of the RMC around them.
TEST(TrackReader, NmeaPositionsAreDatedByTheirRmcSentencesAcrossMidnight) {
    std::string text = "garbage from before the receiver settled\r\n";
    text += sentence("GPGGA,235958.00,4706.000000,N,00806.000000,W,1,08,0.9,408.0,M,47.6,M,,");
    text += sentence("GPGGA,235959.00,4706.000000,N,00806.060000,W,1,08,0.9,408.0,M,47.6,M,,");
    text += sentence("GNRMC,235959.00,A,4706.000000,N,00806.060000,W,1,90,311224,,,A");
    text += sentence("GPGGA,000000.50,4706.000000,S,00806.120000,W,1,08,0.9,408.0,M,47.6,M,,");
    text += sentence("GPGGA,000001.00,,,,,0,00,99.99,,,,,,");  // the fix lost: a new segment
    text += sentence("GPGGA,000002.00,4706.000000,S,00806.180000,W,1,08,0.9,408.0,M,47.6,M,,");
    text += sentence("GPRMC,000002.00,A,4706.000000,S,00806.180000,W,1,90,010125,,,A");
    const Track t = read(text);
    ASSERT_EQ(t.points.size(), 4u) << t.skipped.text();
    const double expected[] = {utc("2024-12-31T23:59:58"), utc("2024-12-31T23:59:59"), utc("2025-01-01T00:00:00") + 0.5,
                               utc("2025-01-01T00:00:02")};
    for (size_t i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(t.points[i].time, expected[i]) << i;
    EXPECT_DOUBLE_EQ(t.points[0].lat, 47.1);
    EXPECT_DOUBLE_EQ(t.points[2].lat, -47.1);
    EXPECT_DOUBLE_EQ(t.points[1].lon, -8.101);
    EXPECT_EQ(t.points[2].segment, t.points[0].segment);
    EXPECT_NE(t.points[3].segment, t.points[2].segment);
}
