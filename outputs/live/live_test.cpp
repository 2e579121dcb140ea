// The live page's parts without a network: the event streams' order, history and
// drops; the request lines the gate lets through; the addresses and token files
// --listen takes; and an exposition that promtool passes, with the alarms, the last
// occupancy period and the archive's backlog.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/http/event_stream.h"
#include "platform/http/listen_address.h"
#include "outputs/live/live_metrics.h"
#include "platform/http/request_gate.h"
#include "survey/log_time.h"
#include "testing/servers/prometheus_server.h"

namespace zarn {
namespace {

struct Calls {
    int sleeps = 0, wakes = 0, cuts = 0;
};

class CountingWaker : public StreamWaker {
public:
    explicit CountingWaker(Calls& calls) : calls_(calls) {}
    void sleep() override { ++calls_.sleeps; }
    void wake() override { ++calls_.wakes; }
    void cut() override { ++calls_.cuts; }

private:
    Calls& calls_;
};

// Everything a stream gives until it has nothing; the end and a drop as markers.
std::string drain(EventStream& stream) {
    std::string text;
    char buffer[7];  // small, so events are taken in pieces
    for (long n; (n = stream.read(buffer, sizeof buffer)) != 0;) {
        if (n == EventStream::kEnd) return text + "<end>";
        if (n == EventStream::kDropped) return text + "<dropped>";
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

StreamEvent status(const StreamHub::Counts&) { return streamEvent("status", "{}"); }

std::string record(int n) { return "event: record\ndata: {\"offset\":" + std::to_string(n) + "}\n\n"; }

TEST(EventStreams, ANewStreamGetsTheStatusAndTheHistoryThenEveryEventInOrderAndItsEnd) {
    StreamLimits limits;
    limits.historyBytes = 2 * record(10).size();  // the history keeps the last two
    StreamHub hub(limits);
    for (int n = 1; n <= 3; ++n) hub.publishRecord(streamEvent("record", "{\"offset\":" + std::to_string(n) + "}"));
    Calls calls;
    auto stream = hub.join(
        [](const StreamHub::Counts& c) { return streamEvent("status", "{\"streams\":" + std::to_string(c.streams) + "}"); },
        std::make_unique<CountingWaker>(calls));
    ASSERT_TRUE(stream);
    EXPECT_EQ(drain(*stream), "retry: 1000\n\nevent: status\ndata: {\"streams\":1}\n\n" + record(2) + record(3) +
                                  "event: live\ndata: {\"history\":2}\n\n");
    EXPECT_EQ(calls.sleeps, 1) << "nothing queued: its connection sleeps";

    hub.publishRecord(streamEvent("record", "{\"offset\":4}"));
    hub.publish(streamEvent("status", "{\"s\":2}"));
    EXPECT_EQ(calls.wakes, 1) << "woken once, by the first event after it slept";
    hub.end(streamEvent("end", "{}"));
    EXPECT_EQ(drain(*stream), record(4) + "event: status\ndata: {\"s\":2}\n\nevent: end\ndata: {}\n\n<end>");
    EXPECT_FALSE(hub.join(status, std::make_unique<CountingWaker>(calls))) << "ended";
}

// Events that come fast go out together: a stream woken less than the coalescing time
// ago waits for the hub's flush, which the hub asks for once.
TEST(EventStreams, AStreamWokenAMomentAgoIsWokenAgainAtTheFlushNotAtEachEvent) {
    StreamHub hub;
    int asked = 0;
    hub.onWakeLater([&] { ++asked; });
    Calls calls;
    auto stream = hub.join(status, std::make_unique<CountingWaker>(calls));
    drain(*stream);
    hub.publish(streamEvent("status", "{}"));
    EXPECT_EQ(calls.wakes, 1) << "the first event wakes it at once";
    drain(*stream);
    const auto woken = std::chrono::steady_clock::now();
    for (int n = 0; n < 3; ++n) hub.publishRecord(streamEvent("record", "{\"offset\":" + std::to_string(n) + "}"));
    EXPECT_EQ(calls.wakes, 1);
    EXPECT_EQ(asked, 1) << "one flush asked for";
    const auto due = hub.flush(woken);
    EXPECT_EQ(calls.wakes, 1) << "not yet due";
    EXPECT_LE(due, woken + StreamLimits{}.coalesce);
    EXPECT_EQ(hub.flush(due + std::chrono::milliseconds(1)), std::chrono::steady_clock::time_point::max());
    EXPECT_EQ(calls.wakes, 2);
    EXPECT_EQ(drain(*stream), record(0) + record(1) + record(2)) << "taken in one go";
}

TEST(EventStreams, AStreamThatTakesNothingIsDroppedAloneAndTheHistoryItWasGivenDoesNotCount) {
    StreamLimits limits;
    limits.queuedEvents = 3;
    StreamHub hub(limits);
    for (int n = 0; n < 10; ++n) hub.publishRecord(streamEvent("record", "{}"));  // more than 3
    Calls readerCalls, stalledCalls;
    auto reader = hub.join(status, std::make_unique<CountingWaker>(readerCalls));
    auto stalled = hub.join(status, std::make_unique<CountingWaker>(stalledCalls));
    drain(*reader);
    std::string read;
    for (int n = 0; n < 8; ++n) {
        hub.publishRecord(streamEvent("record", "{\"offset\":" + std::to_string(n) + "}"));
        read += drain(*reader);
    }
    std::string expected;
    for (int n = 0; n < 8; ++n) expected += record(n);
    EXPECT_EQ(read, expected) << "the reader got every event";
    EXPECT_EQ(stalledCalls.cuts, 1) << "its connection is cut at the fourth live event";
    EXPECT_EQ(drain(*stalled), "<dropped>");
    const StreamHub::Counts counts = hub.counts();
    EXPECT_EQ(counts.streams, 1u);
    EXPECT_EQ(counts.joined, 2u);
    EXPECT_EQ(counts.dropped, 1u);
    EXPECT_EQ(readerCalls.cuts, 0);
}

TEST(RequestGate, OnlyAWellFormedRequestLineIsHandedOn) {
    using namespace std::string_view_literals;
    const struct {
        std::string_view line;
        bool good;
    } cases[] = {
        {"GET / HTTP/1.1", true},
        {"GET /api/stream?token=a%20b HTTP/1.0", true},
        {"BREW /pot HTTP/1.1", true},  // a method the server answers 405
        {"GARBAGE", false},
        {"GET /", false},
        {"GET  / HTTP/1.1", false},
        {" / HTTP/1.1", false},
        {"GET / HTTP/1.1 extra", false},
        {"GET / HTTX/1.1", false},
        {"GET / HTTP/11", false},
        {"G\0T / HTTP/1.1"sv, false},
        {"GET /a\x01 HTTP/1.1", false},
        {"G(T / HTTP/1.1", false},
    };
    for (const auto& c : cases) EXPECT_EQ(wellFormedRequestLine(c.line), c.good) << c.line;
}

TEST(ListenAddress, APortAloneIsLoopbackAndAnAddressOnlyWhenGiven) {
    const struct {
        const char* text;
        const char* host;  // nullptr: refused
        int port;
    } cases[] = {
        {"8080", "127.0.0.1", 8080},     {"0.0.0.0:8080", "0.0.0.0", 8080}, {"[::]:80", "::", 80},
        {"[::1]:65535", "::1", 65535},   {"localhost:1", "localhost", 1},   {"0", nullptr, 0},
        {"65536", nullptr, 0},           {"80a", nullptr, 0},               {"::1:8080", nullptr, 0},
        {"[::1]8080", nullptr, 0},       {":8080", nullptr, 0},             {"", nullptr, 0},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto a = parseListenAddress(c.text, error);
        ASSERT_EQ(a.has_value(), c.host != nullptr) << c.text << ": " << error;
        if (!a) continue;
        EXPECT_EQ(a->host, c.host);
        EXPECT_EQ(a->port, c.port);
    }
    EXPECT_EQ((ListenAddress{"::", 8080}).text(), "[::]:8080");

    std::string error;
    const int loopback = openListenSocket({"127.0.0.1", 0}, error);
    ASSERT_GE(loopback, 0) << error;
    EXPECT_FALSE(reachableFromNetwork(loopback));
    const int open = openListenSocket({"0.0.0.0", 0}, error);
    ASSERT_GE(open, 0) << error;
    EXPECT_TRUE(reachableFromNetwork(open));
    close(loopback);
    close(open);
}

TEST(ListenAddress, OnLoopbackOnlyItsOwnNamesAndThoseGivenAreAnswered) {
    std::string error;
    const auto given = parseHostName("Zarn.Example", error);
    ASSERT_EQ(given, "zarn.example") << error;
    const std::vector<std::string> names = servedHosts({"127.0.0.5", 8080}, {*given, "[fd00::7]"});
    const struct {
        const char* host;
        bool answered;
    } cases[] = {
        {"localhost", true},         {"LocalHost:8080", true},       {"127.0.0.1:8080", true},
        {"[::1]", true},             {"[::1]:8080", true},           {"127.0.0.5:8080", true},
        {"zarn.example:443", true},  {"ZARN.EXAMPLE", true},         {"[FD00::7]:8080", true},
        {"attacker.example", false}, {"attacker.example:8080", false}, {"localhost.attacker.example", false},
        {"localhost.", false},       {"127.0.0.2", false},           {"::1", false},
        {"[::1", false},             {"localhost:", false},          {"localhost:80x", false},
        {"localhost:8080:1", false}, {"[::1]8080", false},           {"", false},
        {":8080", false},
    };
    for (const auto& c : cases) EXPECT_EQ(hostAllowed(c.host, names), c.answered) << c.host;
    for (const char* bad : {"localhost:8080", "http://zarn.example", "a b", "[::g]", ""}) {
        EXPECT_FALSE(parseHostName(bad, error)) << bad;
        EXPECT_NE(error.find("is not a host name without a port"), std::string::npos) << error;
    }
}

TEST(ListenToken, OnlyAFileItsOwnerAloneCanReadGivesTheToken) {
    const std::string folder = std::filesystem::temp_directory_path() / ("zarn-token-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto write = [&](const std::string& name, const std::string& text, mode_t mode) {
        const std::string path = folder + "/" + name;
        std::ofstream(path) << text;
        chmod(path.c_str(), mode);
        return path;
    };
    std::string error;
    EXPECT_EQ(readTokenFile(write("good", "  s3cret-s3cret-s3cret \n", 0600), error), "s3cret-s3cret-s3cret") << error;
    EXPECT_EQ(readTokenFile(write("owner-only", "s3cret-s3cret-s3cret", 0400), error), "s3cret-s3cret-s3cret");
    const struct {
        std::string path;
        const char* says;
    } refused[] = {
        {write("shared", "s3cret-s3cret-s3cret\n", 0640), "mode 640 lets others read the token; chmod 600"},
        {write("short", "s3cret\n", 0600), "has 6 characters; give 16 to 4096"},
        {write("blank", "s3cret s3cret s3cret\n", 0600), "blank"},
        {folder + "/none", "No such file"},
        {folder, "not a regular file"},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(readTokenFile(r.path, error)) << r.path;
        EXPECT_NE(error.find(r.says), std::string::npos) << error;
    }
    std::filesystem::remove_all(folder);
}

TEST(LiveMetrics, EveryFamilyPassesPromtoolAndLevelsAreTheCsvDigits) {
    RecorderStatus s;
    s.ageSeconds = 65;
    s.board = {true, "/dev/pts/3", "SIM 2.10", "ZS004217", 2, 51234};
    s.gps.state = GpsPosition::State::Fix;
    s.log.count(218, 3000);
    s.log.count(216, 3100);
    s.outputs.push_back({"csv", 2, 1, 0, true, "standard output: Broken pipe", std::nullopt});
    s.outputs.push_back({"a \"quoted\\\" name", 1, 0, 3, false, "", std::nullopt});
    s.live = {"127.0.0.1:8080", 3, 7, 1};
    s.alarms = {{"hot", "hot: 881.52 > -70 for 10 hysteresis 3", true, 3, "2024-05-14T11:00:12", 881520000, -888},
                {"quiet-1900", "quiet-1900: 1930:1990 < -100 for 60 hysteresis 5", false, 0, "", 0, std::nullopt}};
    // A sweep of more points than are shown one by one, 870 MHz up, each busier than the one below.
    OccupancyPeriod p{*parseStamp("2024-05-14T11:00"), 900, {true, 10}, {-1768, std::nullopt}, {}};
    for (uint32_t k = 0; k < 70; ++k)
        p.rows.push_back({0, kUnknownChannel, 870000000 + k * 30000, 100, k, -90, -1200, -100.5});
    p.rows.push_back({1, 25, 1931250000, 4, 4, -60, -950, -90});
    s.occupancy = p;
    s.archive = ArchiveStatus{false, 38, 2, "connection refused"};
    LiveReadings r;
    r.levels = {{"800", "384", "-62.5"}, {"1900", "25", "-75"}};
    r.peaks = {{"800", "881.52", "-55.25"}};
    const std::string text = renderMetrics(s, r);
    const testing::PromtoolVerdict verdict = testing::promtoolCheckMetrics(text);
    EXPECT_TRUE(verdict.passed) << verdict.output << "\n" << text;

    std::tm start{};
    start.tm_year = 124, start.tm_mon = 4, start.tm_mday = 14, start.tm_hour = 11, start.tm_isdst = -1;
    const std::string began = std::to_string(std::mktime(&start));
    EXPECT_NE(text.find("\nzarn_occupancy_period_start_timestamp_seconds " + began + "\n"), std::string::npos)
        << "the device's local clock, told in UTC\n" << text;
    size_t placesShown = 0;
    for (size_t at = text.find("\nzarn_occupancy_ratio{"); at != std::string::npos;
         at = text.find("\nzarn_occupancy_ratio{", at + 1))
        ++placesShown;
    EXPECT_EQ(placesShown, kOccupancyPlacesShown) << "the busiest only";
    EXPECT_EQ(text.find("mhz=\"870.18\""), std::string::npos) << "the 65th busiest is left out\n" << text;
    EXPECT_EQ(text.find("zarn_occupancy_noise_floor_dbm{band=\"1900\"}"), std::string::npos) << text;
    for (const char* line : {"zarn_build_info{version=\"", "\nzarn_board_up 1\n", "\nzarn_board_lost_total 2\n",
                             "\nzarn_frames_decoded_total 51234\n", "zarn_records_written_total{kind=\"spectrum\"} 1\n",
                             "zarn_records_written_total{kind=\"single\"} 1\n", "\nzarn_log_bytes 3100\n",
                             "\nzarn_gps_fix 1\n", "zarn_level_dbm{band=\"800\",channel=\"384\"} -62.5\n",
                             "zarn_sweep_peak_mhz{band=\"800\"} 881.52\n", "zarn_sweep_peak_dbm{band=\"800\"} -55.25\n",
                             "\nzarn_stream_clients 3\n", "\nzarn_stream_clients_dropped_total 1\n",
                             "zarn_output_failed{output=\"csv\"} 1\n",
                             "zarn_output_records_queued{output=\"a \\\"quoted\\\\\\\" name\"} 3\n",
                             "zarn_alarm_raised{alarm=\"hot\"} 1\n", "zarn_alarm_raised{alarm=\"quiet-1900\"} 0\n",
                             "zarn_alarm_raises_total{alarm=\"hot\"} 2\n", "zarn_alarm_clears_total{alarm=\"hot\"} 1\n",
                             "zarn_alarm_raises_total{alarm=\"quiet-1900\"} 0\n",
                             "\nzarn_occupancy_period_seconds 900\n",
                             "zarn_occupancy_threshold_dbm{band=\"800\"} -100.5\n",
                             "zarn_occupancy_threshold_dbm{band=\"1900\"} -90\n",
                             "zarn_occupancy_noise_floor_dbm{band=\"800\"} -110.5\n",
                             "zarn_occupancy_places{band=\"800\"} 70\n",
                             "zarn_occupancy_band_ratio{band=\"800\"} 0.3450\n",
                             "zarn_occupancy_ratio{band=\"800\",channel=\"\",mhz=\"870.21\"} 0.0700\n",
                             "zarn_occupancy_ratio{band=\"1900\",channel=\"25\",mhz=\"1931.25\"} 1.0000\n",
                             "\nzarn_archive_up 0\n", "\nzarn_archive_records_stored 38\n",
                             "\nzarn_archive_records_behind 2\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

}  // namespace
}  // namespace zarn
