#pragma once
// LogReader: reads a ".zrn" log back, one record at a time, from bytes in
// memory or from a file through a buffer of fixed size, whatever the file's.
//
// - open() takes only a regular file: a directory, a device or a FIFO is
//   refused before anything is read from it (and a FIFO is never waited on).
// - readHeader() checks the 15-byte header before any record is read: the text
//   "ZRN " and a version, four bytes, the PCS raster byte. A raster byte that
//   CLogFile never writes leaves pcsRaster 0 (unknown); the records still read.
// - next() hands out the records in file order. A bad record (cut short, no
//   "XXX" mark, a time that no clock shows, a note longer than CLogFile writes,
//   a length of 0, past the end or larger than any record, a payload whose size
//   or band does not fit its type) gives Damaged: damage() says where the
//   damaged stretch starts, how long it is and what was wrong with it. The
//   stretch ends at the next plausible record (its mark, a possible time and
//   lengths that fit its type) or at the end; the next call goes on from there.
// - A read error ends the records: next() gives End with readError() set.
// - A record's payload points into the reader's buffer (or the caller's
//   bytes): it is valid until the next call.
// - restart() goes back to the first record for another pass; resumeAt() to a
//   record's mark met before.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "recording/log_file.h"

namespace zarn {

struct LogHeader {
    std::string version;     // "1.00"
    uint32_t pcsRaster = 0;  // 30000, 50000 or 200000 Hz; 0 when the byte is unknown
    uint8_t rasterByte = 0;  // as stored
};

struct LogRecord {
    size_t offset = 0;  // of its "XXX" mark
    LocalTime time{};
    std::string note;
    uint8_t type = 0;
    const uint8_t* payload = nullptr;
    size_t length = 0;
};

// A record's stamp is the device's local clock without a zone, counted as if it
// were UTC so that stamps compare and subtract; it is not a moment in time until
// an offset from UTC is known.
long long stampSeconds(const LocalTime& t);

struct LogDamage {
    size_t offset = 0;  // where the bad record begins
    size_t length = 0;  // bytes skipped to the next plausible record or the end
    std::string problem;
};

enum class ReadStatus { Record, Damaged, End };

class LogReader {
public:
    LogReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
    LogReader() = default;
    ~LogReader();
    LogReader(const LogReader&) = delete;
    LogReader& operator=(const LogReader&) = delete;

    // False with problem() set when the path is not a regular file or cannot be opened.
    bool open(const std::string& path);
    // False with problem() set when the header is unreadable.
    bool readHeader(LogHeader& header);
    ReadStatus next(LogRecord& record);
    void restart();
    // As restart(), but from `offset`: the mark of a record an earlier pass
    // met, where a reader resumes what another one began (a log still growing).
    void resumeAt(size_t offset);

    const std::string& problem() const { return problem_; }
    const LogDamage& damage() const { return damage_; }
    const std::string& readError() const { return readError_; }
    // Since the last restart.
    size_t damagedStretches() const { return stretches_; }
    size_t damagedBytes() const { return damagedBytes_; }
    size_t size() const { return size_; }

private:
    const uint8_t* window(size_t at, size_t want, size_t& got);
    size_t nextPlausibleRecord(size_t from);
    ReadStatus damaged(const std::string& why);

    // In memory: the caller's bytes. From a file: buffer_ holds [base_, base_ + filled_).
    const uint8_t* bytes_ = nullptr;
    size_t size_ = 0;
    int fd_ = -1;
    std::vector<uint8_t> buffer_;
    size_t base_ = 0, filled_ = 0;
    bool headerRead_ = false;

    size_t at_ = 0;
    std::string problem_, readError_;
    LogDamage damage_;
    size_t stretches_ = 0, damagedBytes_ = 0;
};

using DamageSink = std::function<void(const LogDamage&)>;

// One pass from the first record: `each` for every intact record in order,
// `damaged` (when set) for each damaged stretch as it is met. False when `each`
// stopped it (by returning false) or a read error ended it (readError()).
bool forEachRecord(LogReader& reader, const std::function<bool(const LogRecord&)>& each,
                   const DamageSink& damaged = {});

// Why a payload does not fit its record type; empty when it does.
std::string payloadProblem(uint8_t type, const uint8_t* payload, size_t length);

// A regular file opened for reading; -1 with `problem` set for anything else
// (a directory, a device, a FIFO: never waited on) or when it cannot be opened.
int openRegularFile(const std::string& path, std::string& problem);

// The PCS raster in Hz of a header's raster byte; 0 for a byte CLogFile never writes.
uint32_t rasterOfHeaderByte(uint8_t byte);

}  // namespace zarn
