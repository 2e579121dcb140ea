#pragma once
// Little-endian 16-bit values, as every multi-byte field of the board's frames
// and the log files is stored.

#include <cstdint>
#include <vector>

namespace zarn {

inline void putU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void appendU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

inline uint16_t u16At(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int16_t i16At(const uint8_t* p) { return static_cast<int16_t>(u16At(p)); }

}  // namespace zarn
