// stamp_lag: how far a log record's stamp, and its arrival on storage, trail the moment
// the decoder staged it, when every flush takes F ms (an SD card, a network share) and
// a board streams single-channel levels at line rate (7-byte frames at 38400 bit/s, a
// record each). A feeder thread stages as the link thread does; the writer writes
// what is staged as often as it can, as the programs do on WM_LOG_RECORD.
//
// The clock handed to the log counts milliseconds since the start in the stamp's
// hour, minute and second bytes (ms = hour * 65536 + minute * 256 + second), and each
// payload carries its record's number, so the file itself says when each record was
// stamped; the flush notes when the records in the file are on storage.
#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "recording/log_file.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kUsage =
    "Usage: stamp_lag [--flush-ms F] [--rate N] [--seconds S] SCRATCH.zrn\n"
    "Stages N records a second (default 548, line rate) for S seconds (default 3) into a\n"
    "log whose every flush takes F ms more (default 30), writes them as they come, and\n"
    "prints how far stamps and storage trail staging, and what was dropped.\n";

constexpr size_t kRecordSize = 14 + 8;  // single-channel, no note

struct Options {
    double flushMs = 30, rate = 548, seconds = 3;
};

bool parse(int argc, char** argv, Options& o, std::string& path) {
    const option options[] = {{"flush-ms", required_argument, nullptr, 'f'},
                              {"rate", required_argument, nullptr, 'r'},
                              {"seconds", required_argument, nullptr, 's'},
                              {"help", no_argument, nullptr, 'h'},
                              {nullptr, 0, nullptr, 0}};
    for (int c; (c = getopt_long(argc, argv, "h", options, nullptr)) != -1;) {
        if (c == 'h') return std::fputs(kUsage, stdout), std::exit(0), false;
        char* end = nullptr;
        const double v = optarg ? std::strtod(optarg, &end) : 0;
        if (!optarg || *end || !(v >= 0 && v <= 1e6)) return false;
        (c == 'f' ? o.flushMs : c == 'r' ? o.rate : o.seconds) = v;
    }
    if (optind + 1 != argc || !(o.rate > 0)) return false;
    path = argv[optind];
    return true;
}

double msSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

struct Figures {
    double p50 = 0, p99 = 0, max = 0;
};

Figures figuresOf(std::vector<double> v) {
    if (v.empty()) return {};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)], v.back()};
}

void print(const char* what, const Figures& f) {
    std::printf("%-34s p50 %9.1f ms   p99 %9.1f ms   max %9.1f ms\n", what, f.p50, f.p99, f.max);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string path;
    if (!parse(argc, argv, o, path)) return std::fputs(kUsage, stderr), 2;
    const auto start = Clock::now();

    const auto clock = [start] {
        const long ms = static_cast<long>(msSince(start));
        return zarn::LocalTime{2024, 5, 14, static_cast<int>(ms >> 16 & 0xFF), static_cast<int>(ms >> 8 & 0xFF),
                               static_cast<int>(ms & 0xFF)};
    };
    std::vector<std::pair<double, uint64_t>> flushes;  // when, and the file's length then
    zarn::CLogFile* log = nullptr;
    const auto slowFlush = [&](int fd) {
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(o.flushMs * 1000)));
        const int result = ::fdatasync(fd);
        if (log) flushes.emplace_back(msSince(start), log->fileLength());
        return result;
    };
    zarn::CLogFile file(path, clock, slowFlush);
    if (file.openLog(50000) != 0) return std::fprintf(stderr, "%s: %s\n", path.c_str(), file.errorText().c_str()), 1;
    log = &file;

    std::vector<double> stagedAt;  // by record number; the feeder's until it is done
    std::atomic<bool> feeding{true};
    std::thread feeder([&] {
        while (msSince(start) < o.seconds * 1000) {
            const size_t due = static_cast<size_t>(msSince(start) / 1000 * o.rate);
            while (stagedAt.size() < due) {
                const uint32_t n = static_cast<uint32_t>(stagedAt.size());
                uint8_t payload[8] = {};
                std::memcpy(payload, &n, sizeof n);
                stagedAt.push_back(msSince(start));
                file.setPendingRecord(216, payload, 8);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        feeding = false;
    });
    while (feeding || file.stagedCount() > 0) {
        if (file.writePendingRecord() != 0)
            return std::fprintf(stderr, "%s: %s\n", path.c_str(), file.errorText().c_str()), 1;
        if (file.stagedCount() == 0) std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    feeder.join();
    const double ended = msSince(start);
    file.closeLog();

    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    std::vector<double> stampLag, storageLag;
    size_t flush = 0;
    for (size_t at = zarn::kLogHeaderSize; at + kRecordSize <= bytes.size(); at += kRecordSize) {
        uint32_t n = 0;
        std::memcpy(&n, &bytes[at + 14], sizeof n);
        if (n >= stagedAt.size()) return std::fprintf(stderr, "record %u was never staged\n", n), 1;
        const double stamped = bytes[at + 6] * 65536.0 + bytes[at + 7] * 256.0 + bytes[at + 8];
        stampLag.push_back(stamped - std::floor(stagedAt[n]));  // the stamp counts whole ms
        while (flush < flushes.size() && flushes[flush].second < at + kRecordSize) ++flush;
        if (flush < flushes.size()) storageLag.push_back(flushes[flush].first - stagedAt[n]);
    }
    std::printf("%.0f ms a flush, %.0f records a second for %.1f s\n", o.flushMs, o.rate, o.seconds);
    std::printf("staged %zu, written %zu, dropped %zu, flushes %zu, writer done %.1f s after the last staging\n",
                stagedAt.size(), stampLag.size(), file.droppedRecords(), flushes.size(),
                (ended - o.seconds * 1000) / 1000);
    print("stamp after staging", figuresOf(stampLag));
    print("on storage after staging", figuresOf(storageLag));
    return 0;
}
