#include "tools/zarn_record/record_progress.h"

#include <algorithm>
#include <cstdio>

#include "board/level.h"

namespace zarn {

std::optional<double> strongestLevel(const LogPlans& plans, const LogRecord& r) {
    std::optional<double> best;
    const auto take = [&](double dbm) { best = best ? std::max(*best, dbm) : dbm; };
    SingleChannelReading single;
    std::vector<TableReading> slots;
    Sweep sweep;
    uint8_t band = 0;
    std::vector<ServerRank> ranks;
    if (decodeSingleChannel(plans, r, single)) {
        for (const TunedReading& t : single.band)
            if (t.hz && t.measured()) take(dbmOfLevel(t.level));
    } else if (decodeTable(plans, r, slots)) {
        for (const TableReading& s : slots)
            if (s.measured()) take(dbmOfLevel(s.level));
    } else if (decodeSweep(plans, r, sweep)) {
        for (const SweepPoint& p : sweep.points)
            if (p.measured()) take(dbmOfLevel(p.level));
    } else if (decodeBestServers(plans, r, band, ranks) && !ranks.empty()) {
        take(ranks.front().level);
    }
    return best;
}

void RecordProgress::count(const LogRecord& record, uint64_t logBytes) {
    ++records_;
    bytes_ = logBytes;
    if (const auto level = strongestLevel(plans_, record)) lastDbm_ = level;
}

std::string RecordProgress::line(double seconds) const {
    const long s = static_cast<long>(seconds);
    char size[32];
    if (bytes_ < 1000000)
        std::snprintf(size, sizeof size, "%.1f kB", bytes_ / 1e3);
    else
        std::snprintf(size, sizeof size, "%.1f MB", bytes_ / 1e6);
    char level[32] = "";
    if (lastDbm_) std::snprintf(level, sizeof level, "  last %.1f dBm", *lastDbm_);
    char archive[48] = "";
    if (archiveBehind_)
        std::snprintf(archive, sizeof archive, "  archive %llu behind",
                      static_cast<unsigned long long>(*archiveBehind_));
    char text[200];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld  %llu records  %s%s%s", s / 3600, s / 60 % 60, s % 60,
                  static_cast<unsigned long long>(records_), size, level, archive);
    return text;
}

namespace {
long slotSeconds(bool terminal) { return terminal ? 1 : 60; }
}  // namespace

bool RecordProgress::due(double seconds, bool terminal) {
    const long slot = static_cast<long>(seconds) / slotSeconds(terminal);
    if (slot == lastShown_ || (!terminal && slot == 0)) return false;
    lastShown_ = slot;
    return true;
}

double RecordProgress::nextDue(double seconds, bool terminal) {
    const long slot = slotSeconds(terminal);
    return static_cast<double>((static_cast<long>(seconds) / slot + 1) * slot);
}

}  // namespace zarn
