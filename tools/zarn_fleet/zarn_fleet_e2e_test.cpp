// zarn-fleet over a real archive of four sites (one named as a hostile operator might), as an
// operator and a viewer meet it: the API against hourly figures worked out by hand, bad
// requests and tokens, the database's own refusal, the metrics through promtool, an event
// committed late; the page in headless Chromium showing each site's state and a change without
// a reload, a name shown as text, an operator adding and stopping a task from it, a viewer's
// click refused, and nothing fetched from another host.
#include <gtest/gtest.h>
#include <httplib.h>
#include <stdlib.h>
#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include <nlohmann/json.hpp>

#include "outputs/archive/archive_connection.h"
#include "outputs/archive/archive_schema.h"
#include "testing/child_program.h"
#include "testing/servers/browser_session.h"
#include "testing/servers/free_port.h"
#include "testing/servers/postgres_server.h"
#include "testing/servers/prometheus_server.h"
#include "testing/servers/wait_until.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;
using testing::PostgresServer;

constexpr const char* kViewerToken = "viewer-token-0123456789";
constexpr const char* kOperatorToken = "operator-token-9876543210";
// A site's name as HTML that runs script, with blanks: shown as text, and its page opens.
constexpr const char* kOddSite = "<img src=x onerror=window.pwned=1>";
constexpr const char* kOddSitePath = "/api/sites/%3Cimg%20src=x%20onerror=window.pwned=1%3E";

struct Reply {
    int status = 0;
    json body;
};

class Fleet : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        char folder[] = "/tmp/zarn-fleet-XXXXXX";
        dir_ = mkdtemp(folder);
        db_ = new PostgresServer;
        if (!db_->start(error) || !db_->createDatabase("fleet", PostgresServer::WithPostgis, error))
            GTEST_FAIL() << error;
        std::ofstream pass(dir_ + "/pgpass");
        for (const char* role :
             {"fleet_owner", "fleet_viewer", "fleet_operator", "hill_rec", "coast_rec", "valley_rec", "odd_rec"}) {
            if (!db_->createRole(role, std::string(role) + " word", error)) GTEST_FAIL() << error;
            std::ifstream one(db_->writePgpass(role, std::string(role) + " word"));
            pass << one.rdbuf();
        }
        pass.close();
        fs::permissions(dir_ + "/pgpass", fs::perms::owner_read | fs::perms::owner_write);
        setenv("PGPASSFILE", (dir_ + "/pgpass").c_str(), 1);
        for (const auto& [file, token] : {std::pair("viewer", kViewerToken), std::pair("operator", kOperatorToken)}) {
            std::ofstream(dir_ + "/" + file) << token << "\n";
            fs::permissions(dir_ + "/" + file, fs::perms::owner_read | fs::perms::owner_write);
        }
        db_->scalar("fleet", "ALTER DATABASE fleet OWNER TO fleet_owner; SELECT 1");
        {
            ArchiveConnection owner;
            int was = 0;
            if (!owner.open(as("fleet_owner"), "test", error) || !prepareSchema(owner, was, error)) GTEST_FAIL() << error;
        }
        // The DBA's grants and the operator's sites, as docs/network.md makes them.
        db_->scalar("fleet",
                    "GRANT USAGE ON SCHEMA zarn TO fleet_viewer, fleet_operator; "
                    "GRANT SELECT ON ALL TABLES IN SCHEMA zarn TO fleet_viewer, fleet_operator; "
                    "GRANT INSERT, UPDATE, DELETE ON zarn.tasks TO fleet_operator; "
                    "GRANT EXECUTE ON FUNCTION zarn.add_site(text, name, float8, float8, text) TO fleet_operator; "
                    "SET ROLE fleet_operator; "
                    "SELECT zarn.add_site('hill', 'hill_rec', 47.3769, 8.5417, 'water tower'), "
                    "zarn.add_site('coast', 'coast_rec', 47.05, 8.31, NULL), "
                    "zarn.add_site('valley', 'valley_rec', 46.95, 7.45, NULL), "
                    "zarn.add_site('" + std::string(kOddSite) + "', 'odd_rec', 46.6, 8.0, NULL)");
        // Hourly figures worked out by hand: hill, 881.52 MHz at 06:00 on two days and 07:00 on
        // one, 881.55 MHz at 06:00 on the first; coast in the other band alone.
        db_->scalar("fleet",
                    "SELECT zarn.make_month('2026-11-01'); "
                    "INSERT INTO zarn.hourly_figures (site, hour, band, hz, samples, sum_mw, min_dbm, max_dbm, low_bin, bins) "
                    "VALUES ('hill', '2026-11-02 06:00', 800, 881520000, 4, 2e-8 + 1e-7 + 1e-6, -80, -60, -80, "
                    "        array_cat(array_cat(ARRAY[2], array_fill(0, ARRAY[9]) || 1), array_fill(0, ARRAY[9]) || 1)), "
                    "       ('hill', '2026-11-03 06:00', 800, 881520000, 2, 1e-9 + 1e-5, -90, -50, -90, "
                    "        ARRAY[1] || array_fill(0, ARRAY[39]) || 1), "
                    "       ('hill', '2026-11-02 07:00', 800, 881520000, 1, 1e-10, -100, -100, -100, ARRAY[1]), "
                    "       ('hill', '2026-11-02 06:00', 800, 881550000, 1, 10 ^ -7.5, -75, -75, -75, ARRAY[1]), "
                    "       ('coast', '2026-11-02 06:00', 1900, 1930050000, 1, 1e-9, -90, -90, -90, ARRAY[1]); "
                    "SELECT 1");
    }
    static void TearDownTestSuite() {
        delete db_;
        db_ = nullptr;
        fs::remove_all(dir_);
    }

    static std::string as(const std::string& role) { return db_->roleConninfo(role, "fleet"); }

    // zarn-fleet as `role`, with both tokens; it answers once its page does.
    std::unique_ptr<ChildProgram> startFleet(const std::string& role, int& port) {
        port = testing::freePort();
        auto child = std::make_unique<ChildProgram>(
            ZARN_FLEET_PATH,
            std::vector<std::string>{"--archive", as(role), "--listen", std::to_string(port), "--token",
                                     dir_ + "/viewer", "--operator-token", dir_ + "/operator"},
            std::map<std::string, std::string>{{"PGPASSFILE", dir_ + "/pgpass"}}, dir_ + "/" + role + ".log");
        const bool up = testing::waitUntil([&] { return get(port, "/api/sites").status == 200 || !child->running(); }, 15s);
        EXPECT_TRUE(up && child->running()) << child->output();
        return child;
    }

    static Reply request(int port, const std::string& method, const std::string& path, const std::string& token,
                         const std::string& form = "") {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(10, 0);
        httplib::Headers headers;
        if (!token.empty()) headers.emplace("Authorization", "Bearer " + token);
        const auto answer = method == "POST" ? client.Post(path, headers, form, "application/x-www-form-urlencoded")
                                             : client.Get(path, headers);
        if (!answer) return {};
        return {answer->status, json::parse(answer->body, nullptr, false)};
    }
    static Reply get(int port, const std::string& path, const std::string& token = kViewerToken) {
        return request(port, "GET", path, token);
    }
    // The first line of what comes back for `raw` sent alone.
    static std::string firstLine(int port, const std::string& raw) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const timeval wait{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        std::string got;
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            send(fd, raw.data(), raw.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(raw.size())) {
            char buffer[256];
            for (ssize_t n; got.find("\r\n") == std::string::npos && (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
                got.append(buffer, static_cast<size_t>(n));
        }
        close(fd);
        return got.substr(0, got.find("\r\n"));
    }
    static std::string metricsText(int port) {
        httplib::Client client("127.0.0.1", port);
        const auto answer = client.Get("/metrics", {{"Authorization", std::string("Bearer ") + kViewerToken}});
        return answer ? answer->body : "";
    }

    // A heartbeat as the site's own role writes it.
    static void heartbeat(const std::string& site, const std::string& state, const std::string& age = "0 s") {
        const auto done = testing::runSql(
            as(site + "_rec"),
            "INSERT INTO zarn.health (site, at, heartbeat, state, version, backlog, disk_free, alarms) "
            "VALUES ($1, now() - $3::interval, 30, $2, '1', 4, 5e9, 0) "
            "ON CONFLICT (site) DO UPDATE SET at = EXCLUDED.at, state = EXCLUDED.state",
            {site, state, age});
        ASSERT_TRUE(done.ok()) << done.error;
    }

    static PostgresServer* db_;
    static std::string dir_;
};
PostgresServer* Fleet::db_ = nullptr;
std::string Fleet::dir_;

TEST_F(Fleet, ApiAnswersFromTheHourlyFiguresRefusesBadRequestsAndTheDatabaseDecides) {
    int port = 0;
    const auto fleet = startFleet("fleet_viewer", port);
    ASSERT_TRUE(fleet->running());
    heartbeat("hill", "recording");

    // The picture: mean dBm (in mW) hour by hour from the first hour, a column per frequency.
    const Reply picture = get(port, "/api/sites/hill/hourly?band=800&from=2026-11-02&to=2026-11-04");
    ASSERT_EQ(picture.status, 200) << picture.body;
    EXPECT_EQ(picture.body["mhz"], json::parse("[881.52, 881.55]"));
    EXPECT_EQ(picture.body["hours"], 48);
    const json& mean = picture.body["mean"];
    ASSERT_EQ(mean.size(), 96u);
    EXPECT_DOUBLE_EQ(mean[6 * 2].get<double>(), -65.5);   // 10 log10(1.12e-6 / 4)
    EXPECT_DOUBLE_EQ(mean[6 * 2 + 1].get<double>(), -75);
    EXPECT_DOUBLE_EQ(mean[7 * 2].get<double>(), -100);
    EXPECT_DOUBLE_EQ(mean[30 * 2].get<double>(), -53);    // 10 log10(1.0001e-5 / 2)
    EXPECT_EQ(std::count_if(mean.begin(), mean.end(), [](const json& v) { return !v.is_null(); }), 4);

    // By hour of the day over both days: -90 -80 -80 -70 -60 -50 at 06:00.
    const Reply day = get(port, "/api/sites/hill/hourly?band=800&mhz=881.52&from=2026-11-02&to=2026-11-04T00:00Z");
    ASSERT_EQ(day.status, 200) << day.body;
    EXPECT_EQ(day.body["hours"], json::parse(R"([
        {"hour": 6, "samples": 6, "mean": -57.32, "p10": -90, "p50": -80, "p90": -50},
        {"hour": 7, "samples": 1, "mean": -100, "p10": -100, "p50": -100, "p90": -100}])"));
    EXPECT_EQ(get(port, "/api/sites/coast/hourly?band=800&from=2026-11-02&to=2026-11-04").body["mhz"], json::array());

    // Beyond the 32-bit integers: none measured there, and no failure.
    EXPECT_EQ(get(port, "/api/sites/hill/hourly?band=1900&mhz=2200&from=2026-11-02&to=2026-11-04").body["hours"],
              json::array());

    const Reply sites = get(port, "/api/sites");
    ASSERT_EQ(sites.body["sites"].size(), 4u);
    EXPECT_EQ(sites.body["sites"][0]["name"], kOddSite);
    EXPECT_EQ(sites.body["sites"][2]["name"], "hill");
    EXPECT_EQ(sites.body["sites"][2]["state"], "recording");
    EXPECT_EQ(sites.body["sites"][2]["lat"], 47.3769);
    EXPECT_EQ(sites.body["sites"][3]["state"], "never heard");
    const Reply odd = get(port, kOddSitePath);
    ASSERT_EQ(odd.status, 200) << "a blank in a site's name";
    EXPECT_EQ(odd.body["site"]["name"], kOddSite);

    // A site's page holds its newest 200 runs, oldest first.
    db_->scalar("fleet",
                "INSERT INTO zarn.task_runs (site, started_at, ended_at, records, outcome) "
                "SELECT 'hill', timestamptz '2026-11-01' + n * interval '1 h', timestamptz '2026-11-01' + n * "
                "interval '1 h' + interval '10 min', n, 'done' FROM generate_series(1, 205) n; SELECT 1");
    const Reply hill = get(port, "/api/sites/hill");
    EXPECT_EQ(hill.body["site"]["disk_free"], 5000000000LL);
    EXPECT_EQ(hill.body["runs"].size(), 200u);
    EXPECT_EQ(hill.body["runs"][0]["records"], 6);
    EXPECT_EQ(hill.body["runs"][199]["records"], 205);

    // 1400 frequencies over 62 days: a picture too large to send.
    db_->scalar("fleet",
                "INSERT INTO zarn.hourly_figures (site, hour, band, hz, samples, sum_mw, min_dbm, max_dbm, low_bin, bins) "
                "SELECT 'valley', '2026-11-02 06:00', 800, 869000000 + 30000 * n, 1, 1e-9, -90, -90, -90, ARRAY[1] "
                "FROM generate_series(1, 1400) n; SELECT 1");

    const std::string sitesBefore = db_->scalar("fleet", "SELECT count(*) FROM zarn.sites");
    struct Bad {
        const char* what;
        std::string method, path, token, form;
        int status;
        const char* says;
    };
    const std::string window = "&from=2026-11-02&to=2026-11-04";
    const std::vector<Bad> bad{
        {"unknown site", "GET", "/api/sites/nowhere/hourly?band=800" + window, kViewerToken, "", 404, "no site"},
        {"unknown site's events", "GET", "/api/sites/nowhere/events", kViewerToken, "", 404, "no site"},
        {"a band that is none", "GET", "/api/sites/hill/hourly?band=900" + window, kViewerToken, "", 400, "band"},
        {"a date that is none", "GET", "/api/sites/hill/hourly?band=800&from=2026-02-30&to=2026-03-02", kViewerToken,
         "", 400, "from must be a time"},
        {"to before from", "GET", "/api/sites/hill/hourly?band=800&from=2026-11-04&to=2026-11-02", kViewerToken, "",
         400, "after from"},
        {"ten years", "GET", "/api/sites/hill/hourly?band=800&from=2016-11-02&to=2026-11-02", kViewerToken, "", 400,
         "at most 62 days"},
        {"a frequency that is none", "GET", "/api/sites/hill/hourly?band=800&mhz=1e400" + window, kViewerToken, "",
         400, "mhz"},
        {"SQL in a site", "GET", "/api/sites/x'OR'1'='1/hourly?band=800" + window,
         kViewerToken, "", 404, "no site"},
        {"SQL in a band", "GET", "/api/sites/hill/hourly?band=800%20OR%201=1" + window, kViewerToken, "", 400, "band"},
        {"too many events", "GET", "/api/sites/hill/events?limit=100000", kViewerToken, "", 400, "limit"},
        {"a picture too large", "GET", "/api/sites/valley/hourly?band=800&from=2026-09-20&to=2026-11-21", kViewerToken,
         "", 400, "at most 2000000 cells"},
        {"a site that is no UTF-8", "GET", "/api/sites/%FF", kViewerToken, "", 400, "UTF-8"},
        {"a query that is no UTF-8", "GET", "/api/tasks?site=%FF", kViewerToken, "", 400, "UTF-8"},
        {"a NUL in a task's options", "POST", "/api/tasks", kOperatorToken, "action=add&site=hill&options=--single+881.52%00",
         400, "UTF-8"},
        {"no token", "GET", "/api/sites", "", "", 401, nullptr},
        {"a wrong token", "GET", "/api/sites", "operator-token-9876543211", "", 401, nullptr},
        {"a change with the viewer's token", "POST", "/api/tasks", kViewerToken,
         "action=add&site=hill&options=--single+881.52", 403, "operator"},
        {"a task that runs a program", "POST", "/api/tasks", kOperatorToken,
         "action=add&site=hill&options=--single+881.52+--on-alarm+%2Fbin%2Fsh", 400, "refuse"},
        {"an action that is none", "POST", "/api/tasks", kOperatorToken, "action=drop&task=1", 400, "action"},
        // The operator's token, but zarn-fleet's role is a viewer's: the database refuses.
        {"a role without the right", "POST", "/api/tasks", kOperatorToken,
         "action=add&site=hill&options=--single+881.52", 403, "permission denied"},
    };
    for (const Bad& b : bad) {
        const Reply r = request(port, b.method, b.path, b.token, b.form);
        EXPECT_EQ(r.status, b.status) << b.what << ": " << r.body;
        if (b.says) {
            EXPECT_NE(r.body.value("error", "").find(b.says), std::string::npos) << b.what << ": " << r.body;
        }
    }
    EXPECT_EQ(db_->scalar("fleet", "SELECT count(*) FROM zarn.sites"), sitesBefore);
    EXPECT_EQ(db_->scalar("fleet", "SELECT count(*) FROM zarn.tasks"), "0");
    // A body said to be too large is refused before it comes.
    EXPECT_EQ(firstLine(port, "POST /api/tasks HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " +
                                  std::string(kOperatorToken) +
                                  "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 70000\r\n\r\n"),
              "HTTP/1.1 413 Content Too Large");

    const std::string metrics = metricsText(port);
    EXPECT_NE(metrics.find("zarn_fleet_site_up{site=\"hill\"} 1"), std::string::npos) << metrics;
    EXPECT_NE(metrics.find("zarn_fleet_site_silent{site=\"valley\"} 1"), std::string::npos) << metrics;
    const auto verdict = testing::promtoolCheckMetrics(metrics);
    EXPECT_TRUE(verdict.passed) << verdict.output;
}

TEST_F(Fleet, PageShowsEachStateLiveAndAnOperatorChangesTasksFromIt) {
    heartbeat("hill", "recording");
    heartbeat("coast", "board lost");
    heartbeat("valley", "recording", "200 s");  // three heartbeats and more ago: silent
    int port = 0;
    const auto fleet = startFleet("fleet_operator", port);
    ASSERT_TRUE(fleet->running());
    testing::ChromeDriver driver;
    std::string error;
    ASSERT_TRUE(driver.start(error)) << error;
    testing::BrowserSession browser(driver);
    ASSERT_TRUE(browser.open(testing::BrowserOptions::phone(), error)) << error;
    const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/";
    browser.navigate(base + "?token=" + kOperatorToken);

    const auto shows = [&](const std::string& site, const std::string& state) {
        return "const row = document.querySelector('#sites tr[data-site=\"" + site +
               "\"]'); const dot = document.querySelector('path[data-site=\"" + site + "\"]'); "
               "return !!row && row.querySelector('.state').textContent === '" + state +
               "' && !!dot && dot.getAttribute('data-state') === '" + state + "'";
    };
    EXPECT_TRUE(browser.waitUntil(shows("hill", "recording"), 5s));
    EXPECT_TRUE(browser.waitUntil(shows("coast", "board lost"), 5s));
    EXPECT_TRUE(browser.waitUntil(shows("valley", "silent"), 5s));
    // The odd site's name on its dot is text, not HTML.
    browser.execute("document.querySelector('path[data-site=\"" + std::string(kOddSite) +
                    "\"]').dispatchEvent(new MouseEvent('mouseover', {bubbles: true}))");
    ASSERT_TRUE(browser.waitUntil("return document.querySelector('.leaflet-tooltip') !== null", 5s));
    EXPECT_EQ(browser.execute("const tip = document.querySelector('.leaflet-tooltip'); "
                              "return tip.textContent + ' ' + (tip.querySelector('img') === null)"),
              std::string(kOddSite) + " true");

    // The board lost at hill, back at coast: on the page within 5 s, without a reload.
    const auto event = [&](const std::string& kind) {
        const auto done = testing::runSql(as("hill_rec"), "INSERT INTO zarn.events (site, at, kind) VALUES ('hill', now(), $1)",
                                          {kind});
        EXPECT_TRUE(done.ok()) << done.error;
    };
    browser.execute("window.notReloaded = true");
    heartbeat("hill", "board lost");
    event("board lost");
    heartbeat("coast", "recording");
    EXPECT_TRUE(browser.waitUntil(shows("hill", "board lost"), 5s));
    EXPECT_TRUE(browser.waitUntil(shows("coast", "recording"), 5s));
    EXPECT_EQ(browser.execute("return window.notReloaded === true"), true);

    // A site's picture and the percentiles of a frequency, from the hourly figures.
    browser.execute("document.getElementById('from').value = '2026-11-02'; "
                    "document.getElementById('mhz').value = '881.52'; "
                    "document.querySelector('#sites tr[data-site=\"hill\"]').click();");
    EXPECT_TRUE(browser.waitUntil("return window.fleet.pictures.hill && window.fleet.profile && "
                                  "window.fleet.profile.length === 2", 5s));
    EXPECT_EQ(browser.execute("return window.fleet.pictures.hill.mean.filter((v) => v !== null).length"), 4);
    EXPECT_EQ(browser.execute("return [...document.querySelectorAll('#profile-table tbody tr')][0].textContent"),
              "66-90-80-50");
    // The site's events: what it said before, and what it says now, as it comes.
    EXPECT_TRUE(browser.waitUntil("return document.querySelector('#events li[data-kind=\"board lost\"]') !== null", 5s));
    event("board back");
    EXPECT_TRUE(browser.waitUntil("return document.querySelector('#events li[data-kind=\"board back\"]') !== null", 5s));

    // An operator adds a task from the page, and the database has it; then stops it.
    browser.execute("document.getElementById('task-site').value = 'coast'; "
                    "document.getElementById('task-options').value = '--single 881.52'; "
                    "document.getElementById('task-add').click();");
    ASSERT_TRUE(browser.waitUntil("return /added/.test(document.getElementById('task-message').textContent)", 5s))
        << browser.execute("return document.getElementById('task-message').textContent");
    EXPECT_EQ(db_->scalar("fleet", "SELECT site || ' ' || array_to_string(options, ' ') || ' ' || enabled FROM zarn.tasks"),
              "coast --single 881.52 true");
    ASSERT_TRUE(browser.waitUntil("return document.querySelector('#tasks tbody tr button') !== null", 5s));
    browser.execute("document.querySelector('#tasks tbody tr button').click()");
    EXPECT_TRUE(testing::waitUntil([&] { return db_->scalar("fleet", "SELECT enabled FROM zarn.tasks") == "f"; }, 5s));

    // Nothing came from another host, and the page fits a phone's width.
    EXPECT_EQ(browser.requestedUrlsOutside({base, "data:"}), std::vector<std::string>{});
    EXPECT_EQ(browser.consoleErrors(), std::vector<std::string>{});
    EXPECT_EQ(browser.execute("return document.documentElement.scrollWidth <= window.innerWidth"), true);

    // With the viewer's token the same click is refused, and nothing changes.
    browser.navigate(base + "?token=" + kViewerToken);
    ASSERT_TRUE(browser.waitUntil("return document.getElementById('task-site').length === 4", 5s));
    browser.execute("document.getElementById('task-site').value = 'hill'; "
                    "document.getElementById('task-options').value = '--single 881.52'; "
                    "document.getElementById('task-add').click();");
    EXPECT_TRUE(browser.waitUntil("return /^403/.test(document.getElementById('task-message').textContent)", 5s));
    EXPECT_EQ(db_->scalar("fleet", "SELECT count(*) || ' ' || bool_or(enabled) FROM zarn.tasks"), "1 false");
}

// An event's number is taken at its insert and seen at its commit: one committed after a
// later one still reaches the stream.
TEST_F(Fleet, StreamSendsAnEventCommittedAfterALaterOne) {
    int port = 0;
    const auto fleet = startFleet("fleet_viewer", port);
    ASSERT_TRUE(fleet->running());
    std::mutex mutex;
    std::string streamed;
    const auto saw = [&](const std::string& text) {
        std::lock_guard lock(mutex);
        return streamed.find(text) != std::string::npos;
    };
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(60, 0);
    std::thread reader([&] {
        client.Get("/api/stream", {{"Authorization", std::string("Bearer ") + kViewerToken}},
                   [&](const char* data, size_t size) {
                       std::lock_guard lock(mutex);
                       streamed.append(data, size);
                       return true;
                   });
    });
    ASSERT_TRUE(testing::waitUntil([&] { return saw("event: sites"); }, 5s));

    std::string error;
    ArchiveConnection early;
    ASSERT_TRUE(early.open(as("hill_rec"), "test", error)) << error;
    const std::string insert = "INSERT INTO zarn.events (site, at, kind, detail) VALUES ('hill', now(), 'alarm raised', ";
    ASSERT_TRUE(early.exec("BEGIN", error) && early.exec(insert + "'committed last')", error)) << error;
    const auto later = testing::runSql(as("hill_rec"), insert + "'committed first')");
    ASSERT_TRUE(later.ok()) << later.error;
    EXPECT_TRUE(testing::waitUntil([&] { return saw("committed first"); }, 5s));
    ASSERT_TRUE(early.exec("COMMIT", error)) << error;
    EXPECT_TRUE(testing::waitUntil([&] { return saw("committed last"); }, 5s));

    fleet->stop();  // which ends the stream
    reader.join();
}

}  // namespace
}  // namespace zarn
