#include "recording/log_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "board/board_state.h"
#include "board/little_endian.h"
#include "board/log_records.h"

namespace zarn {
namespace {

// Mark, time, note length, the longest note, length, type, the largest payload.
constexpr size_t kLargestRecord = kRecordFixedSize + kMaxNoteLength + 3 + kMaxLogPayload;
constexpr size_t kBufferSize = size_t{1} << 20;

bool plausibleTime(const uint8_t* t) {
    return t[0] >= 1 && t[0] <= 31 && t[1] >= 1 && t[1] <= 12 && t[3] <= 23 && t[4] <= 59 && t[5] <= 60;
}

bool isBand(uint8_t band) { return band <= 1; }

struct Layout {
    size_t note = 0, length = 0, whole = 0;
};

// Whether the `left` bytes at p begin with a whole record that fits its type; `why` (when asked) says what does not.
bool wholeRecord(const uint8_t* p, size_t left, Layout& l, std::string* why) {
    auto fault = [why](std::string text) {
        if (why) *why = std::move(text);
        return false;
    };
    if (left < static_cast<size_t>(kRecordFixedSize)) return fault("record cut short");
    if (std::memcmp(p, kRecordMark, kRecordMarkSize) != 0) return fault("no record mark");
    if (!plausibleTime(p + 3)) return fault("impossible time stamp");
    l.note = u16At(p + 9);
    if (l.note > kMaxNoteLength) return fault("note of " + std::to_string(l.note) + " characters");
    if (left < kRecordFixedSize + l.note + 2) return fault("record cut short");
    l.length = u16At(p + kRecordFixedSize + l.note);
    if (l.length == 0) return fault("record length 0");
    if (l.length - 1 > static_cast<size_t>(kMaxLogPayload)) return fault("record length " + std::to_string(l.length));
    l.whole = kRecordFixedSize + l.note + 2 + l.length;
    if (left < l.whole) return fault("record runs past the end");
    const uint8_t type = p[kRecordFixedSize + l.note + 2];
    const std::string misfit = payloadProblem(type, p + kRecordFixedSize + l.note + 3, l.length - 1);
    if (!misfit.empty()) return fault("record type " + std::to_string(type) + ": " + misfit);
    return true;
}

std::string notRegular(mode_t mode) {
    if (S_ISDIR(mode)) return std::strerror(EISDIR);
    const char* kind = S_ISCHR(mode) ? "a character device" : S_ISBLK(mode) ? "a block device"
                     : S_ISFIFO(mode) ? "a FIFO" : S_ISSOCK(mode) ? "a socket" : "not a file";
    return std::string("not a regular file (") + kind + ")";
}

}  // namespace

int openRegularFile(const std::string& path, std::string& problem) {
    problem.clear();
    // Non-blocking, so that a FIFO without a writer is refused rather than waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        problem = std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) problem = std::strerror(errno);
    else if (!S_ISREG(st.st_mode)) problem = notRegular(st.st_mode);
    if (problem.empty()) return fd;
    ::close(fd);
    return -1;
}

uint32_t rasterOfHeaderByte(uint8_t byte) {
    switch (byte) {
    case 3: return 30000;
    case 5: return 50000;
    case 20: return 200000;
    default: return 0;
    }
}

std::string payloadProblem(uint8_t type, const uint8_t* p, size_t n) {
    auto expect = [&](size_t size) {
        return n == size ? std::string() : "payload of " + std::to_string(n) + " bytes, not " + std::to_string(size);
    };
    switch (type) {
    case kModeSingleChannel: return expect(8);
    case kModeChannelTable: return expect(1 + kChannelSlots * sizeof(ChannelSlot));
    case kModeBestServers:
        if (n == 41 && !isBand(p[0])) return "band " + std::to_string(p[0]);
        return expect(41);
    case kModeSpectrum: {
        if (n < 5) return "spectrum payload of " + std::to_string(n) + " bytes";
        if (!isBand(p[0])) return "band " + std::to_string(p[0]);
        const size_t count = u16At(p + 3);
        if (count > static_cast<size_t>(kMaxSpectrumEntries)) return "sweep of " + std::to_string(count) + " points";
        return expect(5 + 4 * count);
    }
    default:
        return n <= static_cast<size_t>(kMaxLogPayload) ? std::string() : "payload of " + std::to_string(n) + " bytes";
    }
}

LogReader::~LogReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool LogReader::open(const std::string& path) {
    if (fd_ >= 0) ::close(fd_);
    bytes_ = nullptr;
    size_ = base_ = filled_ = at_ = 0;
    headerRead_ = false;
    problem_.clear();
    readError_.clear();
    restart();
    fd_ = openRegularFile(path, problem_);
    if (fd_ < 0) return false;
    struct stat st {};
    ::fstat(fd_, &st);
    size_ = static_cast<size_t>(st.st_size);
    buffer_.resize(kBufferSize);
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

const uint8_t* LogReader::window(size_t at, size_t want, size_t& got) {
    want = std::min(want, size_ - std::min(at, size_));
    if (fd_ < 0) {
        static const uint8_t kNoBytes = 0;
        got = want;
        return bytes_ ? bytes_ + at : &kNoBytes;
    }
    if (at < base_ || at > base_ + filled_) base_ = at, filled_ = 0;
    if (at + want > base_ + filled_) {
        const size_t keep = base_ + filled_ - at;
        std::memmove(buffer_.data(), buffer_.data() + (at - base_), keep);
        base_ = at;
        filled_ = keep;
        // Only the header until it has been checked; then as much as the buffer holds.
        const size_t ahead = headerRead_ ? buffer_.size() : want;
        while (filled_ < want) {
            const size_t room = std::min(ahead - filled_, size_ - (base_ + filled_));
            const ssize_t n = ::pread(fd_, buffer_.data() + filled_, room, static_cast<off_t>(base_ + filled_));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                readError_ = std::strerror(errno);
                return nullptr;
            }
            if (n == 0) {  // the file got shorter while being read
                size_ = base_ + filled_;
                break;
            }
            filled_ += static_cast<size_t>(n);
        }
    }
    got = std::min(want, base_ + filled_ - at);
    return buffer_.data() + (at - base_);
}

bool LogReader::readHeader(LogHeader& header) {
    size_t got = 0;
    const uint8_t* p = window(0, kLogHeaderSize, got);
    if (!p) {
        problem_ = "read error: " + readError_;
        return false;
    }
    if (got < static_cast<size_t>(kLogHeaderSize)) {
        problem_ = "header cut short: " + std::to_string(got) + " bytes";
        return false;
    }
    if (std::memcmp(p, kLogMagic, 4) != 0) {
        problem_ = "not a Zarn log (no \"ZRN \" at the start)";
        return false;
    }
    std::string version(reinterpret_cast<const char*>(p) + 4, kLogMagicSize - 4);
    while (!version.empty() && version.front() == ' ') version.erase(version.begin());
    while (!version.empty() && version.back() == ' ') version.pop_back();
    header.version = version;
    header.rasterByte = p[kLogHeaderSize - 1];
    header.pcsRaster = rasterOfHeaderByte(header.rasterByte);
    headerRead_ = true;
    at_ = kLogHeaderSize;
    return true;
}

void LogReader::restart() {
    at_ = headerRead_ ? kLogHeaderSize : 0;
    damage_ = {};
    stretches_ = damagedBytes_ = 0;
}

void LogReader::resumeAt(size_t offset) {
    restart();
    if (headerRead_) at_ = std::max(offset, static_cast<size_t>(kLogHeaderSize));
}

size_t LogReader::nextPlausibleRecord(size_t from) {
    for (size_t at = from; at < size_;) {
        size_t got = 0;
        const uint8_t* p = window(at, kBufferSize, got);
        if (!p) return size_;
        const bool toEnd = at + got == size_;
        // A candidate is judged only with its largest record in view, unless the view reaches the end.
        const size_t limit = toEnd ? got : got - kLargestRecord;
        for (size_t i = 0; i < limit; ++i) {
            const void* x = std::memchr(p + i, kRecordMark[0], limit - i);
            if (!x) break;
            i = static_cast<size_t>(static_cast<const uint8_t*>(x) - p);
            Layout l;
            if (wholeRecord(p + i, got - i, l, nullptr)) return at + i;
        }
        if (toEnd) break;
        at += limit;
    }
    return size_;
}

ReadStatus LogReader::damaged(const std::string& why) {
    const size_t resume = nextPlausibleRecord(at_ + 1);
    damage_ = {at_, resume - at_, why};
    ++stretches_;
    damagedBytes_ += resume - at_;
    at_ = resume;
    return ReadStatus::Damaged;
}

ReadStatus LogReader::next(LogRecord& r) {
    if (!headerRead_ || at_ >= size_ || !readError_.empty()) return ReadStatus::End;
    size_t got = 0;
    const uint8_t* p = window(at_, kLargestRecord, got);
    if (!p) return ReadStatus::End;
    Layout l;
    std::string why;
    if (!wholeRecord(p, got, l, &why)) return damaged(why);
    r.offset = at_;
    r.time = {2000 + p[5], p[4], p[3], p[6], p[7], p[8]};
    r.note.assign(reinterpret_cast<const char*>(p + kRecordFixedSize), l.note);
    r.type = p[kRecordFixedSize + l.note + 2];
    r.payload = p + kRecordFixedSize + l.note + 3;
    r.length = l.length - 1;
    at_ += l.whole;
    return ReadStatus::Record;
}

bool forEachRecord(LogReader& reader, const std::function<bool(const LogRecord&)>& each, const DamageSink& damaged) {
    reader.restart();
    LogRecord r;
    for (ReadStatus status; (status = reader.next(r)) != ReadStatus::End;) {
        if (status == ReadStatus::Damaged) {
            if (damaged) damaged(reader.damage());
        } else if (!each(r)) {
            return false;
        }
    }
    return reader.readError().empty();
}

long long stampSeconds(const LocalTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    return static_cast<long long>(timegm(&tm));
}

}  // namespace zarn
