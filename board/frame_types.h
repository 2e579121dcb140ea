#pragma once
// The frame types of the board's protocol. Every request is answered by a frame of its
// own type; the board also sends frames that no request asks for.

#include <cstdint>

namespace zarn {

enum class RequestType : uint8_t {
    Version = 1,
    Serial = 2,
    Code5 = 5,
    Mode = 8,
    Band = 9,
    Tune = 10,
    TableEntry = 17,
    SweepParameters = 21,
    TableLength = 32,
};

enum class ReplyType : uint8_t {
    Version = 1,         // firmware version text
    Serial = 2,          // serial number text
    Block3 = 3,          // kind, then 12 or 24 bytes kept as they are
    Code5 = 5,
    Mode = 8,            // mode byte
    Band = 9,            // band byte
    Tune = 10,           // the tuned step, u32
    ModeReport = 11,     // mode byte, unasked
    Report13 = 13,
    SingleLevel = 14,    // level of the reported band
    TableLevel = 15,     // slot, level
    Block16 = 16,
    TableEntry = 17,
    Block18 = 18,
    SweepParameters = 21,
    Report22 = 22,
    TableLength = 32,
    SweepSample = 33,    // offset, level, one more byte
};

constexpr uint8_t typeCode(RequestType t) { return static_cast<uint8_t>(t); }
constexpr uint8_t typeCode(ReplyType t) { return static_cast<uint8_t>(t); }

}  // namespace zarn
