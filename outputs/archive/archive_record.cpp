#include "outputs/archive/archive_record.h"

#include "survey/log_text.h"

namespace zarn {
namespace {

int16_t bandMegahertz(uint8_t band) { return band == 0 ? 800 : band == 1 ? 1900 : 0; }

ChannelValue channelValue(int16_t slot, uint8_t band, uint32_t channel, uint32_t hz, int16_t level) {
    ChannelValue c{slot, bandMegahertz(band), std::nullopt, hz, level};
    if (channel != kUnknownChannel) c.channel = static_cast<int32_t>(channel);
    return c;
}

}  // namespace

void RecordDecoder::decode(const LogRecord& r, const std::optional<Place>& place, ArchiveRecord& out) {
    out.offset = static_cast<int64_t>(r.offset);
    out.seconds = stampSeconds(r.time);
    out.type = r.type;
    out.note = r.note.empty() ? std::string() : noteUtf8(r.note);
    out.place = place;
    out.channels.clear();
    out.sweep.reset();
    out.logBytes = kRecordFixedSize + r.note.size() + 3 + r.length;
    uint8_t band = 0;
    SingleChannelReading single;
    if (decodeSingleChannel(plans_, r, single)) {
        for (int16_t b = 0; b < 2; ++b)
            if (single.band[b].measured())
                out.channels.push_back(channelValue(b, static_cast<uint8_t>(b), single.band[b].channel,
                                                    single.band[b].hz, single.band[b].level));
    } else if (decodeTable(plans_, r, slots_)) {
        for (const TableReading& s : slots_)
            if (s.measured())
                out.channels.push_back(channelValue(static_cast<int16_t>(s.slot), s.band, s.channel, s.hz, s.level));
    } else if (decodeBestServers(plans_, r, band, ranks_)) {
        for (const ServerRank& s : ranks_)
            out.channels.push_back(
                channelValue(static_cast<int16_t>(s.rank), band, s.channel, s.hz, static_cast<int16_t>(s.level)));
    } else if (r.type == kModeSpectrum) {
        sweep(r, out);
    }
}

void RecordDecoder::sweep(const LogRecord& r, ArchiveRecord& out) {
    if (!decodeSweep(plans_, r, sweep_)) return;
    SweepValues& s = out.sweep.emplace();
    s.band = bandMegahertz(sweep_.band);
    s.firstHz = sweep_.firstHz;
    s.stepHz = sweep_.stepHz;
    const SweepPoint* peak = nullptr;
    for (const SweepPoint& p : sweep_.points) {
        s.levels.push_back(p.measured() ? p.level : 0);
        s.measured.push_back(p.measured());
        if (p.measured() && (!peak || p.level > peak->level)) peak = &p;
    }
    if (peak) s.peakHz = peak->hz, s.peakLevel = peak->level;
}

}  // namespace zarn
