// zarn-record --listen against zarn-board-sim, as its viewers meet it: the page in
// headless Chromium (the spectrum's peak at a carrier, its waterfall, a board killed
// and found again, the recorder itself gone and back as a channel table's, its bars on
// their scale, the single-channel strip charts on a phone with an alarm raised and
// cleared); bad and hostile clients beside a good one, the token, promtool and a
// real Prometheus; a burst of connections and a peer that holds many, beside another
// client; and fifty clients and one that never reads for a minute.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "survey/colour_map.h"
#include "testing/record_child.h"
#include "testing/servers/browser_session.h"
#include "testing/servers/free_port.h"
#include "testing/servers/prometheus_server.h"
#include "testing/sim_device.h"
#include "tools/zarn_record/live_client_testing.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using nlohmann::json;
using testing::RecordChild;
using testing::waitFor;

// The built-in scene's cellular carriers, in MHz.
constexpr double kCarriers[] = {870.03, 881.52, 885.00, 891.99};

bool atCarrier(double mhz) {
    return std::any_of(std::begin(kCarriers), std::end(kCarriers), [&](double c) { return std::abs(mhz - c) < 0.016; });
}

std::string base(int port) { return "http://127.0.0.1:" + std::to_string(port) + "/"; }

std::vector<long long> loggedOffsets(const std::string& log) {
    std::vector<long long> offsets;
    for (const auto& r : testing::readLogged(log).records) offsets.push_back(static_cast<long long>(r.offset));
    return offsets;
}

// A recorder with its page on a free port.
struct Recorder {
    RecordChild child;
    std::string log;
    int port = 0;

    bool start(const std::string& root, const std::string& name, std::vector<std::string> args, int onPort = 0) {
        log = root + "/" + name + ".zrn";
        port = onPort ? onPort : testing::freePort();
        args.insert(args.end(), {"--listen", std::to_string(port), "-o", log});
        return child.start(args, {{"ZARN_ROOT", root}});
    }
    // The page answers once the board is up and the log begun.
    bool serving() {
        return waitFor([&] { return testing::httpGet(port, "/api/status").status == 200 || !child.running(); }, 20s) &&
               child.running();
    }
    size_t records() const { return testing::readLogged(log).records.size(); }
};

std::string screenshotPath(const std::string& name) {
    const char* folder = std::getenv("ZARN_BINARY_DIR");
    return std::string(folder ? folder : "/tmp") + "/" + name;
}

// ---- the page in a browser --------------------------------------------------------

class LivePage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        driver_ = new testing::ChromeDriver;
        std::string error;
        if (!driver_->start(error)) GTEST_FAIL() << error;
    }
    static void TearDownTestSuite() {
        delete driver_;
        driver_ = nullptr;
    }
    static testing::ChromeDriver* driver_;
};
testing::ChromeDriver* LivePage::driver_ = nullptr;

std::string writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// The drawn bars of a table or servers view: each level's text and its bar's length as a
// share of its track, and whether a label took more than one line.
constexpr const char* kBarsScript = R"(
    const rows = [...document.querySelectorAll('#bars .bar:not(.bar-scale)')];
    return rows.map((r) => {
      const label = r.querySelector('.label'), track = r.querySelector('.track').getBoundingClientRect();
      return {label: label.textContent, dbm: r.querySelector('.dbm').textContent,
              share: r.querySelector('.fill').getBoundingClientRect().width / track.width,
              oneLine: label.getBoundingClientRect().height < 1.5 * parseFloat(getComputedStyle(label).lineHeight)};
    });)";

// Watches the phone's page as its viewer would: the 800 MHz level shown and the alarm's
// row, noting (performance.now(), ms) when the level crossed each way and the row changed.
constexpr const char* kAlarmWatchScript = R"(
    const seen = window.seen = {below: false, up: null, raised: null, down: null, cleared: null, inView: false,
                                watched: performance.now()};
    setInterval(() => {
      const now = performance.now(), dbm = parseFloat(document.querySelector('#strip-800 .now').textContent);
      const row = document.querySelector('#alarms .alarm[data-name="hot"]');
      const state = row ? row.querySelector('.state').textContent : '';
      if (dbm < -70 && seen.up === null) seen.below = true;
      if (dbm > -70 && seen.below && seen.up === null) seen.up = now;
      if (seen.up !== null && seen.down === null && dbm < -73) seen.down = now;
      if (state === 'ON' && seen.raised === null) {
        seen.raised = now;
        seen.inView = row.getBoundingClientRect().bottom <= innerHeight && row.getBoundingClientRect().width > 0;
      }
      if (state === 'OFF' && seen.raised !== null && seen.cleared === null) seen.cleared = now;
    }, 50);)";

// One recorder of the spectrum, then of a channel table on its port; one of two single
// channels with an alarm, on a phone.
TEST_F(LivePage, ShowsTheSpectrumTheLostBoardTheBarsAndTheAlarmsAndComesBackByItself) {
    ASSERT_TRUE(driver_);
    SimDevice device;
    std::string error;
    ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, {}, error)) << error;
    Recorder spectrum;
    ASSERT_TRUE(spectrum.start(device.root, "spectrum", {"--spectrum", "870:893"}));

    testing::BrowserSession browser(*driver_);
    ASSERT_TRUE(browser.open(testing::BrowserOptions::desktop(), error)) << error;
    ASSERT_TRUE(spectrum.serving()) << spectrum.child.err();
    browser.navigate(base(spectrum.port));
    const auto opened = Clock::now();
    EXPECT_EQ(browser.title(), "Zarn live");
    ASSERT_TRUE(browser.waitUntil("return zarnLive.peakMhz !== null", 5s)) << "no trace 5 s after the page opened";
    std::printf("the first trace %.1f s after the page opened\n",
                std::chrono::duration<double>(Clock::now() - opened).count());
    const double peak = browser.execute("return zarnLive.peakMhz").get<double>();
    EXPECT_TRUE(atCarrier(peak)) << peak << " MHz is no carrier of the scene";
    EXPECT_EQ(browser.execute("return zarnLive.boardUp"), true);
    EXPECT_EQ(browser.execute("return zarnLive.sweepPoints"), 767);
    const int rows = browser.execute("return zarnLive.waterfallRows").get<int>();
    EXPECT_TRUE(browser.waitUntil("return zarnLive.waterfallRows >= " + std::to_string(rows + 2), 10s))
        << "the waterfall gains rows";

    // The readout where a pointer rests: the frequency and level under it.
    const json readout = browser.execute(R"(
        const c = document.getElementById('trace'), box = c.getBoundingClientRect();
        const x = box.left + 44 + (box.width - 52) * (881.52 - 870.0) / (892.98 - 870.0);
        c.dispatchEvent(new PointerEvent('pointermove', {clientX: x, clientY: box.top + 50, bubbles: true}));
        return zarnLive.readout;)");
    EXPECT_NEAR(readout.at("mhz").get<double>(), 881.52, 0.031) << readout;
    EXPECT_TRUE(readout.at("dbm").is_number()) << readout;
    // zarnlog plot's colours, the one table of survey/colour_map.
    const json scale = browser.execute("return zarnLive.scale");
    const std::string colour = browser.execute("return zarnLive.colourOf(-75)").get<std::string>();
    char expected[8];
    std::snprintf(expected, sizeof expected, "#%06x",
                  LevelScale{scale.at("lo").get<double>(), scale.at("hi").get<double>()}.pixel(-75));
    EXPECT_EQ(colour, expected) << scale;

    EXPECT_TRUE(browser.consoleErrors().empty()) << browser.consoleErrors().front();
    const auto elsewhere = browser.requestedUrlsOutside({base(spectrum.port), "data:"});
    EXPECT_TRUE(elsewhere.empty()) << elsewhere.front();
    browser.screenshot(screenshotPath("live-page.png"));

    // A pulled adapter: the page says so within 3 s; a board found again brings the trace back.
    device.sim.killHard();
    EXPECT_TRUE(browser.waitUntil("return zarnLive.boardUp === false && !document.getElementById('lost').hidden && "
                                  "document.getElementById('connection').textContent !== 'live'",
                                  3s))
        << "the lost board is not shown within 3 s\n"
        << spectrum.child.err();
    // The board found again hears two steady carriers, 2 dB apart, each level exactly as given.
    const std::string steady = writeFile(device.root + "/steady.scene",
                                         "jitter 0\ncarrier 0 874.50 -57 30 0\ncarrier 0 889.50 -59 30 0\n");
    SimProcess second;
    ASSERT_TRUE(second.start(ZARN_BOARD_SIM_PATH, {"--scene=" + steady}, error)) << error;
    const int before = browser.execute("return zarnLive.records").get<int>();
    EXPECT_TRUE(browser.waitUntil("return zarnLive.boardUp === true && zarnLive.records >= " + std::to_string(before + 2) +
                                      " && document.getElementById('lost').hidden && "
                                      "document.getElementById('connection').textContent === 'live'",
                                  20s))
        << spectrum.child.err();

    // The recorder gone and one of a channel table on its port: the page finds it by itself.
    spectrum.child.signal(SIGTERM);
    EXPECT_EQ(spectrum.child.wait(15s), 0) << spectrum.child.err();
    EXPECT_TRUE(browser.waitUntil("return zarnLive.ended && !zarnLive.connected", 5s));
    const std::string table = writeFile(device.root + "/steady.kct",
                                        "2\r\nTwo steady carriers\r\n0,150,Strong 874.50\r\n0,650,Weaker 889.50\r\n"
                                        "0,300,Quiet\r\n0,-1,\r\n");
    Recorder again;
    ASSERT_TRUE(again.start(device.root, "again", {"--table", table}, spectrum.port));
    EXPECT_TRUE(browser.waitUntil("return zarnLive.connected && zarnLive.connections >= 2 && zarnLive.kind === 'table' && "
                                  "zarnLive.bars === 3 && !zarnLive.ended",
                                  25s))
        << again.child.err();

    // The bars on one dBm scale: -57 and -59 differ by 2 dB of it, whole levels shown whole,
    // the table's title and its channels' names on one line each.
    EXPECT_EQ(browser.execute("return document.getElementById('table-title').textContent"), "Two steady carriers");
    const json bars = browser.execute(kBarsScript);
    ASSERT_EQ(bars.size(), 3u) << bars;
    EXPECT_EQ(bars[0].at("dbm"), "-57 dBm") << bars;
    EXPECT_EQ(bars[1].at("dbm"), "-59 dBm") << bars;
    EXPECT_NE(bars[0].at("label").get<std::string>().find("Strong 874.50"), std::string::npos) << bars;
    const json barScale = browser.execute("return zarnLive.barScale");
    const double span = barScale.at("hi").get<double>() - barScale.at("lo").get<double>();
    EXPECT_NEAR((bars[0].at("share").get<double>() - bars[1].at("share").get<double>()) * span, 2.0, 0.05) << bars;
    EXPECT_NEAR(bars[0].at("share").get<double>() * span, -57 - barScale.at("lo").get<double>(), 0.05) << bars;
    for (const json& bar : bars) EXPECT_TRUE(bar.at("oneLine").get<bool>()) << bar;
    browser.screenshot(screenshotPath("live-page-table.png"));

    // The single channels on a phone: a strip chart per band, and an alarm raised by a
    // carrier that the simulator turns on 7 s after its start and off 4 s later.
    const std::string stepped = writeFile(device.root + "/stepped.scene",
                                          "carrier 0 881.52 -50 30 0 7 from 7 until 11\ncarrier 1 1962.50 -58 1250\n");
    SimProcess singleBoard;
    ASSERT_TRUE(singleBoard.start(ZARN_BOARD_SIM_PATH, {"--no-register", "--scene=" + stepped}, error)) << error;
    Recorder single;
    ASSERT_TRUE(single.start(device.root, "single", {"--single", "881.52,1962.5", "--port", singleBoard.ptyPath(), "--alarm",
                                                     "hot: 881.52 > -70 for 1", "--occupancy", "--period", "2s"}));
    browser.setViewport(390, 844, true);
    ASSERT_TRUE(single.serving()) << single.child.err();
    browser.navigate(base(single.port));
    EXPECT_TRUE(browser.waitUntil("return zarnLive.kind === 'single' && zarnLive.strips['800'] >= 3 && "
                                  "zarnLive.strips['1900'] >= 3 && document.querySelectorAll('#strips canvas').length === 2",
                                  15s))
        << browser.execute("return JSON.stringify(zarnLive)");
    browser.execute(kAlarmWatchScript);
    ASSERT_TRUE(browser.waitUntil("return seen.cleared !== null", 20s))
        << browser.execute("return JSON.stringify(seen)") << single.child.err();
    // Within the rule's 1 s and 2 s more of the level crossing on the page, each way.
    const json seen = browser.execute("return seen");
    std::printf("the step came %.1f s after the phone's page was watched\n",
                (seen.at("up").get<double>() - seen.at("watched").get<double>()) / 1000);
    EXPECT_TRUE(seen.at("below").get<bool>()) << "the page opened after the step: " << seen;
    EXPECT_LE(seen.at("raised").get<double>() - seen.at("up").get<double>(), 3000) << seen;
    EXPECT_LE(seen.at("cleared").get<double>() - seen.at("down").get<double>(), 3000) << seen;
    EXPECT_TRUE(seen.at("inView").get<bool>()) << "the raised alarm is not in the phone's first screen";
    EXPECT_TRUE(browser.waitUntil("return !document.getElementById('occupancy-panel').hidden && "
                                  "document.getElementById('occupancy').textContent.startsWith('busiest')",
                                  5s))
        << "no occupancy period on the page";
    EXPECT_TRUE(browser.consoleErrors().empty()) << browser.consoleErrors().front();
    EXPECT_TRUE(browser.requestedUrlsOutside({base(single.port), "data:"}).empty());
    browser.screenshot(screenshotPath("live-page-phone.png"));
}

// ---- bad and hostile clients ------------------------------------------------------

// Polls a set of stream clients on a thread of its own until stopped.
class Readers {
public:
    explicit Readers(std::vector<testing::StreamClient*> clients) : clients_(std::move(clients)) {
        thread_ = std::thread([this] {
            while (!stop_) {
                std::vector<pollfd> fds;
                for (auto* c : clients_) fds.push_back({c->fd(), POLLIN, 0});
                poll(fds.data(), fds.size(), 50);
                for (size_t i = 0; i < fds.size(); ++i)
                    if (fds[i].revents) clients_[i]->read();
            }
            for (auto* c : clients_) c->read();
        });
    }
    ~Readers() { stop(); }
    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

private:
    std::vector<testing::StreamClient*> clients_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::string tokenFile(const std::string& root, const std::string& token) {
    const std::string path = root + "/live.token";
    std::ofstream(path) << token << "\n";
    chmod(path.c_str(), 0600);
    return path;
}

TEST(LiveClients, BadRequestsGetTheir4xxAndAStalledClientIsDroppedWhileAGoodOneGetsEveryRecord) {
    SimDevice device;
    std::string error;
    ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, {"--unpaced"}, error)) << error;
    // As base64 makes them: a '+' comes as a blank in a query that is not escaped.
    const std::string token = "kq3+Wm9/Tz4+Lp2=Xv8=";
    const std::string bearer = "Authorization: Bearer " + token + "\r\n";
    Recorder recorder;
    // An alarm that raises at once and occupancy by the second, so that what Prometheus scrapes has them.
    ASSERT_TRUE(recorder.start(device.root, "hostile",
                               {"--spectrum", "870:893", "--listen-token", tokenFile(device.root, token), "--alarm",
                                "hot: 870:893 > -140 for 0", "--occupancy", "--period", "1s", "--allow-host",
                                "Zarn.Example"}));
    const int port = recorder.port;
    ASSERT_TRUE(waitFor([&] { return testing::httpGet(port, "/api/status", bearer).status == 200; }, 20s))
        << recorder.child.err();

    // Prometheus first: it hands a new target to its scrapers some 5 s after its start.
    testing::PrometheusServer prometheus({"127.0.0.1:" + std::to_string(port), "/metrics", tokenFile(device.root, token)});
    ASSERT_TRUE(prometheus.start(error)) << error;
    testing::StreamClient good, stalled;
    ASSERT_TRUE(good.open(port, "/api/stream", bearer));
    ASSERT_TRUE(stalled.open(port, "/api/stream?token=" + token, "", 4096));
    Readers readers({&good});

    // The slow-loris client sends a header line a second and never ends its head.
    std::string slow;
    std::thread loris([&] {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return;
        std::string got;
        send(fd, "GET / HTTP/1.1\r\nHost: x\r\n", 25, MSG_NOSIGNAL);
        for (int i = 0; i < 30 && got.find("\r\n") == std::string::npos; ++i) {
            send(fd, "X-Slow: 1\r\n", 11, MSG_NOSIGNAL);
            std::this_thread::sleep_for(1s);
            char buffer[256];
            for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) got.append(buffer, static_cast<size_t>(n));
        }
        slow = got.substr(0, got.find("\r\n"));
        close(fd);
    });

    const std::string tokened = "?token=" + token;
    const struct {
        const char* what;
        std::string request;
        const char* answer;
    } bad[] = {
        {"not a request line", "GARBAGE\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"no version", "GET /\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"a TLS handshake", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11) + std::string(64, 'x'),
         "HTTP/1.1 400 Bad Request"},
        {"an unknown method", "BREW /" + tokened + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 405 Method Not Allowed"},
        {"a POST", "POST /api/status" + tokened + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 4\r\n\r\nstop",
         "HTTP/1.1 405 Method Not Allowed"},
        {"a parent in the path", "GET /../../etc/passwd" + tokened + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"an escaped parent", "GET /%2e%2e/etc/passwd" + tokened + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"a huge header", "GET /" + tokened + " HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: " + std::string(100000, 'a') + "\r\n\r\n",
         "HTTP/1.1 431 Request Header Fields Too Large"},
        {"a huge path", "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 414 URI Too Long"},
        {"no token", "GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 401 Unauthorized"},
        {"a wrong token", "GET /metrics?token=kq3+Wm9/Tz4+Lp2=Xv9= HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 401 Unauthorized"},
        {"a wrong bearer", "GET /api/stream HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer nope\r\n\r\n",
         "HTTP/1.1 401 Unauthorized"},
        {"no such page", "GET /etc/passwd" + tokened + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 404 Not Found"},
        {"another site's name (DNS rebinding)",
         "GET /api/status" + tokened + " HTTP/1.1\r\nHost: attacker.example:" + std::to_string(port) + "\r\n\r\n",
         "HTTP/1.1 421 Misdirected Request"},
        {"no name", "GET /api/status" + tokened + " HTTP/1.0\r\n\r\n", "HTTP/1.1 421 Misdirected Request"},
        {"a name given", "GET /api/status" + tokened + " HTTP/1.1\r\nHost: zarn.example\r\n\r\n", "HTTP/1.1 200 OK"},
        {"localhost", "GET /api/status" + tokened + " HTTP/1.1\r\nHost: LOCALHOST:" + std::to_string(port) + "\r\n\r\n",
         "HTTP/1.1 200 OK"},
    };
    for (const auto& b : bad) EXPECT_EQ(testing::exchange(port, b.request), b.answer) << b.what;
    EXPECT_EQ(testing::httpGet(port, "/" + tokened).status, 200) << "the page with the token it keeps, as given";
    EXPECT_EQ(testing::httpGet(port, "/favicon.ico" + tokened).status, 204);

    // The stalled client goes, the good one stays.
    const auto metric = [&](const std::string& name) {
        const std::string text = testing::httpGet(port, "/metrics", bearer).body;
        const size_t at = text.find("\n" + name + " ");
        return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + name.size() + 2);
    };
    EXPECT_TRUE(waitFor([&] { return metric("zarn_stream_clients_dropped_total") >= 1; }, 40s))
        << "the client that takes nothing is not dropped";
    EXPECT_EQ(metric("zarn_stream_clients"), 1.0) << "the good client stays";
    loris.join();
    EXPECT_EQ(slow, "HTTP/1.1 408 Request Timeout") << "the slow-loris client";

    // Prometheus scrapes with the token; promtool passes what it scrapes.
    ASSERT_TRUE(prometheus.waitUntilTargetUp(30s, error)) << error;
    EXPECT_EQ(prometheus.queryValue("zarn_board_up"), 1.0);
    EXPECT_GT(prometheus.queryValue("zarn_records_written_total{kind=\"spectrum\"}").value_or(0), 0.0);
    EXPECT_TRUE(prometheus.queryValue("zarn_sweep_peak_mhz{band=\"800\"}").has_value());
    EXPECT_EQ(prometheus.queryValue("zarn_alarm_raised{alarm=\"hot\"}"), 1.0);
    EXPECT_GT(prometheus.queryValue("zarn_occupancy_places{band=\"800\"}").value_or(0), 64.0) << "a sweep's points";
    EXPECT_EQ(prometheus.queryValue("count(zarn_occupancy_ratio)"), 64.0) << "the busiest of them";
    const std::string exposition = testing::httpGet(port, "/metrics", bearer).body;
    const testing::PromtoolVerdict verdict = testing::promtoolCheckMetrics(exposition);
    EXPECT_TRUE(verdict.passed) << verdict.output << exposition;

    recorder.child.signal(SIGTERM);
    EXPECT_EQ(recorder.child.wait(15s), 0) << recorder.child.err();
    readers.stop();
    EXPECT_TRUE(good.saw("status"));
    EXPECT_TRUE(good.saw("end")) << "the stream ends with the recording";
    const std::vector<long long> logged = loggedOffsets(recorder.log);
    EXPECT_GT(logged.size(), 20u);
    EXPECT_EQ(good.recordOffsets(), logged) << "the good client got every record, in order";
}

// A burst of 300 connections that each send a request line and no more, then 64 that send
// nothing, all from 127.0.0.1 and held open: a client on 127.0.0.2 is answered after each,
// and SIGTERM still ends the recorder at once.
TEST(LiveClients, ABurstAndAPeerHoldingManyConnectionsShutNobodyOutAndAStopStillEnds) {
    constexpr int kBurst = 300, kIdle = 64;
    SimDevice device;
    std::string error;
    ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, {}, error)) << error;
    Recorder recorder;
    ASSERT_TRUE(recorder.start(device.root, "flood", {"--spectrum", "870:893"}));
    ASSERT_TRUE(recorder.serving()) << recorder.child.err();
    const auto other = [&] { return testing::httpGet(recorder.port, "/api/status", "", "127.0.0.2").status; };

    std::vector<int> held;
    const auto open = [&](int count, const std::string& send) {
        for (int i = 0; i < count; ++i) {
            const int fd = testing::openConnection(recorder.port);
            if (fd < 0) return false;  // the page no longer accepts
            held.push_back(fd);
            if (!send.empty()) (void)!::send(fd, send.data(), send.size(), MSG_NOSIGNAL);
        }
        return true;
    };
    EXPECT_TRUE(open(kBurst, "GET / HTTP/1.1\r\n")) << "after " << held.size() << " connections";
    EXPECT_EQ(other(), 200) << "after the burst\n" << recorder.child.err();
    EXPECT_TRUE(open(kIdle, "")) << "after " << held.size() << " connections";
    EXPECT_EQ(other(), 200) << "beside one address's idle connections\n" << recorder.child.err();

    recorder.child.signal(SIGTERM);
    const auto signalled = Clock::now();
    const int status = recorder.child.wait(15s);
    const double took = std::chrono::duration<double>(Clock::now() - signalled).count();
    std::printf("the recorder ended %.2f s after SIGTERM, with %zu connections open\n", took, held.size());
    EXPECT_EQ(status, 0) << "it did not end within 15 s of SIGTERM\n" << recorder.child.err();
    for (const int fd : held) close(fd);
}

// ---- load ---------------------------------------------------------------------------

// How long the load runs: 15 s in CI, ZARN_LOAD_SECONDS when given (a minute to measure).
std::chrono::seconds loadRun() {
    const char* given = std::getenv("ZARN_LOAD_SECONDS");
    const int seconds = given ? std::atoi(given) : 0;
    return std::chrono::seconds(seconds > 0 ? seconds : 15);
}

// Two recorders of the same paced spectrum side by side, one with 50 reading clients and
// one that never reads, the other with none: the same records, every one to every reader.
TEST(LiveClients, FiftyClientsAndOneThatNeverReadsCostTheRecordingNothing) {
    constexpr int kClients = 50;
    const auto kRun = loadRun();
    SimDevice device;
    std::string error;
    ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, {}, error)) << error;
    SimProcess quietBoard;
    ASSERT_TRUE(quietBoard.start(ZARN_BOARD_SIM_PATH, {"--no-register"}, error)) << error;
    Recorder watched, quiet;
    ASSERT_TRUE(watched.start(device.root, "watched", {"--spectrum", "870:893"}));
    ASSERT_TRUE(quiet.start(device.root, "quiet", {"--spectrum", "870:893", "--port", quietBoard.ptyPath()}));

    // The clients ask as soon as the port is bound, before the board is up: no record is missed.
    ASSERT_TRUE(waitFor([&] { return testing::acceptsConnections(watched.port); }, 10s)) << watched.child.err();
    std::vector<std::unique_ptr<testing::StreamClient>> clients;
    std::vector<testing::StreamClient*> reading;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<testing::StreamClient>());
        ASSERT_TRUE(clients.back()->open(watched.port)) << i;
        reading.push_back(clients.back().get());
    }
    testing::StreamClient never;
    ASSERT_TRUE(never.open(watched.port, "/api/stream", "", 4096));
    Readers readers(reading);

    ASSERT_TRUE(watched.serving() && quiet.serving()) << watched.child.err() << quiet.child.err();
    ASSERT_TRUE(waitFor([&] { return watched.records() >= 1 && quiet.records() >= 1; }, 15s));
    const double watchedBefore = testing::processorSeconds(watched.child.pid());
    const double quietBefore = testing::processorSeconds(quiet.child.pid());
    std::this_thread::sleep_for(kRun);
    const double watchedCpu = testing::processorSeconds(watched.child.pid()) - watchedBefore;
    const double quietCpu = testing::processorSeconds(quiet.child.pid()) - quietBefore;
    const std::string metrics = testing::httpGet(watched.port, "/metrics").body;
    watched.child.signal(SIGTERM);
    quiet.child.signal(SIGTERM);
    EXPECT_EQ(watched.child.wait(15s), 0) << watched.child.err();
    EXPECT_EQ(quiet.child.wait(15s), 0) << quiet.child.err();
    readers.stop();

    const std::vector<long long> logged = loggedOffsets(watched.log);
    const size_t quietRecords = testing::readLogged(quiet.log).records.size();
    std::printf("in %lld s: %zu records with %d clients and one that never reads, %zu without clients\n"
                "recorder processor time: %.2f s with the clients (%.2f %% of a core), %.2f s without (%.2f %%)\n",
                static_cast<long long>(kRun.count()), logged.size(), kClients, quietRecords, watchedCpu,
                100 * watchedCpu / kRun.count(), quietCpu, 100 * quietCpu / kRun.count());
    const size_t at = metrics.find("\nzarn_stream_clients_dropped_total ");
    std::printf("stream clients dropped: %s\n",
                at == std::string::npos ? "?" : metrics.substr(at + 35, metrics.find('\n', at + 1) - at - 35).c_str());
    EXPECT_LE(std::max(logged.size(), quietRecords) - std::min(logged.size(), quietRecords), 1u)
        << "the log with clients has as many records as the one without, within a sweep";
    for (int i = 0; i < kClients; ++i) {
        EXPECT_EQ(clients[static_cast<size_t>(i)]->recordOffsets(), logged) << "client " << i;
        EXPECT_TRUE(clients[static_cast<size_t>(i)]->saw("end")) << "client " << i;
    }
}

}  // namespace
}  // namespace zarn
