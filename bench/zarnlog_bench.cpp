// zarnlog csv and zarnlog plot on a one-hour spectrum log of full cellular
// sweeps: 1600 sweeps of 833 points, about 5.4 MB. Goal: under a second each.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "recording/synthetic_log.h"
#include "tools/zarnlog/zarnlog_command.h"

namespace fs = std::filesystem;

namespace {

struct HourLog {
    HourLog() : dir(fs::temp_directory_path() / ("zarnlog-bench-" + std::to_string(getpid()))) {
        fs::create_directories(dir);
        path = (dir / "hour.zrn").string();
        ok = zarn::writeCellularSweepLog(path, 1600, 2);
    }
    ~HourLog() { fs::remove_all(dir); }
    fs::path dir;
    std::string path;
    bool ok = false;
};

HourLog& hourLog() {
    static HourLog log;
    return log;
}

void run(benchmark::State& state, std::vector<std::string> args) {
    HourLog& log = hourLog();
    if (!log.ok) {
        state.SkipWithError("cannot write the log");
        return;
    }
    for (auto _ : state) {
        std::ostringstream out, err;
        if (zarn::runZarnlog(args, out, err) != 0) {
            state.SkipWithError(err.str().c_str());
            return;
        }
    }
    state.counters["log_MB"] = static_cast<double>(fs::file_size(log.path)) / 1e6;
}

void BM_ZarnlogCsv(benchmark::State& state) {
    run(state, {"csv", hourLog().path, "-o", hourLog().dir.string()});
}
void BM_ZarnlogPlot(benchmark::State& state) {
    run(state, {"plot", hourLog().path, "-o", (hourLog().dir / "hour.png").string()});
}

}  // namespace

BENCHMARK(BM_ZarnlogCsv)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ZarnlogPlot)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
