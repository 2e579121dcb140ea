// The survey archive against a real PostgreSQL 15 with PostGIS (the tests' fixture, its
// cluster in memory or on this disk):
// - zarnlog push of a day (about 128 MB) and a week (about 900 MB) of full cellular sweeps
//   as make_long_log writes them, and of a day whose levels are noise (what compresses
//   worst), each into an empty database: wall time, MB of log per second, rows per
//   second (records and sweeps), the database (the schema's tables, TOAST and indexes)
//   against the log. Goals: a week no slower than before (18 s), the database no bigger.
// - zarnlog grid over a week of single-channel records a second, placed on a drive: the
//   push, then the grid in 50 m cells.
// - zarn-record at line rate (the simulator paced as the board's serial line) for a
//   minute with and without --archive: the processor time it takes. Goal: --archive adds
//   at most 1 % of a core.
// - A network: 100 sites push a day each at once into one PostgreSQL on this disk (a day of
//   single-channel records a second each, and every tenth site a day of 50-channel sweeps
//   every 2.25 s): rows and MB of log a second, the processor time of the pushers and of
//   the server, the archive against the logs. Then the day is copied to the month's other
//   days in SQL, and these take their time: the hourly figures of a month of one site and
//   frequency (goal under 100 ms), the busiest ten frequencies (highest mean power) of
//   every site over the month (under 2 s), and zarnlog grid of one frequency (ten sites).
// - A site following its tasks (zarn-record --tasks, as its own role): 100 changes of a task
//   made from the desk, each timed until the site has read it (its task file rewritten):
//   median, p99 and most (goal: p99 under 5 s); then its wake-ups a second, idle between
//   tasks with the database up, counted as the context switches of all its threads (goal
//   under 5).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <thread>

#include "board/board_state.h"
#include "board/little_endian.h"
#include "recording/log_file.h"
#include "recording/synthetic_log.h"
#include "survey/synthetic_track.h"
#include "testing/servers/postgres_server.h"
#include "testing/sim_process.h"

namespace fs = std::filesystem;
using zarn::testing::PostgresServer;

namespace {

// The zarnlog measured: this build's, or ZARN_BENCH_ZARNLOG's (an earlier build, to compare).
std::string zarnlogPath() {
    const char* other = std::getenv("ZARN_BENCH_ZARNLOG");
    return other && *other ? other : ZARNLOG_PATH;
}

struct Folder {
    Folder() : path(fs::temp_directory_path() / ("archive-bench-" + std::to_string(getpid()))) {
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
    fs::path path;
};

Folder& folder() {
    static Folder f;
    return f;
}

// One server a place: 0 in memory, 1 on this machine's disk.
PostgresServer* server(int onDisk) {
    static std::map<int, std::unique_ptr<PostgresServer>> servers;
    auto& s = servers[onDisk];
    if (!s) {
        s = std::make_unique<PostgresServer>(
            zarn::testing::PostgresOptions{{"max_wal_size=4GB", "shared_buffers=256MB"}, onDisk == 0});
        std::string error;
        if (!s->start(error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            s.reset();
        }
    }
    return s.get();
}

// A log of `sweeps` full cellular sweeps 2.25 s apart whose levels are noise from -120 to -40 dBm.
bool writeNoiseSweepLog(const std::string& path, long sweeps) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    std::mt19937 noise(7);
    std::uniform_int_distribution<int> level(-1920, -640);
    auto write = [&](const std::vector<uint8_t>& b) { return std::fwrite(b.data(), 1, b.size(), file.get()) == b.size(); };
    bool ok = file && write(zarn::encodeLogHeader(50000));
    std::vector<uint8_t> payload;
    for (long s = 0; s < sweeps && ok; ++s) {
        payload = {0};
        zarn::appendU16(payload, 0);
        zarn::appendU16(payload, 833);
        for (uint16_t o = 0; o < 833; ++o) {
            zarn::appendU16(payload, o);
            zarn::appendU16(payload, static_cast<uint16_t>(level(noise)));
        }
        ok = write(zarn::encodeLogRecord(zarn::syntheticTime(s * 9 / 4), "", zarn::kModeSpectrum, payload.data(),
                                         payload.size()));
    }
    return ok && std::fclose(file.release()) == 0;
}

// A drive round a loop of a few kilometres, and a level that falls with the distance from a mast.
zarn::Place drive(double s) {
    const double turn = 2 * M_PI * s / 1800;
    return {47.37 + 0.01 * std::sin(turn) + 0.002 * std::sin(turn * 7), 8.54 + 0.015 * std::cos(turn)};
}

// A week of single-channel records a second at 881.52 MHz, and the drive's track beside it.
bool writeSingleChannelWeek(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    std::mt19937 noise(11);
    std::normal_distribution<double> fading(0, 4);
    bool ok = file != nullptr;
    const auto write = [&](const std::vector<uint8_t>& b) { ok = ok && std::fwrite(b.data(), 1, b.size(), file.get()) == b.size(); };
    write(zarn::encodeLogHeader(30000));
    constexpr long kWeek = 7 * 86400;
    for (long s = 0; s < kWeek && ok; ++s) {
        const zarn::Place p = drive(static_cast<double>(s));
        const double metres = std::hypot((p.lat - 47.37) * 111e3, (p.lon - 8.54) * 75e3);
        const double dbm = -40 - 30 * std::log10(std::max(metres, 50.0) / 50) + fading(noise);
        std::vector<uint8_t> payload;
        zarn::appendU16(payload, 384);
        zarn::appendU16(payload, static_cast<uint16_t>(static_cast<int16_t>(std::lround(dbm * 16))));
        zarn::appendU16(payload, 3250);
        zarn::appendU16(payload, static_cast<uint16_t>(int16_t{-1900}));
        write(zarn::encodeLogRecord(zarn::syntheticTime(s), "", zarn::kModeSingleChannel, payload.data(), payload.size()));
    }
    ok = ok && std::fclose(file.release()) == 0;
    const std::string track = fs::path(path).replace_extension(".gpx").string();
    return ok && zarn::writeSyntheticTrack(track, 0, kWeek, 1, [](long long s) {
        return std::optional<zarn::Place>(drive(static_cast<double>(s)));
    });
}

// A program to its end: wall seconds, its processor seconds, its status.
struct Run {
    double wall = 0, cpu = 0;
    int status = -1;
};
Run run(std::vector<std::string> args) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (!freopen("/dev/null", "w", stdout)) _exit(126);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Run r;
    r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Processor seconds of a proc stat line's fields from utime on (cutime and cstime too: reaped backends).
double statSeconds(const std::string& path, bool children) {
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return 0;
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    const char* rest = read ? std::strrchr(line, ')') : nullptr;
    if (!rest) return 0;
    unsigned long long v[15] = {};
    // state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime cutime cstime
    char state = 0;
    std::sscanf(rest + 2, "%c %llu %llu %llu %llu %llu %llu %llu %llu %llu %llu %llu %llu %llu %llu", &state, &v[0], &v[1],
                &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9], &v[10], &v[11], &v[12], &v[13]);
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return static_cast<double>(v[10] + v[11] + (children ? v[12] + v[13] : 0)) / ticks;
}

// The server's processor seconds so far: the postmaster with every backend it reaped, and those still running.
double serverSeconds(PostgresServer& db) {
    FILE* f = std::fopen(db.folder().file("data/postmaster.pid").c_str(), "r");
    long postmaster = 0;
    if (!f || std::fscanf(f, "%ld", &postmaster) != 1) postmaster = 0;
    if (f) std::fclose(f);
    if (!postmaster) return 0;
    double total = statSeconds("/proc/" + std::to_string(postmaster) + "/stat", true);
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        FILE* s = std::fopen((entry.path() / "stat").c_str(), "r");
        if (!s) continue;
        int pid = 0, ppid = 0;
        char state = 0;
        const bool parsed = std::fscanf(s, "%d %*s %c %d", &pid, &state, &ppid) == 3;
        std::fclose(s);
        if (parsed && ppid == postmaster) total += statSeconds((entry.path() / "stat").string(), false);
    }
    return total;
}

double number(PostgresServer& db, const std::string& database, const std::string& sql) {
    return std::stod(db.scalar(database, sql));
}

const char* const kArchiveBytes =
    "SELECT sum(pg_total_relation_size(c.oid)) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
    "WHERE n.nspname = 'zarn' AND c.relkind = 'r'";

// Arguments: days of sweeps (a negative number: of noise), then 0 for the cluster in memory, 1 on disk.
void BM_Push(benchmark::State& state) {
    const long days = state.range(0);
    PostgresServer* db = server(static_cast<int>(state.range(1)));
    if (!db) return state.SkipWithError("no PostgreSQL");
    const std::string log = folder().file("sweeps" + std::to_string(days) + ".zrn");
    const long sweeps = std::labs(days) * 38400;
    if (!fs::exists(log) && !(days > 0 ? zarn::writeCellularSweepLog(log, sweeps, 2250) : writeNoiseSweepLog(log, sweeps)))
        return state.SkipWithError("cannot write the log");
    double bytes = 0, rows = 0, cpu = 0, serverCpu = 0;
    int n = 0;
    for (auto _ : state) {
        const std::string name = "push" + std::to_string(n++);
        std::string error;
        if (!db->createDatabase(name, PostgresServer::WithPostgis, error)) return state.SkipWithError(error.c_str());
        const double serverBefore = serverSeconds(*db);
        const Run r = run({zarnlogPath(), "push", log, "--archive", db->conninfo(name)});
        serverCpu = serverSeconds(*db) - serverBefore;
        state.SetIterationTime(r.wall);
        if (r.status != 0) return state.SkipWithError("zarnlog push failed");
        bytes = number(*db, name, kArchiveBytes);
        rows = number(*db, name, "SELECT (SELECT count(*) FROM zarn.records) + (SELECT count(*) FROM zarn.sweeps)");
        cpu = r.cpu;
        db->dropDatabase(name, error);
    }
    const double mb = static_cast<double>(fs::file_size(log)) / 1e6;
    state.counters["log_MB"] = mb;
    state.counters["MB_per_s"] = benchmark::Counter(mb * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["rows_per_s"] = benchmark::Counter(rows * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["db_MB"] = bytes / 1e6;
    state.counters["db_per_log"] = bytes / 1e6 / mb;
    state.counters["zarnlog_cpu_s"] = cpu;
    state.counters["server_cpu_s"] = serverCpu;
}

// The grid of a week of placed single-channel records (pushed once, timed as well: goal under 3 s).
void BM_Grid(benchmark::State& state) {
    PostgresServer* db = server(0);
    if (!db) return state.SkipWithError("no PostgreSQL");
    const std::string log = folder().file("week-single.zrn");
    static double pushSeconds = 0;
    std::string error;
    if (!fs::exists(log)) {
        if (!writeSingleChannelWeek(log)) return state.SkipWithError("cannot write the log");
        if (!db->createDatabase("grid", PostgresServer::WithPostgis, error)) return state.SkipWithError(error.c_str());
        const Run push = run({zarnlogPath(), "push", log, "--archive", db->conninfo("grid")});
        if (push.status != 0) return state.SkipWithError("zarnlog push failed");
        pushSeconds = push.wall;
    }
    for (auto _ : state) {
        const Run r = run({zarnlogPath(), "grid", "--archive", db->conninfo("grid"), "--mhz", "881.52", "-o",
                           folder().file("grid.gpkg")});
        state.SetIterationTime(r.wall);
        if (r.status != 0) return state.SkipWithError("zarnlog grid failed");
    }
    state.counters["records"] = number(*db, "grid", "SELECT count(*) FROM zarn.records");
    state.counters["push_s"] = pushSeconds;
    state.counters["log_MB"] = static_cast<double>(fs::file_size(log)) / 1e6;
    state.counters["db_MB"] = number(*db, "grid", kArchiveBytes) / 1e6;
    state.counters["db_per_log"] = number(*db, "grid", kArchiveBytes) / static_cast<double>(fs::file_size(log));
}

// zarn-record at line rate for a minute. Arguments: 0 spectrum, 1 single channel; then 1 with --archive.
void BM_RecorderAtLineRate(benchmark::State& state) {
    const bool single = state.range(0) == 1, archive = state.range(1) == 1;
    PostgresServer* db = server(0);
    if (!db) return state.SkipWithError("no PostgreSQL");
    std::string error;
    static int n = 0;
    double cpu = 0, seconds = 60;
    for (auto _ : state) {
        const std::string root = folder().file("root" + std::to_string(n));
        const std::string name = "site" + std::to_string(n++);
        fs::create_directories(root);
        setenv("ZARN_ROOT", root.c_str(), 1);
        setenv("ZARN_GPSD", "off", 1);
        zarn::SimProcess sim;
        if (!sim.start(ZARN_BOARD_SIM_PATH, {"--no-register"}, error)) return state.SkipWithError(error.c_str());
        if (archive && !db->createDatabase(name, PostgresServer::WithPostgis, error))
            return state.SkipWithError(error.c_str());
        std::vector<std::string> args{ZARN_RECORD_PATH, "--port", sim.ptyPath(), "--seconds", "60",
                                      "-o", root + "/site.zrn"};
        const std::vector<std::string> measurement =
            single ? std::vector<std::string>{"--single", "881.52"} : std::vector<std::string>{"--spectrum", "869.01:893.97"};
        args.insert(args.end(), measurement.begin(), measurement.end());
        if (archive) args.insert(args.end(), {"--archive", db->conninfo(name)});
        const Run r = run(args);
        sim.stop();
        state.SetIterationTime(r.wall);
        if (r.status != 0) return state.SkipWithError("zarn-record failed");
        cpu = r.cpu;
        seconds = r.wall;
    }
    state.counters["cpu_s"] = cpu;
    state.counters["core_percent"] = 100 * cpu / seconds;
}

// A site of the network: a day of single-channel records a second on one of ten channels
// (channel 100 + 30 k, k = site mod 10, and PCS 1962.50 MHz), levels fading about the site's
// own mean; every tenth site also sweeps 50 cellular channels about its own every 2.25 s.
constexpr int kNetworkChannels = 10;
uint16_t siteChannel(int site) { return static_cast<uint16_t>(100 + 30 * (site % kNetworkChannels)); }

zarn::Place sitePlace(int site) { return {46.5 + 0.05 * (site / 10), 7.5 + 0.05 * (site % 10)}; }

using Writer = std::function<bool(const std::vector<uint8_t>&)>;

bool writeLog(const std::string& path, const std::function<bool(const Writer&)>& records) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return false;
    const Writer write = [&](const std::vector<uint8_t>& b) {
        return std::fwrite(b.data(), 1, b.size(), file.get()) == b.size();
    };
    return write(zarn::encodeLogHeader(30000)) && records(write) && std::fclose(file.release()) == 0;
}

bool writeSiteDay(const std::string& path, int site) {
    return writeLog(path, [site](const Writer& write) {
        std::mt19937 noise(static_cast<unsigned>(site) + 1);
        std::normal_distribution<double> fading(0, 3);
        std::vector<uint8_t> payload;
        for (long s = 0; s < 86400; ++s) {
            const double dbm = -65 - site % 30 + 8 * std::sin(s / 900.0 + site) + fading(noise);
            payload.clear();
            zarn::appendU16(payload, siteChannel(site));
            zarn::appendU16(payload, static_cast<uint16_t>(static_cast<int16_t>(std::lround(dbm * 16))));
            zarn::appendU16(payload, 3250);
            zarn::appendU16(payload, static_cast<uint16_t>(static_cast<int16_t>(std::lround((dbm - 12) * 16))));
            if (!write(zarn::encodeLogRecord(zarn::syntheticTime(s), "", zarn::kModeSingleChannel, payload.data(),
                                             payload.size())))
                return false;
        }
        return true;
    });
}

bool writeSiteSweeps(const std::string& path, int site) {
    return writeLog(path, [site](const Writer& write) {
        std::mt19937 noise(static_cast<unsigned>(site) + 1000);
        std::normal_distribution<double> floor(-112, 2);
        std::vector<uint8_t> payload;
        const uint16_t start = static_cast<uint16_t>(siteChannel(site) - 25);
        for (long n = 0; n < 38400; ++n) {
            payload = {0};
            zarn::appendU16(payload, start);
            zarn::appendU16(payload, 50);
            for (uint16_t o = start; o < start + 50; ++o) {
                const bool carrier = o % 7 == 0;
                const double dbm = carrier ? -60 - site % 20 + floor(noise) + 112 : floor(noise);
                zarn::appendU16(payload, o);
                zarn::appendU16(payload, static_cast<uint16_t>(static_cast<int16_t>(std::lround(dbm * 16))));
            }
            if (!write(zarn::encodeLogRecord(zarn::syntheticTime(n * 9 / 4), "", zarn::kModeSpectrum, payload.data(),
                                             payload.size())))
                return false;
        }
        return true;
    });
}

// A program started, its output dropped.
pid_t startQuiet(std::vector<std::string> args) {
    const pid_t child = fork();
    if (child == 0) {
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

// Every command at once, its output dropped: the wall time, and the processor seconds they took.
Run runAll(const std::vector<std::vector<std::string>>& commands) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<pid_t> children;
    for (std::vector<std::string> args : commands) {
        children.push_back(startQuiet(std::move(args)));
    }
    Run all;
    all.status = 0;
    for (const pid_t child : children) {
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        all.cpu += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) all.status = 1;
    }
    all.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return all;
}

double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

const char* const kNetworkDay = "2004-07-10 14:00";  // the synthetic day's end

// The day's packs and hourly figures again on each later day of a month, as if pushed then.
void growToMonth(PostgresServer& db, int days) {
    for (int d = 1; d < days; ++d) {
        const std::string shift = std::to_string(d) + " days";
        db.scalar("network", "SELECT zarn.make_month(timestamp '2004-07-09 14:00' + interval '" + shift + "')");
        db.scalar("network", "SELECT zarn.make_month(timestamp '" + std::string(kNetworkDay) + "' + interval '" + shift + "')");
        db.scalar("network",
                  "INSERT INTO zarn.packs SELECT survey, hour + interval '" + shift + "', first_offset, last_offset, "
                  "first_record_no, records, first_time + interval '" + shift + "', last_time + interval '" + shift +
                  "', type, pushed_at, seconds, offsets, notes, lat, lon, slots, bands, channels, hz, keys, levels, "
                  "sweep_band, first_hz, step_hz, peak_hz, peak_dbm, points FROM zarn.packs "
                  "WHERE hour < '" + std::string(kNetworkDay) + "'");
        db.scalar("network",
                  "INSERT INTO zarn.hourly_figures SELECT site, hour + interval '" + shift + "', band, hz, samples, "
                  "sum_mw, min_dbm, max_dbm, low_bin, bins FROM zarn.hourly_figures WHERE hour < '" +
                  std::string(kNetworkDay) + "'");
    }
    db.scalar("network", "VACUUM ANALYZE");
}

// 100 sites push a day each at once (each a day of single-channel records a second; every tenth
// site a day of sweeps too), then the day grows to a month for the queries.
// Arguments: sites, days in the month.
void BM_Network(benchmark::State& state) {
    const int sites = static_cast<int>(state.range(0)), days = static_cast<int>(state.range(1));
    static std::unique_ptr<PostgresServer> db;
    if (!db) {
        db = std::make_unique<PostgresServer>(zarn::testing::PostgresOptions{
            {"max_connections=300", "shared_buffers=512MB", "max_wal_size=8GB", "max_parallel_workers_per_gather=2"},
            false});
        std::string error;
        if (!db->start(error)) return state.SkipWithError(error.c_str());
    }
    std::vector<std::vector<std::string>> pushes;
    double logBytes = 0;
    for (int s = 0; s < sites; ++s) {
        char name[32];
        std::snprintf(name, sizeof name, "site-%03d", s);
        const std::string day = folder().file(std::string(name) + ".zrn"), sweeps = folder().file(std::string(name) + "-sweeps.zrn");
        const auto place = [s](long long) { return std::optional(sitePlace(s)); };
        if (!fs::exists(day) && (!writeSiteDay(day, s) ||
                                 !zarn::writeSyntheticTrack(fs::path(day).replace_extension(".gpx").string(), 0, 86400, 10, place)))
            return state.SkipWithError("cannot write the logs");
        pushes.push_back({zarnlogPath(), "push", day, "--site", name});
        logBytes += static_cast<double>(fs::file_size(day));
        if (s % 10 != 0) continue;
        if (!fs::exists(sweeps) && (!writeSiteSweeps(sweeps, s) ||
                                    !zarn::writeSyntheticTrack(fs::path(sweeps).replace_extension(".gpx").string(), 0, 86400, 10, place)))
            return state.SkipWithError("cannot write the logs");
        pushes.push_back({zarnlogPath(), "push", sweeps, "--site", name});
        logBytes += static_cast<double>(fs::file_size(sweeps));
    }
    double rows = 0, bytes = 0, hourly = 0, packs = 0, cpu = 0, serverCpu = 0, monthSeconds = 0;
    double hourlyMs = 0, busiestMs = 0, gridSeconds = 0;
    for (auto _ : state) {
        std::string error;
        db->dropDatabase("network", error);
        if (!db->createDatabase("network", PostgresServer::WithPostgis, error)) return state.SkipWithError(error.c_str());
        const std::string conninfo = db->conninfo("network");
        if (run({zarnlogPath(), "db", "init", "--archive", conninfo}).status != 0) return state.SkipWithError("db init failed");
        for (auto& p : pushes) p.insert(p.end(), {"--archive", conninfo});
        const double serverBefore = serverSeconds(*db);
        const Run all = runAll(pushes);
        serverCpu = serverSeconds(*db) - serverBefore;
        for (auto& p : pushes) p.resize(p.size() - 2);
        state.SetIterationTime(all.wall);
        if (all.status != 0) return state.SkipWithError("a push failed");
        cpu = all.cpu;
        rows = number(*db, "network", "SELECT sum(records) FROM zarn.packs");
        bytes = number(*db, "network", kArchiveBytes);
        hourly = number(*db, "network", "SELECT sum(pg_total_relation_size(c.oid)) FROM pg_class c "
                                        "WHERE c.relname LIKE 'hourly_figures_%'");
        packs = number(*db, "network", "SELECT sum(pg_total_relation_size(c.oid)) FROM pg_class c "
                                       "WHERE c.relname LIKE 'packs_%'");
        monthSeconds = secondsOf([&] { growToMonth(*db, days); });
        const std::string month = "hour >= '2004-07-09 14:00' AND hour < timestamp '2004-07-09 14:00' + interval '" +
                                  std::to_string(days) + " days'";
        char mhz[32];
        std::snprintf(mhz, sizeof mhz, "%.2f", 870 + 0.03 * siteChannel(42));
        hourlyMs = 1000 * secondsOf([&] {
            db->sql("network", "SELECT * FROM zarn.hourly WHERE site = 'site-042' AND mhz = " + std::string(mhz) +
                                   " AND " + month + " ORDER BY hour");
        });
        busiestMs = 1000 * secondsOf([&] {
            db->sql("network", "SELECT site, mhz, mean_dbm FROM (SELECT site, hz / 1e6::float8 AS mhz, "
                               "10 * log10(sum(sum_mw) / sum(samples)) AS mean_dbm, row_number() OVER "
                               "(PARTITION BY site ORDER BY sum(sum_mw) / sum(samples) DESC) AS rank "
                               "FROM zarn.hourly_figures WHERE " + month + " GROUP BY site, hz) b "
                               "WHERE rank <= 10 ORDER BY site, rank");
        });
        gridSeconds = run({zarnlogPath(), "grid", "--archive", conninfo, "--mhz", mhz, "--cell", "500", "-o",
                           folder().file("network-grid.gpkg")}).wall;
    }
    const double mb = logBytes / 1e6;
    state.counters["sites"] = sites;
    state.counters["log_MB"] = mb;
    state.counters["MB_per_s"] = benchmark::Counter(mb, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["rows_per_s"] = benchmark::Counter(rows, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["pushers_cpu_s"] = cpu;
    state.counters["server_cpu_s"] = serverCpu;
    state.counters["db_per_log"] = bytes / logBytes;
    state.counters["hourly_per_packs"] = hourly / packs;
    state.counters["month_build_s"] = monthSeconds;
    state.counters["q_hourly_ms"] = hourlyMs;
    state.counters["q_busiest_ms"] = busiestMs;
    state.counters["q_grid_s"] = gridSeconds;
}

// A program left running; stopped by SIGTERM, and waited for, at the end.
struct Running {
    explicit Running(std::vector<std::string> args) : pid(startQuiet(std::move(args))) {}
    ~Running() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    pid_t pid = -1;
};

// Context switches so far of every thread of `pid`: each is a wake-up (or a preemption).
long long switchesOf(pid_t pid) {
    long long total = 0;
    const fs::path threads = "/proc/" + std::to_string(pid) + "/task";
    std::error_code failed;
    for (const auto& thread : fs::directory_iterator(threads, failed)) {
        std::ifstream status(thread.path() / "status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                total += std::stoll(line.substr(line.find(':') + 1));
    }
    return total;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds most) {
    const auto until = std::chrono::steady_clock::now() + most;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void BM_TaskChange(benchmark::State& state) {
    PostgresServer* db = server(0);
    if (!db) return state.SkipWithError("no PostgreSQL");
    const int changes = static_cast<int>(state.range(0));
    std::string error;
    const std::string root = folder().file("tasks-root"), runs = folder().file("tasks");
    fs::create_directories(root);
    fs::create_directories(runs);
    if (!db->createDatabase("tasks", PostgresServer::WithPostgis, error) ||
        !db->createRole("bench_rec", "bench's own", error))
        return state.SkipWithError(error.c_str());
    const std::string owner = db->conninfo("tasks");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"db", "init"}, std::vector<std::string>{"site", "add", "bench", "--role", "bench_rec"},
          std::vector<std::string>{"task", "add", "--site", "bench", "--from", "2099-01-01T00:00", "--", "--single",
                                   "881.52"}}) {
        std::vector<std::string> command{zarnlogPath(), args[0], args[1], "--archive", owner};  // ahead of any `--`
        command.insert(command.end(), args.begin() + 2, args.end());
        if (run(command).status != 0) return state.SkipWithError("zarnlog failed");
    }
    const std::string task = db->scalar("tasks", "SELECT id FROM zarn.tasks");
    setenv("ZARN_ROOT", root.c_str(), 1);
    setenv("ZARN_GPSD", "off", 1);
    setenv("PGPASSFILE", db->writePgpass("bench_rec", "bench's own").c_str(), 1);
    zarn::SimProcess sim;
    if (!sim.start(ZARN_BOARD_SIM_PATH, {"--no-register"}, error)) return state.SkipWithError(error.c_str());
    const std::string tasksFile = runs + "/.zarn-tasks-bench";
    Running site({ZARN_RECORD_PATH, "--tasks", "--archive", db->roleConninfo("bench_rec", "tasks"), "--site", "bench",
                  "--port", sim.ptyPath(), "-o", runs});
    if (!waitFor([&] { return fs::exists(tasksFile); }, std::chrono::seconds(30)))
        return state.SkipWithError("the site never read its tasks");
    std::vector<double> seconds;
    for (auto _ : state) {
        seconds.clear();
        for (int i = 1; i <= changes; ++i) {
            const std::string priority = std::to_string(i);
            const auto start = std::chrono::steady_clock::now();
            db->scalar("tasks", "UPDATE zarn.tasks SET priority = $1::integer, changed_at = now() RETURNING id", {priority});
            if (!waitFor([&] { return fileText(tasksFile).find("task " + task + " " + priority + " ") != std::string::npos; },
                         std::chrono::seconds(20)))
                return state.SkipWithError("a change never reached the site");
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        state.SetIterationTime(std::accumulate(seconds.begin(), seconds.end(), 0.0));
    }
    std::sort(seconds.begin(), seconds.end());
    state.counters["median_ms"] = 1000 * seconds[seconds.size() / 2];
    state.counters["p99_ms"] = 1000 * seconds[std::min(seconds.size() - 1, seconds.size() * 99 / 100)];
    state.counters["most_ms"] = 1000 * seconds.back();

    // Idle between tasks, the database up: its wake-ups over half a minute (a heartbeat in it).
    const long long before = switchesOf(site.pid);
    std::this_thread::sleep_for(std::chrono::seconds(30));
    state.counters["idle_wakeups_per_s"] = static_cast<double>(switchesOf(site.pid) - before) / 30;
}

}  // namespace

BENCHMARK(BM_Push)->ArgsProduct({{1, 7, -1}, {0, 1}})->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Grid)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
// The network: 100 sites and a month; a small one (10 sites, 2 days) to try it.
BENCHMARK(BM_Network)->Args({100, 30})->Args({10, 2})->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
// A site following its tasks: 100 changes from the desk, then half a minute idle.
BENCHMARK(BM_TaskChange)->Arg(100)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_RecorderAtLineRate)->ArgsProduct({{0, 1}, {0, 1}})->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
