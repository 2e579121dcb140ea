#pragma once
// The receive state machine and the frame decoder.
//
// feedByte advances the machine by one byte; at a frame's end it calls
// decodeFrame, which applies the reply to the board state, stages a log record
// while logging, pulses the reply event of the frame's type and posts
// WM_BOARD_UPDATE. After a decoded frame the machine stays in kParserDelivered,
// ignoring bytes, until the link thread sets the state back to kParserIdle.

#include <cstdint>

#include "board/board_state.h"

namespace zarn {

enum ParserState : uint16_t {
    kParserIdle = 0,
    kParserStart = 2,
    kParserType = 3,
    kParserData = 4,
    kParserDataEscape = 5,
    kParserDelivered = 6,
    kParserTypeEscape = 7,
};

constexpr int kReceiveBufferSize = 8192;
constexpr int kMaxStoredPayload = 4096;
constexpr int kMaxLogPayload = 10000;

// Where the decoder stages log records: the log-file object.
struct RecordSink {
    virtual ~RecordSink() = default;
    virtual void setPendingRecord(uint8_t type, const uint8_t* bytes, int length) = 0;
};

// The process-wide record sink; null while no log object exists.
void setLogRecordSink(RecordSink* sink);
RecordSink* logRecordSink();

int feedByte(BoardState& board, uint8_t byte);
void decodeFrame(BoardState& board, uint8_t type, const uint8_t* payload, uint16_t length);

// Back to the state at process start: receive storage and decoder statics.
void resetFrameParser();

}  // namespace zarn
