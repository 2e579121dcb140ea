// Arbitrary byte streams through the receive state machine, with the first
// bytes choosing the screen mode, sweep window, active trace, hold and logging.
#include <cstddef>
#include <cstdint>

#include "board/frame_parser.h"

namespace {

struct NullBoard : zarn::BoardState {
    bool sendRequest(uint8_t, const uint8_t*, uint16_t) override { return true; }
};
struct NullSink : zarn::RecordSink {
    void setPendingRecord(uint8_t, const uint8_t*, int length) override { total += length; }
    long total = 0;
};
struct NullWindow : zarn::MessagePoster {
    bool postMessage(uint32_t) override { return true; }
};

uint16_t u16(const uint8_t* d) { return static_cast<uint16_t>(d[0] | (d[1] << 8)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kSettings = 14;
    if (size < kSettings) return 0;
    static NullBoard board;
    static NullSink sink;
    static NullWindow window;
    zarn::FrameParser parser(board, &sink);
    parser.restart();
    board.notifyWindow = &window;
    const uint8_t modes[] = {0, 216, 217, 218, 219, data[0]};
    board.screenMode = modes[data[1] % 6];
    board.sweepStart = u16(data + 2);
    board.sweepCount = u16(data + 4);
    board.sweepStep = u16(data + 6);
    board.activeTrace = static_cast<int16_t>(u16(data + 8));
    board.traces[1 + data[10] % 3].hold = data[10] >> 7;
    board.logging = data[11] & 1;
    board.bandIndex = data[12];
    const uint32_t rasters[] = {30000, 50000, 200000, 0};
    board.pcsPlan.setPcsRaster(rasters[data[13] % 4]);
    for (size_t i = kSettings; i < size; ++i) {
        parser.release();
        parser.feed(data[i]);
    }
    return 0;
}
