#include "board/request_frame.h"

#include "board/board_state.h"

namespace zarn {

namespace {

// Writes b (escaped) at out[n]; false when it does not fit `capacity`.
bool putEscaped(uint8_t* out, int& n, int capacity, uint8_t b) {
    const int need = b == kFrameMark ? 2 : 1;
    if (n + need > capacity) return false;
    out[n++] = b;
    if (b == kFrameMark) out[n++] = kFrameEscape;
    return true;
}

}  // namespace

int buildRequestFrame(uint8_t type, const uint8_t* payload, uint16_t length, uint8_t* out) {
    if (type >= kReplyEvents) return -1;
    int n = 0;
    out[n++] = kFrameMark;
    out[n++] = kFrameStart;
    const int bodyCapacity = kSendBufferSize - 2;  // room for the end pair
    if (!putEscaped(out, n, bodyCapacity, type)) return -1;
    for (uint16_t i = 0; i < length; ++i) {
        if (!putEscaped(out, n, bodyCapacity, payload[i])) return -1;
    }
    out[n++] = kFrameMark;
    out[n++] = kFrameEnd;
    return n;
}

void appendFrame(std::vector<uint8_t>& out, uint8_t type, const uint8_t* payload, size_t length) {
    auto put = [&](uint8_t b) {
        out.push_back(b);
        if (b == kFrameMark) out.push_back(kFrameEscape);
    };
    out.push_back(kFrameMark);
    out.push_back(kFrameStart);
    put(type);
    for (size_t i = 0; i < length; ++i) put(payload[i]);
    out.push_back(kFrameMark);
    out.push_back(kFrameEnd);
}

}  // namespace zarn
