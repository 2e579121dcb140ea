#include "tools/zarnlog/report/report_samples.h"

#include "board/board_state.h"

namespace zarn::report {
namespace {

constexpr int kEmptyRank = -130;  // dBm of a rank no sweep point entered

void take(std::vector<ChannelSample>& out, size_t& unknown, int band, uint32_t hz, uint32_t channel, int sixteenths) {
    if (hz == 0) {
        ++unknown;
        return;
    }
    if (sixteenths == kEmptyLevel) return;  // the board had not reported it
    out.push_back({band, hz, channel, sixteenths});
}

}  // namespace

SampleSource channelSamples(const LogPlans& plans, const LogRecord& r, std::vector<ChannelSample>& out,
                            size_t& unknown) {
    out.clear();
    thread_local std::vector<TableReading> slots;
    thread_local std::vector<ServerRank> ranks;
    SingleChannelReading single;
    uint8_t band = 0;
    if (decodeSingleChannel(plans, r, single)) {
        for (int b = 0; b < 2; ++b)
            take(out, unknown, b, single.band[b].hz, single.band[b].channel, single.band[b].level);
        return SampleSource::Single;
    }
    if (decodeTable(plans, r, slots)) {
        for (const TableReading& s : slots) take(out, unknown, s.band, s.hz, s.channel, s.level);
        return SampleSource::Table;
    }
    if (decodeBestServers(plans, r, band, ranks)) {
        for (const ServerRank& s : ranks)
            if (s.level > kEmptyRank) take(out, unknown, band ? 1 : 0, s.hz, s.channel, s.level * 16);
        return SampleSource::Servers;
    }
    return SampleSource::None;
}

}  // namespace zarn::report
