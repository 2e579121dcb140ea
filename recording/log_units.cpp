#include "recording/log_units.h"

#include <algorithm>

#include "board/board_state.h"
#include "board/little_endian.h"

namespace zarn {

LogPlans::LogPlans(uint32_t pcsRaster) {
    setUpCellularPlan(cellular_);
    setUpPcsPlan(pcs_);
    pcs_.setPcsRaster(pcsRaster);
    // Offsets 0..832 and 0..6000: the sweep's samples in use.
    for (uint32_t offset = 0; offset <= 832; ++offset) hz_[0].push_back(cellular_.offsetToFrequency(offset));
    for (uint32_t offset = 0; offset <= kTraceOffsets; ++offset) hz_[1].push_back(pcs_.offsetToFrequency(offset));
}

const BandPlan* LogPlans::plan(uint8_t band) const {
    return band == 0 ? &cellular_ : band == 1 ? &pcs_ : nullptr;
}

uint32_t LogPlans::spacingHz(uint8_t band) const {
    const BandPlan* p = plan(band);
    return p ? p->segment(0).spacingHz : 0;
}

uint32_t LogPlans::tableChannelHz(uint8_t band, uint32_t channel) const {
    if (band == 0) return cellular_.channelToFrequency(channel);
    return band == 1 && rasterKnown() ? pcs_.pcsChannelToFrequency(channel) : 0;
}

uint32_t LogPlans::channelOfOffset(uint8_t band, uint32_t offset) const {
    if (band == 0) return cellular_.frequencyToChannel(offsetHz(0, offset));
    if (band != 1) return 0;
    return rasterKnown() ? pcs_.offsetToPcsChannel(offset) : kUnknownChannel;
}

bool decodeSingleChannel(const LogPlans& plans, const LogRecord& r, SingleChannelReading& out) {
    if (r.type != kModeSingleChannel || r.length != 8) return false;
    // The cellular slot holds a channel number; the PCS slot the 10 kHz step inside the band.
    const uint32_t cellular = u16At(r.payload);
    out.band[0] = {cellular, plans.tableChannelHz(0, cellular), i16At(r.payload + 2)};
    const uint32_t pcsOffset = u16At(r.payload + 4);
    out.band[1] = {plans.channelOfOffset(1, pcsOffset), plans.offsetHz(1, pcsOffset), i16At(r.payload + 6)};
    return true;
}

bool decodeTable(const LogPlans& plans, const LogRecord& r, std::vector<TableReading>& out) {
    out.clear();
    if (r.type != kModeChannelTable || r.length != 1 + kChannelSlots * sizeof(ChannelSlot)) return false;
    const int count = std::min<int>(r.payload[0], kChannelSlots);
    for (int k = 0; k < count; ++k) {
        const uint8_t* s = r.payload + 1 + k * sizeof(ChannelSlot);
        TableReading t{k, s[0], u16At(s + 1), 0, i16At(s + 3)};
        t.hz = plans.tableChannelHz(t.band, t.channel);
        out.push_back(t);
    }
    return true;
}

bool decodeSweep(const LogPlans& plans, const LogRecord& r, Sweep& out) {
    if (r.type != kModeSpectrum || r.length < 5 || r.payload[0] > 1) return false;
    const size_t count = u16At(r.payload + 3);
    if (r.length != 5 + 4 * count) return false;
    const uint32_t stride = plans.sweepStride(r.payload[0]);
    if (stride == 0) return false;
    out.band = r.payload[0];
    out.start = u16At(r.payload + 1);
    out.firstHz = plans.plan(out.band)->offsetToFrequency(out.start);
    out.stepHz = stride * plans.spacingHz(out.band);
    out.points.resize(count);
    for (size_t j = 0; j < count; ++j) {
        const uint8_t* e = r.payload + 5 + 4 * j;
        SweepPoint& p = out.points[j];
        p.offset = u16At(e);
        p.hz = plans.offsetHz(out.band, p.offset);
        p.level = i16At(e + 2);
        // Zero bytes are an entry the board state never filled (it starts zeroed): in a
        // sweep from offset 0 it would pass for a reading of 0 dBm there.
        const bool neverFilled = p.offset == 0 && p.level == 0;
        p.onGrid = p.offset == out.start + j * stride && !neverFilled;
    }
    return true;
}

bool decodeBestServers(const LogPlans& plans, const LogRecord& r, uint8_t& band, std::vector<ServerRank>& out) {
    out.clear();
    if (r.type != kModeBestServers || r.length != 41 || r.payload[0] > 1) return false;
    band = r.payload[0];
    for (int k = 0; k < 10; ++k) {
        const uint8_t* e = r.payload + 1 + 4 * k;
        const uint16_t offset = u16At(e);
        out.push_back({k + 1, offset, plans.offsetHz(band, offset), plans.channelOfOffset(band, offset), i16At(e + 2)});
    }
    return true;
}

}  // namespace zarn
