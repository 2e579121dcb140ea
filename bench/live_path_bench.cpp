// What zarn-record --occupancy --alarm ... --mqtt adds to each record it writes, as a
// share of one core at the line's full rate (38400 bit/s): the alarm rules (three), the
// occupancy count (a noise-relative threshold), and the record through the fan-out to
// the MQTT output, its JSON and its publishing to a real mosquitto on this machine, the
// network thread included. The processor time of the whole process (every thread) is
// measured over records fed in batches and let drain, so that no record is dropped.
//   full sweeps      833 points, 8330 bytes on the line: 0.46 records a second
//   single channel   a level frame of 7 bytes: 549 records a second, the most the line carries
// Goal: at most 1 % of a core for each.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "board/request_frame.h"
#include "outputs/mqtt/mqtt_output.h"
#include "outputs/record_fanout.h"
#include "recording/log_reader.h"
#include "recording/synthetic_log.h"
#include "survey/alarm_rules.h"
#include "survey/occupancy.h"
#include "testing/servers/mosquitto_broker.h"

namespace {

using namespace std::chrono_literals;

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Bytes a frame of `payload` bytes takes on the line.
double lineBytes(uint8_t type, size_t payload) {
    std::vector<uint8_t> frame;
    const std::vector<uint8_t> zeros(payload, 0);
    zarn::appendFrame(frame, type, zeros.data(), zeros.size());
    return static_cast<double>(frame.size());
}

struct Records {
    uint32_t pcsRaster = 0;
    std::vector<zarn::WrittenRecord> written;
};

Records readAll(const std::string& path) {
    Records out;
    zarn::LogReader reader;
    zarn::LogHeader header;
    if (!reader.open(path) || !reader.readHeader(header)) return out;
    out.pcsRaster = header.pcsRaster;
    zarn::forEachRecord(reader, [&](const zarn::LogRecord& r) {
        out.written.push_back({r.offset, r.time, r.note, r.type, {r.payload, r.payload + r.length}});
        return true;
    });
    return out;
}

zarn::testing::MosquittoBroker& broker() {
    static zarn::testing::MosquittoBroker b;
    static const bool started = [] {
        std::string error;
        return b.start(error);
    }();
    (void)started;
    return b;
}

zarn::AlarmRule rule(const std::string& text) {
    zarn::AlarmRule r;
    std::string error;
    size_t column = 0;
    zarn::parseAlarmRule(text, r, error, column);
    return r;
}

void livePath(benchmark::State& state, const Records& records, double recordsPerSecond) {
    if (records.written.empty()) return state.SkipWithError("cannot make the records");
    if (!broker().running()) return state.SkipWithError("cannot start mosquitto");
    zarn::MqttSettings settings;
    std::string error;
    zarn::parseBrokerUrl(broker().url(), settings, error);
    settings.site = "bench";
    settings.topicPrefix = "zarn/bench";
    zarn::RecordFanout fanout;
    fanout.attach("mqtt", std::make_unique<zarn::MqttOutput>(settings, [](const std::string&) {}));
    const auto connected = [&] { return fanout.states()[0].connected.value_or(false); };
    for (int i = 0; i < 500 && !connected(); ++i) std::this_thread::sleep_for(10ms);
    if (!connected()) return state.SkipWithError("not connected to mosquitto");

    zarn::AlarmRules rules({rule("a: 881.52 > -70 for 10"), rule("b: 869:894 > -40 for 5"), rule("c: 870.03 < -100 for 60")},
                           records.pcsRaster);
    zarn::OccupancyCounter occupancy(records.pcsRaster, {true, 10}, 900);
    zarn::OccupancyPeriod ended;
    const auto drained = [&] {
        const zarn::OutputStatus s = fanout.states()[0];
        return s.queued == 0;
    };
    size_t fed = 0;
    double cpu = 0, seconds = 0;
    for (auto _ : state) {
        const double before = processSeconds();
        for (size_t i = 0; i < records.written.size(); ++i) {
            const zarn::WrittenRecord& w = records.written[i];
            const zarn::LogRecord r{w.offset, w.time, w.note, w.type, w.payload.data(), w.payload.size()};
            rules.take(r, seconds);
            occupancy.take(r, ended);
            fanout.publish({w, records.pcsRaster, w.offset + 100});
            seconds += 1 / recordsPerSecond;
            if (i % 16 == 15)
                while (!drained()) std::this_thread::sleep_for(200us);
        }
        while (!drained()) std::this_thread::sleep_for(200us);
        std::this_thread::sleep_for(20ms);  // the network thread writes the last ones out
        cpu += processSeconds() - before;
        fed += records.written.size();
    }
    const zarn::OutputStatus s = fanout.finish(std::chrono::steady_clock::now() + 5s)[0];
    if (s.dropped) return state.SkipWithError(("records were dropped: the figure would flatter; " + std::to_string(s.dropped) + " of " + std::to_string(fed)).c_str());
    const double perRecord = cpu / static_cast<double>(fed);
    state.counters["us_per_record"] = perRecord * 1e6;
    state.counters["records_per_s_at_line_rate"] = recordsPerSecond;
    state.counters["core_percent_at_line_rate"] = 100 * perRecord * recordsPerSecond;
}

void BM_LivePathFullSweeps(benchmark::State& state) {
    static const Records sweeps = [] {
        const std::string path = "/tmp/zarn-live-bench-sweeps-" + std::to_string(getpid()) + ".zrn";
        zarn::writeCellularSweepLog(path, 400, 2250);
        Records r = readAll(path);
        std::remove(path.c_str());
        return r;
    }();
    livePath(state, sweeps, 3840.0 / (833 * lineBytes(33, 5)));
}

void BM_LivePathSingleChannel(benchmark::State& state) {
    static const Records levels = [] {
        const std::string path = "/tmp/zarn-live-bench-single-" + std::to_string(getpid()) + ".zrn";
        {
            zarn::SyntheticLog log(path, 30000, 1);
            for (int i = 0; i < 4000; ++i) log.singleChannel(384, static_cast<int16_t>(-1600 + (i % 700)), 100, -1700);
        }
        Records r = readAll(path);
        std::remove(path.c_str());
        return r;
    }();
    livePath(state, levels, 3840.0 / lineBytes(14, 2));
}

}  // namespace

BENCHMARK(BM_LivePathFullSweeps)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LivePathSingleChannel)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
