#pragma once
// Helpers for the sweep screens' tests: a board state in a known sweep, a
// request recorder that answers at once, and pixel counts.

#include <string>
#include <vector>

#include "board/board_state.h"
#include "board/byte_sender.h"
#include "platform/gdi/dc.h"

namespace zarn::testing {

// Takes the requests the screens send and answers each type straight away.
class AnsweringSender : public ByteSender {
public:
    explicit AnsweringSender(BoardState& board) : board_(board) {
        for (Event& e : board_.replyEvents) e.set();
        setRequestSender(this);
    }
    ~AnsweringSender() override {
        setRequestSender(nullptr);
        for (Event& e : board_.replyEvents) e.reset();
    }
    bool sendBytes(const uint8_t* bytes, uint32_t length) override {
        if (length > 2) types.push_back(bytes[2]);
        return true;
    }
    std::vector<uint8_t> types;

private:
    BoardState& board_;
};

// Every trace empty and hidden but trace 1, the cellular band, a 201-point window from offset 0.
inline void resetSweep(BoardState& b) {
    for (int n = 1; n <= 3; ++n) {
        SpectrumTrace& t = b.traces[n];
        for (int i = 0; i < kTraceSamples; ++i) t.samples[i] = i < kTraceOffsets ? kEmptyLevel : 0;
        t.pointCount = 0;
        t.enabled = n == 1;
        t.visible = 0;
        t.hold = 0;
    }
    b.activeTrace = 1;
    b.bandIndex = 0;
    b.reportedBand = 0;
    b.sweepStart = 0, b.sweepCount = 201, b.sweepCentre = 100, b.sweepStep = 1;
    b.sweepPosition = 9999;
    b.markerOffset = 100;
    b.markerCount = 0;
    b.pcsPlan.setPcsRaster(50000);
    for (ServerEntry& e : b.bestServers) e = {0, 0};
}

inline void fillTrace(BoardState& b, int n, int16_t level, uint16_t points) {
    for (int i = 0; i < kTraceOffsets; ++i) b.traces[n].samples[i] = level;
    b.traces[n].pointCount = points;
    b.traces[n].visible = 1;
}

// The first pixel of rect where one has ink and the other not, or "".
inline std::string firstInkDifference(const Surface& a, const Surface& b, const CRect& rect, COLORREF ink) {
    const uint32_t p = rgbToPixel(ink);
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if ((a.at(x, y) == p) != (b.at(x, y) == p)) return "(" + std::to_string(x) + "," + std::to_string(y) + ")";
    return "";
}

inline int countColour(const Surface& s, const CRect& rect, COLORREF c) {
    int n = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) n += s.at(x, y) == rgbToPixel(c);
    return n;
}

}  // namespace zarn::testing
