// The live page's event stream at line rate: from a board frame decoded to its
// record's event read off the socket by each client, and the processor time the
// stream takes per client.
//
// As zarn-record runs it, in one process: a feeder thread plays the board's frames
// into the frame parser at 38400 bit/s, which stages each record and posts it; the
// main thread, woken by the post, writes the record to a log and publishes it on
// the fan-out; the live output on its lane encodes it once and queues it for every
// stream; libmicrohttpd sends it; a reader thread takes the events off N client
// sockets. The latency of an event is from the decode of the frame that completed
// its record to the moment its last byte is read, over every record and client.
//
// Each record's latency is also split at its publishing: decoded -> published is the
// recorder's own path (the main loop's wake and the log's write), published -> read
// the live output's (the fan-out's lane, the encoding, the stream's queue and wake,
// libmicrohttpd's write). The log is written to /dev/shm when there is one, so that a
// disk busy elsewhere does not stall it.
//
// The server's processor time is the process's less the feeder's and the reader's
// threads; a client's share is the difference from the run without clients, over
// the clients. ZARN_BENCH_SECONDS sets each run's length (default 20),
// ZARN_BENCH_COALESCE_MS the streams' coalescing of wakes (default the output's).
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "board/frame_parser.h"
#include "board/request_frame.h"
#include "platform/http/listen_address.h"
#include "outputs/live/live_output.h"
#include "outputs/record_fanout.h"
#include "recording/log_recorder.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kLineBytesPerSecond = 38400 / 10.0;
enum Kind { kSingle = 0, kSpectrum = 1 };

struct QuietBoard : zarn::BoardState {
    bool sendRequest(uint8_t, const uint8_t*, uint16_t) override { return true; }
};

double threadSeconds(pthread_t thread) {
    clockid_t clock;
    timespec t{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

// The board's frames for one record: a single-channel answer, or a full cellular sweep
// of 833 points whose wrap (the first point again) completes the one before.
std::vector<std::vector<uint8_t>> framesOf(Kind kind, int n) {
    std::vector<std::vector<uint8_t>> frames;
    if (kind == kSingle) {
        std::vector<uint8_t> f;
        zarn::appendFrame(f, 5, nullptr, 0);
        frames.push_back(f);
        return frames;
    }
    for (uint16_t o = 1; o <= 833; ++o) {
        const int16_t level = static_cast<int16_t>(-1760 + (o * 37 + n * 11) % 900);
        const uint8_t p[5] = {static_cast<uint8_t>(o), static_cast<uint8_t>(o >> 8), static_cast<uint8_t>(level),
                              static_cast<uint8_t>(static_cast<uint16_t>(level) >> 8), 0};
        std::vector<uint8_t> f;
        zarn::appendFrame(f, 33, p, 5);
        frames.push_back(f);
    }
    return frames;
}

// The main loop's queue: the decode time of each record posted, in order.
class Posts : public zarn::MessagePoster {
public:
    bool postMessage(uint32_t message) override {
        if (message != zarn::WM_LOG_RECORD) return true;
        {
            std::lock_guard lock(mutex_);
            decoded_.push_back(Clock::now());
        }
        wake_.notify_one();
        return true;
    }
    // The next record's decode time; nothing after 100 ms without one.
    std::optional<Clock::time_point> next() {
        std::unique_lock lock(mutex_);
        if (!wake_.wait_for(lock, 100ms, [&] { return !decoded_.empty(); })) return std::nullopt;
        const Clock::time_point decoded = decoded_.front();
        decoded_.pop_front();
        return decoded;
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Clock::time_point> decoded_;
};

// The clients: sockets with a request for /api/stream sent, read on one thread.
class Clients {
public:
    Clients(int port, int count) {
        for (int i = 0; i < count; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(static_cast<uint16_t>(port));
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
            // HTTP/1.0: the stream comes without chunks.
            const char request[] = "GET /api/stream HTTP/1.0\r\n\r\n";
            send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
            fds_.push_back(fd);
        }
        buffers_.resize(fds_.size());
        seen_.resize(fds_.size());
        thread_ = std::thread([this] { run(); });
    }
    ~Clients() {
        stop();
        for (const int fd : fds_) close(fd);
    }
    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // The reader thread's processor time so far.
    double seconds() const { return threadSeconds(const_cast<std::thread&>(thread_).native_handle()); }
    // Each client's records: the offset and when its event had come whole.
    const std::vector<std::vector<std::pair<long long, Clock::time_point>>>& seen() const { return seen_; }

private:
    void run() {
        const int poller = epoll_create1(EPOLL_CLOEXEC);
        for (size_t i = 0; i < fds_.size(); ++i) {
            epoll_event e{EPOLLIN, {.u64 = i}};
            epoll_ctl(poller, EPOLL_CTL_ADD, fds_[i], &e);
        }
        std::vector<epoll_event> ready(64);
        std::vector<char> bytes(1 << 16);
        while (!stop_) {
            const int n = epoll_wait(poller, ready.data(), static_cast<int>(ready.size()), 50);
            for (int k = 0; k < n; ++k) {
                const size_t i = ready[static_cast<size_t>(k)].data.u64;
                const ssize_t got = recv(fds_[i], bytes.data(), bytes.size(), MSG_DONTWAIT);
                if (got <= 0) {
                    epoll_ctl(poller, EPOLL_CTL_DEL, fds_[i], nullptr);
                    continue;
                }
                take(i, bytes.data(), static_cast<size_t>(got));
            }
        }
        close(poller);
    }
    void take(size_t i, const char* bytes, size_t n) {
        const auto now = Clock::now();
        std::string& b = buffers_[i];
        b.append(bytes, n);
        size_t start = 0;
        for (size_t end; (end = b.find("\n\n", start)) != std::string::npos; start = end + 2) {
            if (b.compare(start, 13, "event: record") != 0) continue;
            const size_t at = b.find("\"offset\":", start);
            if (at < end) seen_[i].emplace_back(std::atoll(b.c_str() + at + 9), now);
        }
        b.erase(0, start);
    }

    std::vector<int> fds_;
    std::vector<std::string> buffers_;
    std::vector<std::vector<std::pair<long long, Clock::time_point>>> seen_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

double runSeconds() {
    const char* given = std::getenv("ZARN_BENCH_SECONDS");
    return given ? std::atof(given) : 20;
}

std::map<int, double> baselineCpu;  // by kind: the server's share of a core without clients

void BM_LiveStream(benchmark::State& state) {
    const Kind kind = static_cast<Kind>(state.range(0));
    const int clientCount = static_cast<int>(state.range(1));
    const std::filesystem::path folder =
        std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    const std::string log = folder / ("zarn-live-bench-" + std::to_string(getpid()) + ".zrn");
    for (auto _ : state) {
        auto owned = std::make_unique<QuietBoard>();
        QuietBoard& board = *owned;
        Posts posts;
        board.notifyWindow = &posts;
        board.setScreenMode(kind == kSingle ? zarn::kModeSingleChannel : zarn::kModeSpectrum);
        board.bandIndex = 0;
        board.sweepStart = 1;
        board.sweepCount = 833;
        board.sweepStep = 1;
        std::string error;
        if (zarn::logRecorder().startLog(board, log, log, error) != 0) {
            state.SkipWithError(error.c_str());
            return;
        }
        std::string listenError;
        const int listenFd = zarn::openListenSocket({"127.0.0.1", 0}, listenError);
        sockaddr_in bound{};
        socklen_t length = sizeof bound;
        getsockname(listenFd, reinterpret_cast<sockaddr*>(&bound), &length);
        zarn::RecordFanout fanout;
        zarn::StreamLimits limits;
        if (const char* c = std::getenv("ZARN_BENCH_COALESCE_MS")) limits.coalesce = std::chrono::milliseconds(std::atoi(c));
        fanout.attach("live", std::make_unique<zarn::LiveOutput>(zarn::LiveOptions{listenFd, "bench", ""}, limits));
        fanout.publishStatus({});
        Clients clients(ntohs(bound.sin_port), clientCount);
        std::this_thread::sleep_for(300ms);  // every client joined

        // The board at line rate, on a thread of its own as the link thread.
        std::atomic<bool> stop{false};
        std::thread feeder([&] {
            zarn::FrameParser parser(board, &zarn::logRecorder());
            const auto start = Clock::now();
            double bytes = 0;
            for (int n = 0; !stop; ++n) {
                for (const auto& frame : framesOf(kind, n)) {
                    bytes += static_cast<double>(frame.size());
                    std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                                              std::chrono::duration<double>(bytes / kLineBytesPerSecond)));
                    for (const uint8_t b : frame) {
                        parser.release();
                        parser.feed(b);
                    }
                    if (stop) break;
                }
            }
        });
        const double cpuBefore = processSeconds(), feederBefore = threadSeconds(feeder.native_handle());
        const double readerBefore = clients.seconds();
        const auto began = Clock::now();
        std::map<long long, Clock::time_point> decodedAt, publishedAt;
        // The main loop: each posted record written and published, as zarn-record does.
        while (Clock::now() - began < std::chrono::duration<double>(runSeconds())) {
            const auto decoded = posts.next();
            if (!decoded) continue;
            std::vector<zarn::WrittenRecord> written;
            if (zarn::logRecorder().writePendingRecord(error, &written) != 0) continue;
            // A batch can hold records whose posts are still queued: each takes its own, in order.
            for (size_t i = 0; i < written.size(); ++i) {
                const auto at = i == 0 ? decoded : posts.next();
                if (!at) break;
                decodedAt[static_cast<long long>(written[i].offset)] = *at;
                publishedAt[static_cast<long long>(written[i].offset)] = Clock::now();
                fanout.publish({written[i], 30000, zarn::logRecorder().fileLength()});
            }
        }
        stop = true;
        std::this_thread::sleep_for(200ms);  // the last events on their way
        const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
        const double serverSeconds = processSeconds() - cpuBefore -
                                     (threadSeconds(feeder.native_handle()) - feederBefore) -
                                     (clients.seconds() - readerBefore);
        feeder.join();
        clients.stop();
        fanout.finish(Clock::now() + 5s);
        zarn::logRecorder().finishLog(board, error);
        board.notifyWindow = nullptr;

        std::vector<double> latencies, liveLatencies;
        size_t missing = 0;
        for (const auto& client : clients.seen()) {
            missing += decodedAt.size() > client.size() ? decodedAt.size() - client.size() : 0;
            for (const auto& [offset, at] : client) {
                const auto found = decodedAt.find(offset);
                if (found == decodedAt.end()) continue;
                latencies.push_back(std::chrono::duration<double, std::milli>(at - found->second).count());
                liveLatencies.push_back(std::chrono::duration<double, std::milli>(at - publishedAt[offset]).count());
            }
        }
        std::sort(latencies.begin(), latencies.end());
        std::sort(liveLatencies.begin(), liveLatencies.end());
        const auto percentile = [](const std::vector<double>& sorted, double f) {
            return sorted.empty() ? 0.0 : sorted[std::min(sorted.size() - 1, static_cast<size_t>(f * sorted.size()))];
        };
        const double cpuShare = 100 * serverSeconds / seconds;
        if (clientCount == 0) baselineCpu[kind] = cpuShare;
        state.SetIterationTime(seconds);
        state.counters["records"] = static_cast<double>(decodedAt.size());
        state.counters["records_per_s"] = static_cast<double>(decodedAt.size()) / seconds;
        state.counters["missed"] = static_cast<double>(missing);
        state.counters["p50_ms"] = percentile(latencies, 0.50);
        state.counters["p99_ms"] = percentile(latencies, 0.99);
        state.counters["max_ms"] = latencies.empty() ? 0 : latencies.back();
        state.counters["live_p50_ms"] = percentile(liveLatencies, 0.50);
        state.counters["live_p99_ms"] = percentile(liveLatencies, 0.99);
        state.counters["server_cpu_pct"] = cpuShare;
        if (clientCount > 0 && baselineCpu.count(kind))
            state.counters["cpu_pct_per_client"] = (cpuShare - baselineCpu[kind]) / clientCount;
    }
    std::filesystem::remove(log);
}

}  // namespace

// {kind: 0 single channel, 1 spectrum; clients}; the run without clients first.
BENCHMARK(BM_LiveStream)
    ->ArgNames({"spectrum", "clients"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({0, 50})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({1, 50})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
