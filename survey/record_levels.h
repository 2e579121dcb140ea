#pragma once
// RecordLevels: every level a record carries, each with where it was measured, for
// the figures that sum levels by channel (occupancy) and watch them (alarms).
//
// - single channel: the reading of each band whose tuning has a frequency;
//   channel table: each slot; both when measured; spectrum: each measured sweep point (its band
//   offset given too, for a quick look-up); best servers: each rank the board
//   filled (an empty rank, offset 0 at -130 dBm, is none).
// - Levels in sixteenths of a dB; best servers' whole dBm times 16.
// - A sweep point's channel is left for channelOf() to work out: most callers
//   need it once per place, not once per sweep.
// - A level at an unknown frequency (an unknown PCS raster) is left out: it
//   cannot be told apart from another channel's.

#include <cstdint>
#include <vector>

#include "recording/log_units.h"

namespace zarn {

struct MeasuredLevel {
    uint8_t band = 0;
    uint32_t channel = kUnknownChannel;
    uint32_t hz = 0;
    int level = 0;        // 1/16 dB
    int sweepOffset = -1;  // the band offset of a sweep point, else -1
};

class RecordLevels {
public:
    explicit RecordLevels(uint32_t pcsRaster) : plans_(pcsRaster) {}
    const LogPlans& plans() const { return plans_; }
    uint32_t channelOf(const MeasuredLevel& m) const {
        return m.sweepOffset >= 0 ? plans_.channelOfOffset(m.band, static_cast<uint32_t>(m.sweepOffset)) : m.channel;
    }

    // Calls visit(const MeasuredLevel&) for each level; false for a record without levels.
    template <typename Visit>
    bool forEach(const LogRecord& r, Visit visit);

private:
    LogPlans plans_;
    SingleChannelReading single_;
    std::vector<TableReading> slots_;
    Sweep sweep_;
    std::vector<ServerRank> ranks_;
};

template <typename Visit>
bool RecordLevels::forEach(const LogRecord& r, Visit visit) {
    MeasuredLevel m;
    if (decodeSweep(plans_, r, sweep_)) {
        m.band = sweep_.band;
        for (const SweepPoint& p : sweep_.points) {
            if (!p.measured()) continue;
            m.hz = p.hz;
            m.level = p.level;
            m.sweepOffset = p.offset;
            visit(static_cast<const MeasuredLevel&>(m));
        }
        return true;
    }
    if (decodeSingleChannel(plans_, r, single_)) {
        for (uint8_t band = 0; band < 2; ++band) {
            const TunedReading& t = single_.band[band];
            if (t.hz && t.measured()) visit(MeasuredLevel{band, t.channel, t.hz, t.level, -1});
        }
        return true;
    }
    if (decodeTable(plans_, r, slots_)) {
        for (const TableReading& s : slots_)
            if (s.hz && s.measured()) visit(MeasuredLevel{s.band, s.channel, s.hz, s.level, -1});
        return true;
    }
    uint8_t band = 0;
    if (decodeBestServers(plans_, r, band, ranks_)) {
        for (const ServerRank& s : ranks_)
            if (s.hz && !(s.offset == 0 && s.level <= -130)) visit(MeasuredLevel{band, s.channel, s.hz, s.level * 16, -1});
        return true;
    }
    return false;
}

}  // namespace zarn
