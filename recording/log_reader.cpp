#include "recording/log_reader.h"

#include <cstring>

#include "board/board_state.h"
#include "board/little_endian.h"
#include "board/log_records.h"

namespace zarn {
namespace {

bool plausibleTime(const uint8_t* t) {
    return t[0] >= 1 && t[0] <= 31 && t[1] >= 1 && t[1] <= 12 && t[3] <= 23 && t[4] <= 59 && t[5] <= 60;
}

bool isBand(uint8_t band) { return band <= 1; }

}  // namespace

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

bool LogReader::readHeader(LogHeader& header) {
    if (size_ < static_cast<size_t>(kLogHeaderSize)) {
        problem_ = "header cut short: " + std::to_string(size_) + " bytes";
        return false;
    }
    if (std::memcmp(bytes_, kLogMagic, 4) != 0) {
        problem_ = "not a Zarn log (no \"ZRN \" at the start)";
        return false;
    }
    const uint32_t raster = rasterOfHeaderByte(bytes_[kLogHeaderSize - 1]);
    if (raster == 0) {
        problem_ = "unknown PCS raster byte " + std::to_string(bytes_[kLogHeaderSize - 1]);
        return false;
    }
    std::string version(reinterpret_cast<const char*>(bytes_) + 4, kLogMagicSize - 4);
    while (!version.empty() && version.front() == ' ') version.erase(version.begin());
    while (!version.empty() && version.back() == ' ') version.pop_back();
    header.version = version;
    header.pcsRaster = raster;
    at_ = kLogHeaderSize;
    return true;
}

ReadStatus LogReader::bad(const std::string& why) {
    stopped_ = true;
    problem_ = why;
    badOffset_ = at_;
    return ReadStatus::Bad;
}

ReadStatus LogReader::next(LogRecord& r) {
    if (stopped_) return problem_.empty() ? ReadStatus::End : ReadStatus::Bad;
    if (at_ < static_cast<size_t>(kLogHeaderSize)) return bad("header not read");
    const size_t left = size_ - at_;
    if (left == 0) {
        stopped_ = true;
        return ReadStatus::End;
    }
    const uint8_t* p = bytes_ + at_;
    if (left < static_cast<size_t>(kRecordFixedSize)) return bad("record cut short");
    if (std::memcmp(p, kRecordMark, kRecordMarkSize) != 0) return bad("no record mark");
    if (!plausibleTime(p + 3)) return bad("impossible time stamp");
    const size_t note = u16At(p + 9);
    if (note > kMaxNoteLength) return bad("note of " + std::to_string(note) + " characters");
    if (left < kRecordFixedSize + note + 2) return bad("record cut short");
    const size_t length = u16At(p + kRecordFixedSize + note);
    if (length == 0) return bad("record length 0");
    const size_t whole = kRecordFixedSize + note + 2 + length;
    if (left < whole) return bad("record runs past the end");
    const uint8_t type = p[kRecordFixedSize + note + 2];
    const uint8_t* payload = p + kRecordFixedSize + note + 3;
    const std::string misfit = payloadProblem(type, payload, length - 1);
    if (!misfit.empty()) return bad("record type " + std::to_string(type) + ": " + misfit);

    r.offset = at_;
    r.time = {2000 + p[5], p[4], p[3], p[6], p[7], p[8]};
    r.note.assign(reinterpret_cast<const char*>(p + kRecordFixedSize), note);
    r.type = type;
    r.payload = payload;
    r.length = length - 1;
    at_ += whole;
    return ReadStatus::Record;
}

}  // namespace zarn
