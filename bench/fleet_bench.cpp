// zarn-fleet over a network of 100 sites with a month of hourly figures (the archive
// benchmark's network: a cellular and a PCS channel a site, every tenth site also 50 swept
// channels, made here in SQL rather than pushed), in a real PostgreSQL, as a viewer's role:
// - the page first shown: from the navigation to the sites table with every site, in
//   headless Chromium (goal under 1 s);
// - a site's view of a band over a week: /api/sites/NAME/hourly, a swept site and a site of
//   channels (under 300 ms);
// - 20 viewers, each with the stream open, while the 100 sites' heartbeats come every 30 s
//   (3.3 a second): zarn-fleet's processor time over a minute (under 2 % of a core);
// - a health change to the open page: from the row written to the page's own note of the
//   change, 10 changes (under 2 s).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "outputs/archive/archive_connection.h"
#include "outputs/archive/archive_schema.h"
#include "testing/child_program.h"
#include "testing/servers/browser_session.h"
#include "testing/servers/free_port.h"
#include "testing/servers/postgres_server.h"
#include "testing/servers/wait_until.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using zarn::testing::PostgresServer;

// The month's hourly figures: a row per site, hour and frequency, as a push adds them.
const char* const kMonth = R"sql(
SELECT zarn.make_month('2026-11-01');
INSERT INTO zarn.hourly_figures (site, hour, band, hz, samples, sum_mw, min_dbm, max_dbm, low_bin, bins)
SELECT format('site-%s', lpad(s::text, 3, '0')), timestamp '2026-11-01' + h * interval '1 hour', f.band, f.hz, 3600,
       3600 * 10 ^ (l.level / 10.0), l.level - 5, l.level + 5, l.level - 5,
       ARRAY[100, 200, 300, 400, 500, 600, 500, 400, 300, 200, 100]
FROM generate_series(0, 99) s
CROSS JOIN generate_series(0, 719) h
CROSS JOIN LATERAL (
    SELECT 800 AS band, round((870 + 0.03 * (100 + 30 * (s % 10))) * 1e6)::integer AS hz
    UNION ALL SELECT 1900, 1962500000
    UNION ALL SELECT 800, round((870 + 0.03 * (75 + 30 * (s % 10) + p)) * 1e6)::integer
    FROM generate_series(0, 49) p WHERE s % 10 = 0) f
CROSS JOIN LATERAL (SELECT (-65 - s % 30 + 8 * sin(h / 4.0 + s + f.hz % 7))::integer AS level) l;
)sql";

double processorSeconds(pid_t pid) {
    FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f) return 0;
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    const char* rest = read ? std::strrchr(line, ')') : nullptr;
    unsigned long long utime = 0, stime = 0;
    if (!rest || std::sscanf(rest + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return 0;
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// `count` streams held open and read to nothing, on one thread.
class Viewers {
public:
    Viewers(int port, int count) {
        for (int i = 0; i < count; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(static_cast<uint16_t>(port));
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            const char ask[] = "GET /api/stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
            if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 && send(fd, ask, sizeof ask - 1, 0) > 0)
                fds_.push_back({fd, POLLIN, 0});
            else close(fd);
        }
        reader_ = std::thread([this] {
            char buffer[65536];
            while (!stop_) {
                if (poll(fds_.data(), fds_.size(), 100) <= 0) continue;
                for (pollfd& p : fds_)
                    if (p.revents & POLLIN) bytes_ += std::max<ssize_t>(0, recv(p.fd, buffer, sizeof buffer, 0));
            }
        });
    }
    ~Viewers() {
        stop_ = true;
        reader_.join();
        for (const pollfd& p : fds_) close(p.fd);
    }
    size_t open() const { return fds_.size(); }
    long long bytes() const { return bytes_; }

private:
    std::vector<pollfd> fds_;
    std::atomic<bool> stop_{false};
    std::atomic<long long> bytes_{0};
    std::thread reader_;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BM_Fleet(benchmark::State& state) {
    PostgresServer db;
    std::string error;
    if (!db.start(error) || !db.createDatabase("network", PostgresServer::WithPostgis, error) ||
        !db.createRole("viewer", "looks", error))
        return state.SkipWithError(error.c_str());
    {
        zarn::ArchiveConnection owner;
        int was = 0;
        if (!owner.open(db.conninfo("network"), "bench", error) || !zarn::prepareSchema(owner, was, error))
            return state.SkipWithError(error.c_str());
    }
    const auto built = Clock::now();
    db.scalar("network", "DO $$ BEGIN FOR s IN 0..99 LOOP EXECUTE format('CREATE ROLE site_%s LOGIN', s); "
                         "PERFORM zarn.add_site(format('site-%s', lpad(s::text, 3, '0')), format('site_%s', s), "
                         "46.5 + 0.05 * (s / 10), 7.5 + 0.05 * (s % 10), NULL); END LOOP; END $$; "
                         "GRANT USAGE ON SCHEMA zarn TO viewer; GRANT SELECT ON ALL TABLES IN SCHEMA zarn TO viewer; "
                         "INSERT INTO zarn.health (site, at, heartbeat, state, version, backlog, disk_free, alarms) "
                         "SELECT name, now(), 30, 'recording', '1', 0, 4e10, 0 FROM zarn.sites; SELECT 1");
    db.scalar("network", std::string(kMonth) + "ANALYZE zarn.hourly_figures; SELECT 1");
    state.counters["hourly_rows"] = std::stod(db.scalar("network", "SELECT count(*) FROM zarn.hourly_figures"));
    state.counters["month_build_s"] = std::chrono::duration<double>(Clock::now() - built).count();

    const int port = zarn::testing::freePort();
    const std::string pgpass = db.writePgpass("viewer", "looks");
    zarn::ChildProgram fleet(ZARN_FLEET_PATH,
                             {"--archive", db.roleConninfo("viewer", "network"), "--listen", std::to_string(port)},
                             {{"PGPASSFILE", pgpass}}, db.folder().file("fleet.log"));
    httplib::Client client("127.0.0.1", port);
    if (!zarn::testing::waitUntil([&] { return client.Get("/api/sites") != nullptr; }, 15s))
        return state.SkipWithError(("zarn-fleet did not answer: " + fleet.output()).c_str());

    for (auto _ : state) {
        // A site's band over a week, a swept site's and a site of channels'.
        for (const char* site : {"site-000", "site-042"}) {
            std::vector<double> ms;
            for (int i = 0; i < 10; ++i) {
                const auto start = Clock::now();
                const auto answer = client.Get(std::string("/api/sites/") + site +
                                               "/hourly?band=800&from=2026-11-08&to=2026-11-15");
                ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                if (!answer || answer->status != 200) return state.SkipWithError("the week's picture failed");
            }
            state.counters[std::string("band_week_ms_") + (site[7] == '0' ? "swept" : "channels")] = median(ms);
        }

        // The page first shown, with every site in its table.
        zarn::testing::ChromeDriver driver;
        if (!driver.start(error)) return state.SkipWithError(error.c_str());
        zarn::testing::BrowserSession browser(driver);
        if (!browser.open(zarn::testing::BrowserOptions::desktop(), error)) return state.SkipWithError(error.c_str());
        const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
        std::vector<double> shown;
        for (int i = 0; i < 3; ++i) {
            const auto start = Clock::now();
            browser.navigate(url);
            if (!browser.waitUntil("return document.querySelectorAll('#sites tbody tr').length === 100", 10s))
                return state.SkipWithError("the page never showed the sites");
            shown.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        state.counters["page_shown_ms"] = median(shown);

        // 20 viewers while every site's heartbeat comes each 30 s, for a minute.
        {
            Viewers viewers(port, 20);
            std::atomic<bool> beating{true};
            std::thread heartbeats([&] {
                for (int n = 0; beating; n = (n + 1) % 100) {
                    char site[16];
                    std::snprintf(site, sizeof site, "site-%03d", n);
                    db.scalar("network", "UPDATE zarn.health SET at = now() WHERE site = $1 RETURNING 1", {site});
                    std::this_thread::sleep_for(300ms);
                }
            });
            const double before = processorSeconds(fleet.pid());
            const auto start = Clock::now();
            std::this_thread::sleep_for(60s);
            const double cpu = processorSeconds(fleet.pid()) - before;
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            beating = false;
            heartbeats.join();
            state.counters["viewers"] = static_cast<double>(viewers.open());
            state.counters["viewers_core_percent"] = 100 * cpu / seconds;
            state.counters["viewers_kB_per_s"] = static_cast<double>(viewers.bytes()) / 1e3 / seconds;
        }

        // A health change to the open page: the row written, then the page's own note of it.
        std::vector<double> latency;
        for (int i = 0; i < 10; ++i) {
            const std::string to = i % 2 == 0 ? "board lost" : "recording";
            const double written = static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::system_clock::now().time_since_epoch()).count());
            db.scalar("network", "UPDATE zarn.health SET state = $1, at = now() WHERE site = 'site-017' RETURNING 1", {to});
            const std::string seen = "const s = window.fleet.sites.find((x) => x.name === 'site-017'); "
                                     "return s && s.state === '" + to + "'";
            if (!browser.waitUntil(seen, 10s)) return state.SkipWithError("the change never reached the page");
            latency.push_back(browser.execute("return window.fleet.changedAt['site-017']").get<double>() - written);
        }
        // ZARN_BENCH_SHOT=FILE.png: the page, and in FILE-site.png a swept site beside another, for the guide.
        if (const char* shot = std::getenv("ZARN_BENCH_SHOT")) {
            browser.setViewport(1280, 800, false);
            browser.execute("document.querySelector('#sites tr[data-site=\"site-000\"]').click(); "
                            "document.getElementById('from').value = '2026-11-08'; "
                            "document.getElementById('mhz').value = '873'; "
                            "document.getElementById('beside').value = 'site-010'; "
                            "document.querySelector('#window button').click(); window.scrollTo(0, 0);");
            browser.waitUntil("return window.fleet.pictures['site-010'] && window.fleet.profile", 10s);
            std::this_thread::sleep_for(500ms);
            browser.screenshot(shot);
            browser.execute("document.getElementById('site').scrollIntoView()");
            std::this_thread::sleep_for(300ms);
            browser.screenshot(std::string(shot).insert(std::string(shot).rfind('.'), "-site"));
        }
        state.counters["health_to_page_ms"] = median(latency);
        state.counters["health_to_page_most_ms"] = *std::max_element(latency.begin(), latency.end());
        state.SetIterationTime(1);
    }
}

}  // namespace

BENCHMARK(BM_Fleet)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
