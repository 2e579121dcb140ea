#pragma once
// Frame encoding, the same in both directions: 0x11 0x12, type, payload, 0x11 0x13,
// with every 0x11 in the type or payload sent as 0x11 0x14.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zarn {

constexpr uint8_t kFrameMark = 0x11;
constexpr uint8_t kFrameStart = 0x12;
constexpr uint8_t kFrameEnd = 0x13;
constexpr uint8_t kFrameEscape = 0x14;
constexpr int kSendBufferSize = 128;

// Frames a request into `out` (kSendBufferSize bytes). Returns the framed
// length, or -1 when the type has no reply event (50 or more) or the framed
// request would not fit the send buffer; `out` is then left unspecified.
int buildRequestFrame(uint8_t type, const uint8_t* payload, uint16_t length, uint8_t* out);

// Appends one complete frame of any size.
void appendFrame(std::vector<uint8_t>& out, uint8_t type, const uint8_t* payload, size_t length);

}  // namespace zarn
