#pragma once
// A whole log in memory: its header and every record up to the first bad one.

#include <cstdint>
#include <string>
#include <vector>

#include "recording/log_reader.h"

namespace zarn {

struct LoadedLog {
    std::vector<uint8_t> bytes;  // the records point into these
    LogHeader header;
    std::vector<LogRecord> records;
    bool damaged = false;  // a bad record ended the read; problem and badOffset say where
    std::string problem;
    size_t badOffset = 0;

    LoadedLog() = default;
    LoadedLog(const LoadedLog&) = delete;
    LoadedLog& operator=(const LoadedLog&) = delete;
};

// False (problem set) when the header is unreadable; a bad record only sets damaged.
bool loadLog(std::vector<uint8_t> bytes, LoadedLog& log);
// The same from a file; false with problem set when it cannot be read.
bool loadLogFile(const std::string& path, LoadedLog& log);

// "2004-07-09T14:05:03"
std::string isoTime(const LocalTime& t);
std::string clockTime(const LocalTime& t);  // "14:05:03"

}  // namespace zarn
