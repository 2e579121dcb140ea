// Positions while logging, end to end: zarn records a single-channel log from
// zarn-board-sim while the real gpsd, under gpsfake, replays a drive; the
// track beside the log is read back through GDAL's GPX driver.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <thread>

#include "board/board_state.h"
#include "platform/gdi/colours.h"
#include "platform/ui/window_system.h"
#include "recording/log_reader.h"
#include "shell/main_frame.h"
#include "shell/shell_test_support.h"
#include "survey/log_time.h"
#include "testing/gps_fake.h"
#include "testing/main_menu_e2e.h"
#include "testing/servers/free_port.h"

// Last: they define TRUE and FALSE as macros.
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>

namespace zarn {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kDrive = std::string(ZARN_SOURCE_DIR) + "/tests/gps/drive.nmea";
constexpr double kCycle = 0.033;  // three sentences a drive second: ten drive seconds a second
// The drive's seconds of the day without a fix.
constexpr int kLostFrom = 9 * 3600 + 2 * 60;
constexpr int kLostTo = kLostFrom + 5;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct DriveFix {
    double lat, lon, ele;
};

double degrees(const char* ddmm, int degreeDigits) {
    const std::string text = ddmm;
    return std::stod(text.substr(0, degreeDigits)) + std::stod(text.substr(degreeDigits)) / 60.0;
}

// The drive's fixes by UTC second of the day, from its GGA sentences.
std::map<int, DriveFix> driveFixes() {
    std::map<int, DriveFix> fixes;
    std::ifstream in(kDrive);
    std::string line;
    while (std::getline(in, line)) {
        int h, m, s, quality;
        char lat[16], lon[16];
        double ele;
        if (std::sscanf(line.c_str(), "$GPGGA,%2d%2d%2d.00,%15[0-9.],N,%15[0-9.],E,%d,%*d,%*f,%lf", &h, &m, &s, lat, lon,
                        &quality, &ele) == 7 &&
            quality > 0)
            fixes[h * 3600 + m * 60 + s] = {degrees(lat, 2), degrees(lon, 3), ele};
    }
    return fixes;
}

struct TrackPoint {
    int segment = 0;
    double lat = 0, lon = 0, ele = 0;
    bool hasEle = false;
    int utc = 0;          // second of the day
    long long local = 0;  // the device clock's extension, in stampSeconds
};

// The track's points through GDAL's GPX driver; false with why unless the
// whole file parses.
bool readTrack(const std::string& path, std::vector<TrackPoint>& points, std::string& why) {
    GDALAllRegister();
    CPLSetConfigOption("GPX_USE_EXTENSIONS", "YES");
    CPLErrorReset();
    GDALDatasetH data = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!data) {
        why = "GDAL does not open " + path + ": " + CPLGetLastErrorMsg();
        return false;
    }
    OGRLayerH layer = GDALDatasetGetLayerByName(data, "track_points");
    while (OGRFeatureH f = layer ? OGR_L_GetNextFeature(layer) : nullptr) {
        TrackPoint p;
        p.segment = OGR_F_GetFieldAsInteger(f, OGR_F_GetFieldIndex(f, "track_seg_id"));
        OGRGeometryH g = OGR_F_GetGeometryRef(f);
        p.lon = OGR_G_GetX(g, 0);
        p.lat = OGR_G_GetY(g, 0);
        const int ele = OGR_F_GetFieldIndex(f, "ele");
        p.hasEle = OGR_F_IsFieldSetAndNotNull(f, ele);
        p.ele = OGR_F_GetFieldAsDouble(f, ele);
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, zone = 0;
        float s = 0;
        OGR_F_GetFieldAsDateTimeEx(f, OGR_F_GetFieldIndex(f, "time"), &y, &mo, &d, &h, &mi, &s, &zone);
        p.utc = h * 3600 + mi * 60 + static_cast<int>(s);
        const int local = OGR_F_GetFieldIndex(f, "zarn_localtime");
        if (local >= 0 && std::sscanf(OGR_F_GetFieldAsString(f, local), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi,
                                      &zone) == 6)
            p.local = stampSeconds({y, mo, d, h, mi, zone});
        points.push_back(p);
        OGR_F_Destroy(f);
    }
    const bool whole = layer && CPLGetLastErrorType() == CE_None;
    why = layer ? CPLGetLastErrorMsg() : "no track_points layer";
    GDALClose(data);
    return whole;
}

struct LogSpan {
    int records = 0, singleChannel = 0;
    long long first = 0, last = 0;  // stampSeconds of the first and last records
    std::string problem;
};

LogSpan readLogSpan(const std::string& path) {
    const std::string bytes = readText(path);
    LogReader reader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    LogSpan span;
    LogHeader header;
    if (!reader.readHeader(header)) span.problem = reader.problem();
    LogRecord r;
    ReadStatus status = ReadStatus::End;
    while (span.problem.empty() && (status = reader.next(r)) == ReadStatus::Record) {
        const long long at = stampSeconds(r.time);
        if (span.records++ == 0) span.first = at;
        span.last = at;
        span.singleChannel += r.type == kModeSingleChannel && r.length == 8;
    }
    if (status == ReadStatus::Damaged) span.problem = reader.damage().problem;
    return span;
}

int countOf(const std::string& text, const std::string& what, size_t from = 0) {
    int n = 0;
    for (size_t at = text.find(what, from); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Points in the track's second segment, once there is one.
int pointsAfterTheFirstBreak(const std::string& track) {
    const size_t first = track.find("<trkseg>");
    const size_t second = first == std::string::npos ? first : track.find("<trkseg>", first + 1);
    return second == std::string::npos ? 0 : countOf(track, "<trkpt", second);
}

class TrackE2e : public testing::MainMenuE2e {
protected:
    void TearDown() override {
        MainMenuE2e::TearDown();
        gps.stop();
        unsetenv("ZARN_GPSD");
    }
    void startGpsd() {
        std::string error;
        ASSERT_TRUE(gps.start(kDrive, kCycle, error)) << error;
        setenv("ZARN_GPSD", gps.address().c_str(), 1);
    }
    void record() {
        testing::recordSingleChannel(*shell, device.root);
        ASSERT_EQ(boardState().screenMode, kModeSingleChannel);
        ASSERT_EQ(boardState().logging, 1);
    }
    static const WindowSystem::StatusMark& mark() { return WindowSystem::get().statusMark(); }
    std::string logPath() const { return device.root + "/My Documents/zarnlog.zrn"; }
    std::string trackPath() const { return device.root + "/My Documents/zarnlog.gpx"; }

    testing::GpsFake gps;
};

TEST_F(TrackE2e, TheTrackBesideALogCoversItWithTheDrivesPositionsAndBreaksWhereTheFixWasLost) {
    ASSERT_NO_FATAL_FAILURE(startGpsd());
    ASSERT_NO_FATAL_FAILURE(startOnMainMenu({}));
    EXPECT_TRUE(pumpUntil([] { return mark().text == "GPS" && mark().colour == kGreen; }, 10s)) << mark().text;
    ASSERT_NO_FATAL_FAILURE(record());
    // Until the fix has come back after its loss, and three points more.
    ASSERT_TRUE(pumpUntil([&] { return pointsAfterTheFirstBreak(readText(trackPath())) >= 3; }, 30s))
        << readText(trackPath());
    shell->command(ID_LOG_STOP);
    gps.stop();
    EXPECT_TRUE(pumpUntil([] { return mark().text.empty(); }, 10s)) << "the mark outlived gpsd";

    std::vector<TrackPoint> points;
    std::string why;
    ASSERT_TRUE(readTrack(trackPath(), points, why)) << why;
    ASSERT_GE(points.size(), 6u);
    const std::map<int, DriveFix> drive = driveFixes();
    ASSERT_EQ(drive.size(), 180u - 6u);
    std::set<int> segments;
    for (size_t i = 0; i < points.size(); ++i) {
        const TrackPoint& p = points[i];
        SCOPED_TRACE("point " + std::to_string(i) + " at " + std::to_string(p.utc));
        segments.insert(p.segment);
        ASSERT_EQ(drive.count(p.utc), 1u) << "a point where the drive had no fix";
        const DriveFix& d = drive.at(p.utc);
        EXPECT_NEAR(p.lat, d.lat, 1e-7);
        EXPECT_NEAR(p.lon, d.lon, 1e-7);
        if (p.hasEle) {
            EXPECT_NEAR(p.ele, d.ele, 0.05);
        }
        if (i == 0) continue;
        EXPECT_GT(p.utc, points[i - 1].utc);
        EXPECT_GT(p.local, points[i - 1].local);  // one point a second on the device's clock
        if (p.segment != points[i - 1].segment) {
            EXPECT_LT(points[i - 1].utc, kLostFrom);
            EXPECT_GT(p.utc, kLostTo);
        }
    }
    EXPECT_EQ(segments.size(), 2u);

    const LogSpan log = readLogSpan(logPath());
    EXPECT_EQ(log.problem, "");
    EXPECT_GT(log.records, 20);
    EXPECT_EQ(log.singleChannel, log.records);
    EXPECT_LE(points.front().local, log.first);
    EXPECT_GE(points.back().local + 1, log.last);  // a point at most once a second
}

TEST_F(TrackE2e, AProgramKilledWhileLoggingLeavesATrackThatParses) {
    ASSERT_NO_FATAL_FAILURE(startGpsd());
    std::string error;
    ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, {}, error)) << error;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        testing::ShellHarness zarn(testing::ShellHarness::Board::Serial);
        zarn.tap(120, 170);  // 1900 (50kHz)
        testing::recordSingleChannel(zarn, device.root);
        for (;;) {
            zarn.backend.runUntilIdle();
            std::this_thread::sleep_for(5ms);
        }
    }
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < until && countOf(readText(trackPath()), "<trkpt") < 3)
        std::this_thread::sleep_for(20ms);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    std::vector<TrackPoint> points;
    std::string why;
    ASSERT_TRUE(readTrack(trackPath(), points, why)) << why;
    EXPECT_GE(points.size(), 3u);
    EXPECT_EQ(readLogSpan(logPath()).problem, "");
}

TEST_F(TrackE2e, WithoutGpsdTheLogIsAsItWasAndNoTrackAppears) {
    setenv("ZARN_GPSD", ("127.0.0.1:" + std::to_string(testing::freePort())).c_str(), 1);
    ASSERT_NO_FATAL_FAILURE(startOnMainMenu({}));
    writeFile("My Documents/zarnlog.gpx", "<gpx>the track of an earlier log of this name</gpx>\n");
    ASSERT_NO_FATAL_FAILURE(record());
    constexpr int kRecords = 10;
    ASSERT_TRUE(pumpUntil([&] { return readText(logPath()).size() >= 15 + kRecords * 22; }, 15s));
    shell->command(ID_LOG_STOP);

    EXPECT_FALSE(fs::exists(trackPath()));
    EXPECT_EQ(mark().text, "");
    for (const auto& m : shell->backend.modals()) EXPECT_NE(m.kind, "messagebox") << m.text;
    const LogSpan log = readLogSpan(logPath());
    EXPECT_EQ(log.problem, "");
    EXPECT_GE(log.records, kRecords);
    EXPECT_EQ(log.singleChannel, log.records);
    EXPECT_EQ(readText(logPath()).size(), 15u + 22u * log.records);  // nothing but the records of today
}

}  // namespace
}  // namespace zarn
