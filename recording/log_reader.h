#pragma once
// LogReader: reads a ".zrn" log back, one record at a time, from bytes in memory.
//
// - readHeader accepts the 15-byte header CLogFile writes: the text "ZRN " and a
//   version, four bytes, and a PCS raster byte of 3, 5 or 20. Anything else (or
//   fewer than 15 bytes) is an unreadable header: no record can be trusted.
// - next() hands out records in file order. It stops for good at the first bad
//   record: a cut-off record at the end of the bytes, a missing "XXX" mark, a
//   time that no clock shows, a note longer than CLogFile writes, a length of 0
//   or one that runs past the end, or a payload whose size or band does not fit
//   its record type. problem() then names the fault and badOffset() the byte
//   offset of that record; every record before it has been handed out whole.
// - Records point into the caller's bytes, which must outlive them.

#include <cstddef>
#include <cstdint>
#include <string>

#include "recording/log_file.h"

namespace zarn {

struct LogHeader {
    std::string version;   // "1.00"
    uint32_t pcsRaster = 0;  // 30000, 50000 or 200000 Hz
};

struct LogRecord {
    size_t offset = 0;  // of its "XXX" mark
    LocalTime time{};
    std::string note;
    uint8_t type = 0;
    const uint8_t* payload = nullptr;
    size_t length = 0;
};

enum class ReadStatus { Record, End, Bad };

class LogReader {
public:
    LogReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

    // False with problem() set when the header is unreadable.
    bool readHeader(LogHeader& header);
    ReadStatus next(LogRecord& record);

    const std::string& problem() const { return problem_; }
    size_t badOffset() const { return badOffset_; }
    size_t offset() const { return at_; }

private:
    ReadStatus bad(const std::string& why);

    const uint8_t* bytes_;
    size_t size_;
    size_t at_ = 0;
    bool stopped_ = false;
    std::string problem_;
    size_t badOffset_ = 0;
};

// Why a payload does not fit its record type; empty when it does.
std::string payloadProblem(uint8_t type, const uint8_t* payload, size_t length);

// The PCS raster in Hz of a header's raster byte; 0 for a byte CLogFile never writes.
uint32_t rasterOfHeaderByte(uint8_t byte);

}  // namespace zarn
