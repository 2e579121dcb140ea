#include "recording/replay_feed.h"

#include <algorithm>

#include "board/little_endian.h"
#include "board/request_frame.h"
#include "recording/log_reader.h"

namespace zarn::sim {
namespace {

constexpr uint8_t kSingleLevel = 14, kTableLevel = 15, kSweepSample = 33;
constexpr uint8_t kTwoBandTableMode = 2;

std::vector<uint8_t> levelPayload(int slot, uint16_t level) {
    std::vector<uint8_t> p;
    if (slot >= 0) p.push_back(static_cast<uint8_t>(slot));
    appendU16(p, level);
    return p;
}

std::vector<uint8_t> samplePayload(uint16_t offset, uint16_t level) {
    std::vector<uint8_t> p;
    appendU16(p, offset);
    appendU16(p, level);
    p.push_back(0);
    return p;
}

}  // namespace

bool ReplayFeed::load(const std::vector<uint8_t>& bytes, std::string& error) {
    LogReader reader(bytes.data(), bytes.size());
    return load(reader, error);
}

bool ReplayFeed::load(LogReader& reader, std::string& error) {
    steps_.clear();
    pending_.clear();
    next_ = 0;
    LogHeader header;
    if (!reader.readHeader(header)) {
        error = reader.problem();
        return false;
    }
    std::vector<long long> stamps;
    LogRecord r;
    ReadStatus status;
    while ((status = reader.next(r)) == ReadStatus::Record) {
        stamps.push_back(stampSeconds(r.time));
        steps_.push_back({0, r.type, std::vector<uint8_t>(r.payload, r.payload + r.length)});
    }
    if (status == ReadStatus::Damaged)
        warning_ = "bad record at byte " + std::to_string(reader.damage().offset) + " (" + reader.damage().problem + ")";
    // Seconds from the first record, never going back; a second's records share it evenly.
    long long second = 0, previous = stamps.empty() ? 0 : stamps.front();
    std::vector<long long> at(stamps.size());
    for (size_t i = 0; i < stamps.size(); ++i) {
        second += std::max(0LL, stamps[i] - previous);
        previous = std::max(previous, stamps[i]);
        at[i] = second;
    }
    for (size_t i = 0; i < at.size();) {
        size_t j = i;
        while (j < at.size() && at[j] == at[i]) ++j;
        for (size_t k = i; k < j; ++k) steps_[k].due = at[k] + static_cast<double>(k - i) / static_cast<double>(j - i);
        i = j;
    }
    return true;
}

bool ReplayFeed::loadFile(const std::string& path, std::string& error) {
    LogReader reader;
    if (!reader.open(path)) {
        error = "cannot read " + path + ": " + reader.problem();
        return false;
    }
    return load(reader, error);
}

void ReplayFeed::expand(const Step& s, uint8_t mode, uint8_t band) {
    const uint8_t* p = s.payload.data();
    switch (s.type) {
    case 216:
        if (mode == kTwoBandTableMode) {
            queue(kTableLevel, levelPayload(0, u16At(p + 2)));
            queue(kTableLevel, levelPayload(1, u16At(p + 6)));
        } else {
            queue(kSingleLevel, levelPayload(-1, u16At(p + (band == 0 ? 2 : 6))));
        }
        break;
    case 217:
        for (int k = 0; k < std::min<int>(p[0], 40); ++k) queue(kTableLevel, levelPayload(k, u16At(p + 1 + 5 * k + 3)));
        break;
    case 218: {
        // Only rising offsets: an entry the board never filled would read as a new sweep.
        int last = -1;
        for (size_t j = 0; j < u16At(p + 3); ++j) {
            const uint16_t offset = u16At(p + 5 + 4 * j);
            if (offset <= last) continue;
            last = offset;
            queue(kSweepSample, samplePayload(offset, u16At(p + 7 + 4 * j)));
        }
        break;
    }
    case 219: {
        std::vector<std::pair<uint16_t, int16_t>> ranked;
        for (int k = 0; k < 10; ++k)
            if (const uint16_t offset = u16At(p + 1 + 4 * k)) ranked.emplace_back(offset, static_cast<int16_t>(u16At(p + 3 + 4 * k)));
        std::sort(ranked.begin(), ranked.end());
        for (auto [offset, dbm] : ranked) queue(kSweepSample, samplePayload(offset, static_cast<uint16_t>(dbm * 16)));
        break;
    }
    case kSingleLevel:
    case kTableLevel:
    case kSweepSample: queue(s.type, s.payload); break;
    default: break;
    }
}

int ReplayFeed::nextFrame(double playTime, uint8_t mode, uint8_t band, std::vector<uint8_t>& out) {
    while (pending_.empty() && next_ < steps_.size() && steps_[next_].due <= playTime) expand(steps_[next_++], mode, band);
    if (pending_.empty()) return -1;
    auto [type, payload] = std::move(pending_.front());
    pending_.pop_front();
    appendFrame(out, type, payload.data(), payload.size());
    return type;
}

}  // namespace zarn::sim
