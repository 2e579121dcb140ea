#pragma once
// Log values as text: time stamps, record types, notes.
//
// Notes are stored one byte a character, the low 8 bits of the device's
// characters; they are read as Windows-1252 (ISO 8859-1 for every byte but
// 0x80..0x9F, which 1252 gives printable signs such as the euro).

#include <cstdint>
#include <string>

#include "recording/log_file.h"

namespace zarn {

// "2004-07-09T14:05:03"
std::string isoTime(const LocalTime& t);
std::string clockTime(const LocalTime& t);  // "14:05:03"
// "single channel", "channel table", "spectrum", "best servers" or "frame <type>".
std::string recordTypeName(uint8_t type);

// Valid UTF-8 of a note for files: control characters become blanks, so a
// field stays on its line; a byte 1252 leaves undefined becomes U+FFFD.
std::string noteUtf8(const std::string& note);
// UTF-8 of a note for a terminal: control characters, undefined bytes and the
// backslash itself written as \xNN (\x1b for ESC) and \\.
std::string noteForTerminal(const std::string& note);

}  // namespace zarn
