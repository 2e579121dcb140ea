// The track beside a log, from gpsd's reports to the file a desktop tool reads.
#include "recording/gpx_track.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "recording/gpsd_address.h"
#include "recording/track_recorder.h"
#include "zarn_version.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string point(const char* latLon, const char* ele, const char* utc, const char* fix, const char* local) {
    return std::string("   <trkpt ") + latLon + ">" + ele + "<time>" + utc + "</time><fix>" + fix +
           "</fix><extensions><zarn:localtime>" + local + "</zarn:localtime></extensions></trkpt>\n";
}

// One point a second, only from fixes with a usable position and time; a lost
// fix ends the segment. After every report the file is a whole document.
TEST(GpxTrack, ReportsBecomeOnePointASecondInSegmentsSplitWhereTheFixWasLost) {
    const fs::path path = fs::temp_directory_path() / ("zarn-track-" + std::to_string(::getpid()) + ".gpx");
    fs::remove(path);
    const double t0 = 1715677200.0;  // 2024-05-14 09:00:00 UTC
    struct Step {
        GpsFix fix;
        int localSecond;
        const char* what;
    } steps[] = {
        {{3, 47.376887, 8.541694, 408.04, t0}, 0, "a fix with altitude"},
        {{3, 47.376888, 8.541695, 408.0, t0 + 0.5}, 0, "a second fix in the same second"},
        {{2, 47.376888, 8.54171, 390.0, t0 + 1}, 1, "a fix without altitude"},
        {{3, NAN, 8.54171, 400.0, t0 + 2}, 2, "latitude NaN"},
        {{3, 91.0, 8.54171, 400.0, t0 + 2}, 2, "latitude out of range"},
        {{3, 47.376889, -180.5, 400.0, t0 + 2}, 2, "longitude out of range"},
        {{3, 47.376889, 8.54172, 400.0, NAN}, 2, "no time"},
        {{3, 47.376889, 8.54172, 400.0, 86400.0}, 2, "a time before GPS began"},
        {{3, 47.376889, 8.54172, 1e7, t0 + 2.25}, 2, "altitude out of range: the point without it"},
        {{3, 47.37689, 8.54173, 409.0, t0 + 1.5}, 3, "a time going back"},
        {{1, NAN, NAN, NAN, t0 + 4}, 4, "the fix lost"},
        {{0, NAN, NAN, NAN, NAN}, 5, "no mode yet"},
        {{3, 47.3769, 8.5418, 410.0, t0 + 6}, 6, "the fix back"},
        {{3, 47.37691, 8.54181, 410.0, t0 + 7}, 6, "a fix in the same second of the device's clock"},
    };
    const std::string closing = "  </trkseg>\n </trk>\n</gpx>\n";
    {
        GpxTrack track(path.string());
        for (const Step& s : steps) {
            ASSERT_TRUE(track.addFix(s.fix, {2024, 5, 14, 11, 0, s.localSecond})) << s.what;
            if (track.points() == 0) EXPECT_FALSE(fs::exists(path)) << s.what;
            else EXPECT_EQ(readText(path).substr(readText(path).size() - closing.size()), closing) << s.what;
        }
        EXPECT_EQ(track.points(), 4);
    }
    const std::string expected =
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + "<gpx version=\"1.1\" creator=\"zarn " +
        kZarnVersion + "\" xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:zarn=\"urn:zarn:track:1\">\n <trk>\n" +
        "  <trkseg>\n" +
        point("lat=\"47.3768870\" lon=\"8.5416940\"", "<ele>408.0</ele>", "2024-05-14T09:00:00Z", "3d",
              "2024-05-14T11:00:00") +
        point("lat=\"47.3768880\" lon=\"8.5417100\"", "", "2024-05-14T09:00:01Z", "2d", "2024-05-14T11:00:01") +
        point("lat=\"47.3768890\" lon=\"8.5417200\"", "", "2024-05-14T09:00:02.250Z", "3d", "2024-05-14T11:00:02") +
        "  </trkseg>\n  <trkseg>\n" +
        point("lat=\"47.3769000\" lon=\"8.5418000\"", "<ele>410.0</ele>", "2024-05-14T09:00:06Z", "3d",
              "2024-05-14T11:00:06") +
        closing;
    EXPECT_EQ(readText(path), expected);
    fs::remove(path);
}

// The storage fills up while a point is written, inside a segment or where a new one
// begins: the part-written point is taken back and the track stays the document it was.
TEST(GpxTrack, APointTheStorageHasNoRoomForIsTakenBackAndTheTrackStaysWhole) {
    const double t0 = 1715677200.0;
    for (const bool newSegment : {false, true}) {
        SCOPED_TRACE(newSegment ? "a new segment" : "in a segment");
        const fs::path path = fs::temp_directory_path() / ("zarn-full-" + std::to_string(::getpid()) + ".gpx");
        fs::remove(path);
        GpxTrack track(path.string());
        ASSERT_TRUE(track.addFix({3, 47.376887, 8.541694, 408.0, t0}, {2024, 5, 14, 11, 0, 0}));
        if (newSegment) {
            ASSERT_TRUE(track.addFix({1, NAN, NAN, NAN, t0 + 1}, {2024, 5, 14, 11, 0, 1}));
        }
        const std::string before = readText(path);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit full = old;
        full.rlim_cur = before.size() + 10;  // room for a piece of the point only
        setrlimit(RLIMIT_FSIZE, &full);
        const bool added = track.addFix({3, 47.3769, 8.5418, 410.0, t0 + 2}, {2024, 5, 14, 11, 0, 2});
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, SIG_DFL);
        EXPECT_FALSE(added);
        EXPECT_NE(track.errorText(), "");
        EXPECT_EQ(readText(path), before);
        EXPECT_EQ(track.points(), 1);
        fs::remove(path);
    }
}

TEST(GpxTrack, TheTrackOfALogIsBesideIt) {
    const struct {
        const char* log;
        const char* track;
    } cases[] = {
        {"/d/My Documents/zarnlog.zrn", "/d/My Documents/zarnlog.gpx"},
        {"/d/survey", "/d/survey.gpx"},
        {"/d/a.b/survey.ZRN", "/d/a.b/survey.gpx"},
        {"/d/survey.gpx", "/d/survey.gpx.gpx"},  // never the log itself
    };
    for (const auto& c : cases) EXPECT_EQ(TrackRecorder::trackPathFor(c.log), c.track) << c.log;
}

TEST(GpsdAddress, ZarnGpsdNamesHostAndPortOrOff) {
    const struct {
        const char* value;
        bool on;
        const char* host;
        const char* port;
    } cases[] = {
        {nullptr, true, "localhost", "2947"},
        {"", true, "localhost", "2947"},
        {"off", false, "", ""},
        {"gps.local:3000", true, "gps.local", "3000"},
        {"gps.local", true, "gps.local", "2947"},
        {":2950", true, "localhost", "2950"},
        {"[::1]:2948", true, "::1", "2948"},
        {"[::1]", true, "::1", "2947"},
        {"::1", true, "::1", "2947"},
        {"gps.local:", false, "", ""},
        {"gps.local:gpsd", false, "", ""},
        {"gps.local:0", false, "", ""},
        {"gps.local:65536", false, "", ""},
        {"gps.local:99999999999", false, "", ""},
        {"[::1]2948", false, "", ""},
        {"a host:2947", false, "", ""},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto address = gpsdAddressFrom(c.value, error);
        const std::string shown = c.value ? c.value : "(unset)";
        ASSERT_EQ(address.has_value(), c.on) << shown;
        if (address) {
            EXPECT_EQ(address->host, c.host) << shown;
            EXPECT_EQ(address->port, c.port) << shown;
            EXPECT_EQ(error, "") << shown;
        } else {
            EXPECT_EQ(error.empty(), std::string(shown) == "off") << shown << ": " << error;
        }
    }
}

// Something that is not gpsd on gpsd's port: it greets, then sends bytes at
// random, reports no receiver can give, and hangs up. No point reaches the
// track, and the connection ends as if gpsd had gone away.
TEST(TrackRecorder, APeerSendingGarbageNeverPutsAPointInTheTrack) {
    const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(server, 1), 0);
    getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
    std::thread peer([server] {
        const int c = accept(server, nullptr, nullptr);
        std::string bytes = "{\"class\":\"VERSION\",\"release\":\"3.22\",\"proto_major\":3,\"proto_minor\":14}\n";
        uint32_t noise = 12345;
        for (int i = 0; i < 4000; ++i) bytes += static_cast<char>((noise = noise * 1103515245 + 12345) >> 24);
        bytes += "\n{\"class\":\"TPV\",\"mode\":3,\"lat\":1e999,\"lon\":8.5,\"time\":\"2024-05-14T09:00:00Z\"}\n";
        bytes += "{\"class\":\"TPV\",\"mode\":3,\"lat\":95.5,\"lon\":200,\"time\":\"garbage\"}\n";
        bytes += "{\"class\":\"TPV\",\"mode\":3,\"lat\":47.1,\"lon\":8.5,\"time\":\"1970-01-01T00:00:10Z\"}\n";
        bytes += "{\"class\":\"TPV\",\"mode\":2,\"lat\":-90.5,\"lon\":8.5,\"time\":\"2024-05-14T09:00:01Z\"}\n";
        send(c, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        close(c);
    });
    const fs::path log = fs::temp_directory_path() / ("zarn-garbage-" + std::to_string(::getpid()) + ".zrn");
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<GpsStatus> seen;
    {
        GpsdAddress gpsd{"127.0.0.1", std::to_string(ntohs(address.sin_port))};
        TrackRecorder recorder(gpsd, [&](GpsStatus status) {
            std::lock_guard lock(mutex);
            seen.push_back(status);
            changed.notify_all();
        });
        recorder.start(log.string());
        {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, std::chrono::seconds(20),
                             [&] { return seen.size() >= 2 && seen.back() == GpsStatus::Unreachable; });
        }
        peer.join();
        recorder.stop();
    }
    close(server);
    ASSERT_GE(seen.size(), 2u) << "the peer was never heard, or never left";
    EXPECT_EQ(seen.front(), GpsStatus::NoFix);  // its greeting made it a gpsd without a fix, and no report a fix
    EXPECT_EQ(seen.back(), GpsStatus::Unreachable);
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_FALSE(fs::exists(TrackRecorder::trackPathFor(log.string())));
}

}  // namespace
}  // namespace zarn
