#include "recording/log_file.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
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

CLogFile::CLogFile(std::string fileName, LocalTimeSource clock)
    : fileName_(std::move(fileName)), clock_(std::move(clock)) {}

CLogFile::~CLogFile() { closeLog(); }

int CLogFile::fail(const char* what) {
    errorText_ = std::string(what) + ": " + std::strerror(errno);
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
    if (!writeAll(encodeLogHeader(pcsRaster)) || ::fdatasync(fd_) != 0) {
        const int result = fail("write");
        closeLog();
        return result;
    }
    return 0;
}

void CLogFile::setPendingRecord(uint8_t type, const uint8_t* bytes, int length) {
    if (length < 0) length = 0;
    if (length > kMaxLogPayload) length = kMaxLogPayload;
    std::lock_guard lock(stagedMutex_);
    if (staged_.size() >= kMaxStagedRecords) {
        ++dropped_;
        return;
    }
    staged_.push_back({type, std::vector<uint8_t>(bytes, bytes + length)});
}

size_t CLogFile::droppedRecords() const {
    std::lock_guard lock(stagedMutex_);
    return dropped_;
}

void CLogFile::setNote(const std::string& text) {
    note_ = text.substr(0, kMaxNoteLength);
    notePending_ = true;
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

int CLogFile::writePendingRecord(WrittenRecord* written) {
    if (!isOpen()) return 0;
    StagedRecord record;
    {
        std::lock_guard lock(stagedMutex_);
        if (staged_.empty()) return 0;
        record = std::move(staged_.front());
        staged_.pop_front();
    }
    const std::string note = notePending_ ? note_ : std::string();
    notePending_ = false;
    const LocalTime time = clock_();
    const uint64_t offset = length_;
    const auto bytes = encodeLogRecord(time, note, record.type, record.payload.data(), record.payload.size());
    if (!writeAll(bytes)) {
        // A record cut short is taken back: the file ends with the last whole one.
        const int error = errno;
        if (::ftruncate(fd_, static_cast<off_t>(offset)) == 0) length_ = offset;
        errno = error;
        return fail("write");
    }
    if (::fdatasync(fd_) != 0) return fail("flush");
    if (written) *written = {offset, time, note, record.type, std::move(record.payload)};
    return 0;
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
