#pragma once
// CLogFile: one ".zrn" log file, its queue of staged records and its note.
//
// The decoder stages records on the link thread (setPendingRecord); the
// user-interface thread writes one staged record per WM_LOG_RECORD
// (writePendingRecord), in the order they were staged. Every record is
// flushed to storage before writePendingRecord returns, so a killed process
// or a power cut loses at most the record being written; a write that fails
// (storage full) takes its part-written record back off the end.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "board/frame_parser.h"

namespace zarn {

struct LocalTime {
    int year, month, day, hour, minute, second;
    bool operator==(const LocalTime&) const = default;
};
using LocalTimeSource = std::function<LocalTime()>;
LocalTime currentLocalTime();

constexpr int kLogHeaderSize = 15;
// The header's first ten bytes: the format's name and version.
constexpr char kLogMagic[] = "ZRN  1.00 ";
constexpr int kLogMagicSize = 10;
// Every record opens with this mark, then six time bytes and the note length.
constexpr char kRecordMark[] = "XXX";
constexpr int kRecordMarkSize = 3;
constexpr int kRecordFixedSize = 11;  // mark, time, note length
constexpr size_t kMaxNoteLength = 32;
// Staged records not yet written; past this the newest are dropped. The
// user-interface thread writes a record in well under a millisecond, so the
// backlog only fills while it is blocked for far longer than a request's wait.
constexpr size_t kMaxStagedRecords = 4096;

// A record as it went into the file, for a caller that shows it as well.
struct WrittenRecord {
    uint64_t offset = 0;  // of its mark in the file
    LocalTime time{};
    std::string note;
    uint8_t type = 0;
    std::vector<uint8_t> payload;
};

class CLogFile : public RecordSink {
public:
    explicit CLogFile(std::string fileName, LocalTimeSource clock = currentLocalTime);
    ~CLogFile() override;
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Creates (or truncates) the file and writes the header with the PCS
    // raster byte. 0 on success; -1 with errorText() set on failure.
    int openLog(uint32_t pcsRaster);
    void setPendingRecord(uint8_t type, const uint8_t* bytes, int length) override;
    void setNote(const std::string& text);
    size_t stagedCount() const;
    // Writes the oldest staged record. 0 when written or when nothing was
    // staged; -1 with errorText() set when the write or the flush failed.
    // `written`, when given, receives the record once it is in the file.
    int writePendingRecord(WrittenRecord* written = nullptr);
    void closeLog();

    bool isOpen() const { return fd_ >= 0; }
    uint64_t fileLength() const { return isOpen() ? length_ : 0; }
    const std::string& fileName() const { return fileName_; }
    const std::string& errorText() const { return errorText_; }
    size_t droppedRecords() const;

private:
    struct StagedRecord {
        uint8_t type;
        std::vector<uint8_t> payload;
    };
    bool writeAll(const std::vector<uint8_t>& bytes);
    int fail(const char* what);

    std::string fileName_;
    std::string note_;
    int fd_ = -1;
    bool notePending_ = false;
    LocalTimeSource clock_;
    uint64_t length_ = 0;
    std::string errorText_;

    mutable std::mutex stagedMutex_;  // between the link thread and the writer
    std::deque<StagedRecord> staged_;
    size_t dropped_ = 0;
};

// The bytes of one record as it goes into the file.
std::vector<uint8_t> encodeLogRecord(const LocalTime& t, const std::string& note, uint8_t type,
                                     const uint8_t* payload, size_t length);
// The 15-byte file header.
std::vector<uint8_t> encodeLogHeader(uint32_t pcsRaster);

}  // namespace zarn
