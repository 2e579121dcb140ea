// Requests to the board: each is framed, handed to the serial link and waits
// for the board's answer of the same type.

#include <atomic>
#include <cstring>

#include "board/board_state.h"
#include "board/byte_sender.h"
#include "board/frame_types.h"
#include "board/little_endian.h"
#include "board/request_frame.h"

namespace zarn {

namespace {
std::atomic<ByteSender*> sender{nullptr};
constexpr uint32_t kReplyTimeoutMs = 1000;
constexpr uint32_t kAbandonPollMs = 50;
}  // namespace

void setRequestSender(ByteSender* s) { sender = s; }
ByteSender* requestSender() { return sender; }

bool BoardState::postRequest(uint8_t type, const uint8_t* payload, uint16_t length) {
    uint8_t frame[kSendBufferSize];
    const int n = buildRequestFrame(type, payload, length, frame);
    if (n < 0) return false;
    if (ByteSender* s = sender.load()) s->sendBytes(frame, static_cast<uint32_t>(n));
    return true;
}

bool BoardState::sendRequest(uint8_t type, const uint8_t* payload, uint16_t length) {
    if (abandonRequests && abandonRequests()) return false;
    if (!postRequest(type, payload, length)) return false;
    if (abandonRequests)
        replyEvents[type].waitUnless(kReplyTimeoutMs, abandonRequests, kAbandonPollMs);
    else
        replyEvents[type].wait(kReplyTimeoutMs);
    return true;
}

bool BoardState::sendVersionRequest() { return sendRequest(typeCode(RequestType::Version), nullptr, 0); }
bool BoardState::sendSerialRequest() { return sendRequest(typeCode(RequestType::Serial), nullptr, 0); }

bool BoardState::sendCode5(uint16_t value) {
    uint8_t p[2];
    putU16(p, value);
    return sendRequest(typeCode(RequestType::Code5), p, 2);
}

bool BoardState::sendMode(uint8_t mode) { return sendRequest(typeCode(RequestType::Mode), &mode, 1); }
bool BoardState::sendBand(uint8_t band) { return sendRequest(typeCode(RequestType::Band), &band, 1); }

bool BoardState::sendTune(uint32_t step) {
    commandedStep = step;
    uint8_t p[4];
    putU16(p, static_cast<uint16_t>(step));
    putU16(p + 2, static_cast<uint16_t>(step >> 16));
    return sendRequest(typeCode(RequestType::Tune), p, 4);
}

bool BoardState::sendTableEntry(uint8_t slot, uint8_t band, uint16_t offset) {
    uint8_t p[4] = {slot, band, 0, 0};
    putU16(p + 2, offset);
    return sendRequest(typeCode(RequestType::TableEntry), p, 4);
}

bool BoardState::sendSweepParameters() {
    uint8_t p[6];
    putU16(p, sweepStart);
    putU16(p + 2, sweepCount);
    putU16(p + 4, sweepStep);
    return sendRequest(typeCode(RequestType::SweepParameters), p, 6);
}

bool BoardState::sendTableLength(uint8_t count) {
    return sendRequest(typeCode(RequestType::TableLength), &count, 1);
}

}  // namespace zarn
