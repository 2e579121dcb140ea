#pragma once
// Finds the board's serial port among the active drivers of the registry: the first one
// whose PnpId begins with "Quatech" or "CF-Serial_I-O" (case-sensitive) gives its Name.
// Writes the name, NUL-terminated, into name (128 bytes); "COM1:" when nothing matches.

namespace zarn {

constexpr unsigned kPortNameSize = 128;

void discoverPortName(char name[kPortNameSize]);

}  // namespace zarn
