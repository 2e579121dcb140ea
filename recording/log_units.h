#pragma once
// The payloads of log records in physical units: frequencies in Hz from the
// band plans as the log's header sets them up, levels in dBm.
//
// - Levels are stored in 1/16 dB (best servers in whole dBm); -130 dBm marks a
//   point that was never measured, a tuned band or table slot the board had not
//   reported yet included (measured() is false).
// - A channel or offset outside its band has frequency 0; callers show it
//   blank, and a sweep entry there counts as not measured; so does an entry of
//   zero bytes, never filled by the board state. Table slots past
//   the table's count are not returned.
// - PCS channels are the public numbers of the log's raster. With the raster
//   unknown (0) they are kUnknownChannel, PCS table slots have no frequency,
//   and PCS sweeps do not decode: their entries' places follow the raster.

#include <cstdint>
#include <vector>

#include "board/board_state.h"
#include "board/level.h"
#include "channels/band_plan.h"
#include "recording/log_reader.h"

namespace zarn {

constexpr uint32_t kUnknownChannel = UINT32_MAX;

class LogPlans {
public:
    explicit LogPlans(uint32_t pcsRaster);
    const BandPlan* plan(uint8_t band) const;
    uint32_t pcsRaster() const { return pcs_.pcsRaster(); }
    bool rasterKnown() const { return pcs_.pcsRaster() != 0; }
    // Band offsets between the entries of a sweep record; 0 when not known.
    uint32_t sweepStride(uint8_t band) const { return band == 1 ? pcs_.pcsRaster() / 10000 : 1; }
    uint32_t offsetHz(uint8_t band, uint32_t offset) const {
        return band <= 1 && offset < hz_[band].size() ? hz_[band][offset] : 0;
    }
    uint32_t spacingHz(uint8_t band) const;
    // A channel-table slot's channel (cellular number, or PCS number of the raster).
    uint32_t tableChannelHz(uint8_t band, uint32_t channel) const;
    // The channel number a user reads for a band offset.
    uint32_t channelOfOffset(uint8_t band, uint32_t offset) const;

private:
    BandPlan cellular_, pcs_;
    std::vector<uint32_t> hz_[2];  // of each offset in the band
};

struct TunedReading {
    uint32_t channel = 0;  // cellular number, or PCS number of the raster
    uint32_t hz = 0;
    int16_t level = 0;  // 1/16 dB
    bool measured() const { return level != kEmptyLevel; }
};
struct SingleChannelReading {
    TunedReading band[2];
};
struct TableReading {
    int slot = 0;
    uint8_t band = 0;
    uint16_t channel = 0;
    uint32_t hz = 0;
    int16_t level = 0;
    bool measured() const { return level != kEmptyLevel; }
};
struct SweepPoint {
    uint16_t offset = 0;
    uint32_t hz = 0;
    int16_t level = 0;
    bool onGrid = false;  // at start + index x stride, where the sweep put it
    // A level the board delivered for this place in the band.
    bool measured() const { return onGrid && hz != 0; }
};
struct Sweep {
    uint8_t band = 0;
    uint16_t start = 0;
    uint32_t firstHz = 0;  // of the start offset in the band's raster, also past the band's end
    uint32_t stepHz = 0;
    std::vector<SweepPoint> points;
};
struct ServerRank {
    int rank = 0;  // 1..10
    uint16_t offset = 0;
    uint32_t hz = 0;
    uint32_t channel = 0;
    int level = 0;  // whole dBm
};

// Each false when the record is not of its type.
bool decodeSingleChannel(const LogPlans& plans, const LogRecord& r, SingleChannelReading& out);
bool decodeTable(const LogPlans& plans, const LogRecord& r, std::vector<TableReading>& out);
bool decodeSweep(const LogPlans& plans, const LogRecord& r, Sweep& out);
bool decodeBestServers(const LogPlans& plans, const LogRecord& r, uint8_t& band, std::vector<ServerRank>& out);

}  // namespace zarn
