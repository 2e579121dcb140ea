#include "recording/log_file.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

#include "board/little_endian.h"
namespace zarn {

LocalTime currentLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

std::vector<uint8_t> encodeLogHeader(uint32_t pcsRaster) {
    std::vector<uint8_t> h(kLogHeaderSize, 0);
    std::memcpy(h.data(), kLogMagic, kLogMagicSize);
    h[kLogHeaderSize - 1] = static_cast<uint8_t>(pcsRaster / 10000);
    return h;
}

std::vector<uint8_t> encodeLogRecord(const LocalTime& t, const std::string& note, uint8_t type,
                                     const uint8_t* payload, size_t length) {
    std::vector<uint8_t> r = {uint8_t(kRecordMark[0]), uint8_t(kRecordMark[1]), uint8_t(kRecordMark[2]),
                              static_cast<uint8_t>(t.day), static_cast<uint8_t>(t.month),
                              static_cast<uint8_t>(t.year - 2000), static_cast<uint8_t>(t.hour),
                              static_cast<uint8_t>(t.minute), static_cast<uint8_t>(t.second)};
    appendU16(r, static_cast<uint16_t>(note.size()));
    r.insert(r.end(), note.begin(), note.end());
    appendU16(r, static_cast<uint16_t>(length + 1));
    r.push_back(type);
    r.insert(r.end(), payload, payload + length);
    return r;
}

CLogFile::CLogFile(std::string fileName, LocalTimeSource clock, FlushCall flush)
    : fileName_(std::move(fileName)), clock_(std::move(clock)), flush_(std::move(flush)) {
    if (!flush_) flush_ = ::fdatasync;
}

CLogFile::~CLogFile() { closeLog(); }

int CLogFile::fail(const char* what) {
    errorText_ = std::string(what) + ": " + std::strerror(errno);
    // Nothing more reaches this file: what waits and what comes is dropped.
    std::lock_guard lock(stagedMutex_);
    failed_ = true;
    dropped_ += staged_.size();
    staged_.clear();
    return -1;
}

int CLogFile::openLog(uint32_t pcsRaster) {
    closeLog();
    fd_ = ::open(fileName_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        errorText_ = std::strerror(errno);
        return -1;
    }
    length_ = 0;
    if (!writeAll(encodeLogHeader(pcsRaster)) || flush_(fd_) != 0) {
        const int result = fail("write");
        closeLog();
        return result;
    }
    return 0;
}

void CLogFile::setPendingRecord(uint8_t type, const uint8_t* bytes, int length) {
    if (length < 0) length = 0;
    if (length > kMaxLogPayload) length = kMaxLogPayload;
    const LocalTime measured = clock_();
    std::lock_guard lock(stagedMutex_);
    if (failed_ || staged_.size() >= kMaxStagedRecords) {
        ++dropped_;
        return;
    }
    WrittenRecord record{0, measured, {}, type, std::vector<uint8_t>(bytes, bytes + length)};
    if (!notes_.empty()) {
        record.note = std::move(notes_.front());
        notes_.pop_front();
    }
    staged_.push_back(std::move(record));
}

size_t CLogFile::droppedRecords() const {
    std::lock_guard lock(stagedMutex_);
    return dropped_;
}

void CLogFile::setNote(const std::string& text) {
    std::lock_guard lock(stagedMutex_);
    notes_.assign(1, text.substr(0, kMaxNoteLength));
}

void CLogFile::queueNote(const std::string& text) {
    std::lock_guard lock(stagedMutex_);
    notes_.push_back(text.substr(0, kMaxNoteLength));
}

size_t CLogFile::notesWaiting() const {
    std::lock_guard lock(stagedMutex_);
    return notes_.size();
}

bool CLogFile::writeAll(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
        length_ += static_cast<uint64_t>(n);
    }
    return true;
}

int CLogFile::writePendingRecord(std::vector<WrittenRecord>* written) {
    if (!isOpen()) return 0;
    std::deque<WrittenRecord> batch;
    {
        std::lock_guard lock(stagedMutex_);
        batch.swap(staged_);
    }
    if (batch.empty()) return 0;
    std::vector<uint8_t> bytes;
    std::vector<uint64_t> ends;  // of each record in the file
    for (WrittenRecord& r : batch) {
        r.offset = length_ + bytes.size();
        const auto one = encodeLogRecord(r.time, r.note, r.type, r.payload.data(), r.payload.size());
        bytes.insert(bytes.end(), one.begin(), one.end());
        ends.push_back(length_ + bytes.size());
    }
    size_t whole = batch.size();
    int result = 0;
    if (!writeAll(bytes)) {
        // A record cut short is taken back: the file ends with the last whole one.
        const int error = errno;
        whole = 0;
        while (whole < batch.size() && ends[whole] <= length_) ++whole;
        const uint64_t end = whole > 0 ? ends[whole - 1] : batch.front().offset;
        if (::ftruncate(fd_, static_cast<off_t>(end)) == 0) length_ = end;
        flush_(fd_);
        errno = error;
        result = fail("write");
        std::lock_guard lock(stagedMutex_);
        dropped_ += batch.size() - whole;
    } else if (flush_(fd_) != 0) {
        result = fail("flush");
    }
    if (written)
        written->insert(written->end(), std::make_move_iterator(batch.begin()),
                        std::make_move_iterator(batch.begin() + static_cast<std::ptrdiff_t>(whole)));
    return result;
}

size_t CLogFile::stagedCount() const {
    std::lock_guard lock(stagedMutex_);
    return staged_.size();
}

void CLogFile::closeLog() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace zarn
