#pragma once
// A log record as the archive keeps it, decoded once for its packs and its
// hourly figures. The values are those of `zarnlog csv`, in the log's units:
//
// - channels: a single-channel record's two bands (slot 0 cellular, 1 PCS), a
//   table's slots, best servers' ranks (1..10); band 800 or 1900 (0 for a table
//   slot's band byte that is neither), the channel (none when the raster is
//   unknown), Hz (0 where the CSV is empty), the level in 1/16 dB, best
//   servers in whole dBm. A band or slot the record holds as not measured
//   gives none.
// - a sweep: band, first Hz and step, each point's level in 1/16 dB or not
//   measured, and its peak (the first highest point). A sweep the CSV gives no
//   row (PCS, raster unknown) has none.
// - the note as the CSV has it (UTF-8, control characters blank).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board/board_state.h"
#include "recording/log_units.h"
#include "survey/track_join.h"

namespace zarn {

struct ChannelValue {
    int16_t slot = 0;
    int16_t band = 0;  // 800, 1900; 0: neither
    std::optional<int32_t> channel;
    uint32_t hz = 0;
    int16_t level = 0;
    bool operator==(const ChannelValue&) const = default;
};

struct SweepValues {
    int16_t band = 0;
    uint32_t firstHz = 0, stepHz = 0;
    std::vector<int16_t> levels;    // 1/16 dB
    std::vector<uint8_t> measured;  // 1 where levels holds a level
    std::optional<uint32_t> peakHz;
    int16_t peakLevel = 0;
};

struct ArchiveRecord {
    int64_t offset = 0;
    long long seconds = 0;  // stampSeconds of its time
    int type = 0;
    std::string note;  // empty: none
    std::optional<Place> place;
    std::vector<ChannelValue> channels;
    std::optional<SweepValues> sweep;
    size_t logBytes = 0;

    // The level in dBm of a channel of this record.
    double dbm(const ChannelValue& c) const { return type == kModeBestServers ? c.level : dbmOfLevel(c.level); }
};

class RecordDecoder {
public:
    explicit RecordDecoder(uint32_t pcsRaster) : plans_(pcsRaster) {}
    void decode(const LogRecord& r, const std::optional<Place>& place, ArchiveRecord& out);

private:
    void sweep(const LogRecord& r, ArchiveRecord& out);

    LogPlans plans_;
    Sweep sweep_;
    std::vector<TableReading> slots_;
    std::vector<ServerRank> ranks_;
};

}  // namespace zarn
