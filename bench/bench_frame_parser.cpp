// Throughput of the receive state machine on a long stream of sweep-sample
// frames (full cellular sweeps, as the board sends them in spectrum mode).
#include <benchmark/benchmark.h>

#include <vector>

#include "board/frame_parser.h"
#include "board/request_frame.h"

namespace {

struct QuietBoard : zarn::BoardState {
    bool sendRequest(uint8_t, const uint8_t*, uint16_t) override { return true; }
};
struct CountingWindow : zarn::MessagePoster {
    bool postMessage(uint32_t) override { ++posts; return true; }
    long posts = 0;
};

std::vector<uint8_t> sweepStream(int sweeps) {
    std::vector<uint8_t> bytes;
    for (int s = 0; s < sweeps; ++s) {
        for (uint16_t o = 1; o <= 833; ++o) {
            const int16_t level = static_cast<int16_t>(-1760 + (o * 37 + s * 11) % 900);
            const uint8_t p[5] = {static_cast<uint8_t>(o), static_cast<uint8_t>(o >> 8), static_cast<uint8_t>(level),
                                  static_cast<uint8_t>(static_cast<uint16_t>(level) >> 8), 0};
            zarn::appendFrame(bytes, 33, p, 5);
        }
    }
    return bytes;
}

void feedStream(benchmark::State& state, uint8_t screenMode) {
    static QuietBoard board;
    CountingWindow window;
    board.notifyWindow = &window;
    board.sweepStart = 1;
    board.sweepCount = 833;
    board.sweepStep = 1;
    board.screenMode = screenMode;
    const std::vector<uint8_t> stream = sweepStream(20);
    zarn::FrameParser parser(board);
    for (auto _ : state) {
        for (uint8_t b : stream) {
            parser.release();
            parser.feed(b);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 20 * 833, benchmark::Counter::kIsRate);
    board.notifyWindow = nullptr;
}

// Best servers: every wrap ranks 833 points and resets trace 1.
void BM_SweepFramesBestServers(benchmark::State& state) { feedStream(state, zarn::kModeBestServers); }
// Spectrum: no trace reset at the wrap.
void BM_SweepFramesSpectrum(benchmark::State& state) { feedStream(state, zarn::kModeSpectrum); }

}  // namespace

BENCHMARK(BM_SweepFramesBestServers);
BENCHMARK(BM_SweepFramesSpectrum);
BENCHMARK_MAIN();
