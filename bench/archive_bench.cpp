// The survey archive against a real PostgreSQL 15 with PostGIS (the tests' fixture, its
// cluster in memory or on this disk):
// - zarnlog push of a day (about 128 MB) and a week (about 900 MB) of full cellular sweeps
//   as make_long_log writes them, and of a day whose levels are noise (what compresses
//   worst), each into an empty database: wall time, MB of log per second, rows per
//   second (records and sweeps), the database (the schema's tables, TOAST and indexes)
//   against the log. Goals: a week under 30 s, the database at most 1.5x the log.
// - zarnlog grid over a week of single-channel records a second, placed on a drive: the
//   push, then the grid in 50 m cells.
// - zarn-record at line rate (the simulator paced as the board's serial line) for a
//   minute with and without --archive: the processor time it takes. Goal: --archive adds
//   at most 1 % of a core.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
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
        const Run r = run({ZARNLOG_PATH, "push", log, "--archive", db->conninfo(name)});
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

// The grid of a week of placed single-channel records (pushed once, timed as well).
void BM_Grid(benchmark::State& state) {
    PostgresServer* db = server(0);
    if (!db) return state.SkipWithError("no PostgreSQL");
    const std::string log = folder().file("week-single.zrn");
    static double pushSeconds = 0;
    std::string error;
    if (!fs::exists(log)) {
        if (!writeSingleChannelWeek(log)) return state.SkipWithError("cannot write the log");
        if (!db->createDatabase("grid", PostgresServer::WithPostgis, error)) return state.SkipWithError(error.c_str());
        const Run push = run({ZARNLOG_PATH, "push", log, "--archive", db->conninfo("grid")});
        if (push.status != 0) return state.SkipWithError("zarnlog push failed");
        pushSeconds = push.wall;
    }
    for (auto _ : state) {
        const Run r = run({ZARNLOG_PATH, "grid", "--archive", db->conninfo("grid"), "--mhz", "881.52", "-o",
                           folder().file("grid.gpkg")});
        state.SetIterationTime(r.wall);
        if (r.status != 0) return state.SkipWithError("zarnlog grid failed");
    }
    state.counters["records"] = number(*db, "grid", "SELECT count(*) FROM zarn.records");
    state.counters["push_s"] = pushSeconds;
    state.counters["log_MB"] = static_cast<double>(fs::file_size(log)) / 1e6;
    state.counters["db_MB"] = number(*db, "grid", kArchiveBytes) / 1e6;
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

}  // namespace

BENCHMARK(BM_Push)->ArgsProduct({{1, 7, -1}, {0, 1}})->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Grid)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_RecorderAtLineRate)->ArgsProduct({{0, 1}, {0, 1}})->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
