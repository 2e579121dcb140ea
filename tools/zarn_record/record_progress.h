#pragma once
// The progress of a recording for its stderr line: elapsed time, records, log size and
// the strongest level of the last record.
//
//  - count(record) takes each record as it is written.
//  - line(seconds) is the text: "00:01:05  42 records  1.3 MB  last -55.0 dBm", and with
//    an archive how many records it lacks: "  archive 3 behind".
//  - due(seconds, terminal): a terminal's line is rewritten every second; anywhere else
//    a line is written once a minute. nextDue() is when the next one is.

#include <cstdint>
#include <optional>
#include <string>

#include "recording/log_units.h"

namespace zarn {

class RecordProgress {
public:
    explicit RecordProgress(uint32_t pcsRaster) : plans_(pcsRaster) {}
    void count(const LogRecord& record, uint64_t logBytes);
    std::string line(double seconds) const;
    bool due(double seconds, bool terminal);
    static double nextDue(double seconds, bool terminal);
    void setArchiveBehind(std::optional<uint64_t> behind) { archiveBehind_ = behind; }
    uint64_t records() const { return records_; }

private:
    LogPlans plans_;
    uint64_t records_ = 0;
    uint64_t bytes_ = 0;
    std::optional<double> lastDbm_;
    std::optional<uint64_t> archiveBehind_;
    long lastShown_ = -1;
};

// The strongest level a record carries, in dBm; none for a record without levels.
std::optional<double> strongestLevel(const LogPlans& plans, const LogRecord& record);

}  // namespace zarn
