// zarnlog on long spectrum logs of full cellular sweeps (833 points):
// - the rows and the JSON of one hour (1600 sweeps, about 5.4 MB) through the
//   survey library in process, and the zarnlog program's csv and plot of it;
// - the zarnlog program itself on one day (about 128 MB) and one week (about
//   900 MB) of sweeps every 2.25 s, each made on the fly: wall time, MB of log
//   per second and the program's peak resident size. Goals: csv at least
//   100 MB/s, a week's plot under 10 s, at most 64 MB resident; occupancy (the
//   CSV rows of 15-minute periods above the noise floor) as fast as csv.
// - zarnlog map of the day's sweeps with a track of the day, a point a second
//   (86,400), in each format. Goal: under 5 s.
// - zarnlog report of a day's single-channel drive (47 records a second, as
//   the board's frames bring them: 4.1 million records, about 77 MB) and of the
//   day's sweeps, each with the day's track. Goals: under 10 s, under 100 MB
//   resident, the page under 5 MB.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <optional>

#include "recording/log_reader.h"
#include "recording/synthetic_log.h"
#include "survey/csv_rows.h"
#include "survey/record_json.h"
#include "survey/synthetic_track.h"

namespace fs = std::filesystem;

namespace {

struct BenchLogs {
    BenchLogs() : dir(fs::temp_directory_path() / ("zarnlog-bench-" + std::to_string(getpid()))) {
        fs::create_directories(dir);
    }
    ~BenchLogs() { fs::remove_all(dir); }
    // The log of `sweeps` sweeps, written on first use; empty when it cannot be written.
    std::string log(long sweeps, int millisecondsApart) {
        auto found = paths.find(sweeps);
        if (found != paths.end()) return found->second;
        const std::string path = (dir / ("sweeps-" + std::to_string(sweeps) + ".zrn")).string();
        return paths[sweeps] = zarn::writeCellularSweepLog(path, sweeps, millisecondsApart) ? path : "";
    }
    fs::path dir;
    std::map<long, std::string> paths;
};

BenchLogs& logs() {
    static BenchLogs l;
    return l;
}

std::string hourLog() { return logs().log(1600, 2000); }

// Every record of the hour through `encode` in process: MB of log per second.
template <typename Encode>
void inProcess(benchmark::State& state, Encode encode) {
    const std::string log = hourLog();
    if (log.empty()) return state.SkipWithError("cannot write the log");
    std::string text;
    for (auto _ : state) {
        zarn::LogReader reader;
        zarn::LogHeader header;
        if (!reader.open(log) || !reader.readHeader(header)) return state.SkipWithError("cannot read the log");
        zarn::forEachRecord(reader, [&](const zarn::LogRecord& r) {
            text.clear();
            encode(header, r, text);
            benchmark::DoNotOptimize(text.data());
            return true;
        });
    }
    const double mb = static_cast<double>(fs::file_size(log)) / 1e6;
    state.counters["log_MB"] = mb;
    state.counters["MB_per_s"] = benchmark::Counter(mb * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_CsvRows(benchmark::State& state) {
    std::optional<zarn::CsvRows> rows;
    inProcess(state, [&](const zarn::LogHeader& h, const zarn::LogRecord& r, std::string& text) {
        if (!rows) rows.emplace(h.pcsRaster);
        rows->append(r, text);
    });
}
void BM_RecordJson(benchmark::State& state) {
    std::optional<zarn::RecordJson> json;
    inProcess(state, [&](const zarn::LogHeader& h, const zarn::LogRecord& r, std::string& text) {
        if (!json) json.emplace(h.pcsRaster);
        json->append(r, text);
    });
}

// A day's drive round a loop of a few kilometres, a point a second, beside the day's log.
std::string dayTrack() {
    const std::string path = (logs().dir / "day.gpx").string();
    const bool made = zarn::writeSyntheticTrack(path, 0, 86400, 1, [](long long s) {
        const double turn = 2 * M_PI * static_cast<double>(s) / 1800;
        return std::optional<zarn::Place>({47.37 + 0.01 * std::sin(turn), 8.54 + 0.015 * std::cos(turn)});
    });
    return made ? path : "";
}

// A day's single-channel drive, written on first use; empty when it cannot be written.
std::string singleChannelDay() {
    const std::string path = (logs().dir / "single-day.zrn").string();
    static const bool made = zarn::writeSingleChannelLog(path, 86400, 47);
    return made ? path : "";
}

// The program run once per iteration; its wall time, and its peak resident size from wait4.
// Argument 0: days of log, or 0 for the hour.
void program(benchmark::State& state, const std::string& verb) {
    const long days = verb == "report" ? 1 : state.range(0);
    const std::string log = verb == "report" && state.range(0) == 0 ? singleChannelDay()
                            : days                                  ? logs().log(days * 38400, 2250)
                                                                    : hourLog();
    if (log.empty()) return state.SkipWithError("cannot write the log");
    static const char* const kMaps[] = {"day.gpkg", "day.kml", "day.geojson", "day.csv"};
    const std::string out = (logs().dir / (verb == "plot"        ? "long.png"
                                           : verb == "map"       ? kMaps[state.range(1)]
                                           : verb == "report"    ? "day.html"
                                           : verb == "occupancy" ? "occ.csv"
                                                                 : "csv"))
                                .string();
    const bool placed = verb == "map" || verb == "report";
    const std::string track = placed ? dayTrack() : "";
    if (placed && track.empty()) return state.SkipWithError("cannot write the track");
    long maxKb = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) {
            if (!freopen("/dev/null", "w", stdout)) _exit(126);
            if (placed && !freopen("/dev/null", "w", stderr)) _exit(126);  // its counts
            if (verb == "info") execl(ZARNLOG_PATH, "zarnlog", "info", log.c_str(), static_cast<char*>(nullptr));
            if (placed)
                execl(ZARNLOG_PATH, "zarnlog", verb.c_str(), log.c_str(), "--track", track.c_str(), "-o", out.c_str(),
                      static_cast<char*>(nullptr));
            execl(ZARNLOG_PATH, "zarnlog", verb.c_str(), log.c_str(), "-o", out.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return state.SkipWithError(("zarnlog " + verb + " failed").c_str());
        maxKb = std::max(maxKb, usage.ru_maxrss);
    }
    const double mb = static_cast<double>(fs::file_size(log)) / 1e6;
    state.counters["log_MB"] = mb;
    state.counters["MB_per_s"] = benchmark::Counter(mb * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["max_RSS_MB"] = static_cast<double>(maxKb) / 1024.0;
    if (verb == "report") state.counters["html_MB"] = static_cast<double>(fs::file_size(out)) / 1e6;
}

void BM_ZarnlogProgramInfo(benchmark::State& state) { program(state, "info"); }
void BM_ZarnlogProgramCsv(benchmark::State& state) { program(state, "csv"); }
void BM_ZarnlogProgramPlot(benchmark::State& state) { program(state, "plot"); }
void BM_ZarnlogProgramMap(benchmark::State& state) { program(state, "map"); }
void BM_ZarnlogProgramReport(benchmark::State& state) { program(state, "report"); }
void BM_ZarnlogProgramOccupancy(benchmark::State& state) { program(state, "occupancy"); }

}  // namespace

BENCHMARK(BM_CsvRows)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RecordJson)->Unit(benchmark::kMillisecond)->MinTime(2.0);
// Argument: days of log, 0 for the hour.
BENCHMARK(BM_ZarnlogProgramInfo)->Arg(1)->Arg(7)->Iterations(2)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_ZarnlogProgramCsv)->Arg(0)->Arg(1)->Arg(7)->Iterations(2)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_ZarnlogProgramPlot)->Arg(0)->Arg(1)->Arg(7)->Iterations(2)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_ZarnlogProgramOccupancy)->Arg(1)->Arg(7)->Iterations(2)->UseManualTime()->Unit(benchmark::kSecond);
// Arguments: days of log, then the map's format: GeoPackage, KML, GeoJSON, CSV.
BENCHMARK(BM_ZarnlogProgramMap)->ArgsProduct({{1}, {0, 1, 2, 3}})->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
// Argument: 0 a day's single-channel drive, 1 a day's sweeps; each with the day's track.
BENCHMARK(BM_ZarnlogProgramReport)->Arg(0)->Arg(1)->Iterations(2)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
