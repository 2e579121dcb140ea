// One full paint of the spectrum screen with three visible traces of 833
// points (the whole cellular band), the marker and the sweep cursor on the
// graph, the strip lines, and the copy to the window. Goal: at most 1 ms.
#include <benchmark/benchmark.h>

#include "board/board_state.h"
#include "platform/gdi/dc.h"
#include "screens/measurement_view.h"
#include "screens/spectrum_paint.h"
#include "screens/status_strip.h"

namespace {

using namespace zarn;

LocalTime fixedTime() { return {2007, 3, 5, 9, 4, 7}; }

void fillTraces(BoardState& board) {
    board.sweepStart = 1, board.sweepCount = 833, board.sweepCentre = 417, board.sweepStep = 1;
    for (int n = 1; n <= 3; ++n) {
        SpectrumTrace& t = board.traces[n];
        t.visible = 1;
        t.pointCount = 833;
        for (int i = 0; i < 834; ++i) t.samples[i] = static_cast<int16_t>(-16 * (40 + n * 20 + (i * (2 * n + 3)) % 23));
    }
    board.markerOffset = 417;
    board.sweepPosition = 600;
}

void BM_SpectrumPaintThreeTraces(benchmark::State& state) {
    BoardState& board = boardState();
    fillTraces(board);
    StatusStrip strip(fixedTime);
    Surface window(240, 320);
    CDC windowDc(window, CPoint(0, 26), CRect(0, 26, 240, 294));
    const CRect client(0, 0, 240, 268);
    for (auto _ : state) {
        MeasurementPaint image(&windowDc, client);
        paintSpectrum(image.dc(), board, strip);
        benchmark::DoNotOptimize(window.pixels.data());
    }
}
BENCHMARK(BM_SpectrumPaintThreeTraces)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
