#pragma once
// CLogFile: one ".zrn" log file, its queue of staged records and its notes.
//
// The decoder stages records on the link thread (setPendingRecord): each is
// stamped with the device clock then, and takes the note waiting then. The
// writer (the user-interface thread on WM_LOG_RECORD) writes everything staged
// in one go and flushes once (writePendingRecord), so one slow flush (an SD
// card) costs a batch, not a record each: the writer keeps up with the board,
// and a record is on storage within one flush of being staged. A write that
// fails (storage full) takes its part-written record back off the end.

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
// Staged records not yet written; past this the newest are dropped and
// counted. A board at line rate fills it only while the writer is held for
// seconds.
constexpr size_t kMaxStagedRecords = 4096;

// The storage's flush (fdatasync); a test or a bench plays slow storage with it.
using FlushCall = std::function<int(int fd)>;

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
    explicit CLogFile(std::string fileName, LocalTimeSource clock = currentLocalTime, FlushCall flush = {});
    ~CLogFile() override;
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Creates (or truncates) the file and writes the header with the PCS
    // raster byte. 0 on success; -1 with errorText() set on failure.
    int openLog(uint32_t pcsRaster);
    void setPendingRecord(uint8_t type, const uint8_t* bytes, int length) override;
    // The note of the next record staged; it replaces one still waiting.
    void setNote(const std::string& text);
    // One more note, after those waiting: each record staged takes the oldest.
    void queueNote(const std::string& text);
    size_t notesWaiting() const;
    size_t stagedCount() const;
    // Writes every staged record, oldest first, and flushes once. 0 when
    // written or when nothing was staged; -1 with errorText() set when the
    // write or the flush failed: the records that reached the file whole stay,
    // the rest are dropped. `written`, when given, receives the records in the
    // file.
    int writePendingRecord(std::vector<WrittenRecord>* written = nullptr);
    void closeLog();

    bool isOpen() const { return fd_ >= 0; }
    uint64_t fileLength() const { return isOpen() ? length_ : 0; }
    const std::string& fileName() const { return fileName_; }
    const std::string& errorText() const { return errorText_; }
    // Records staged or offered that never reach the file: past the queue's
    // bound, or after a failed write.
    size_t droppedRecords() const;

private:
    bool writeAll(const std::vector<uint8_t>& bytes);
    int fail(const char* what);
    int failBatch(std::deque<WrittenRecord>& batch, std::vector<WrittenRecord>* written);

    std::string fileName_;
    int fd_ = -1;
    LocalTimeSource clock_;
    FlushCall flush_;
    uint64_t length_ = 0;
    std::string errorText_;

    mutable std::mutex stagedMutex_;  // between the link thread and the writer
    std::deque<WrittenRecord> staged_;  // offsets not known yet
    std::deque<std::string> notes_;
    size_t dropped_ = 0;
    bool failed_ = false;
};

// The bytes of one record as it goes into the file.
std::vector<uint8_t> encodeLogRecord(const LocalTime& t, const std::string& note, uint8_t type,
                                     const uint8_t* payload, size_t length);
// The 15-byte file header.
std::vector<uint8_t> encodeLogHeader(uint32_t pcsRaster);

}  // namespace zarn
