#include "board/log_records.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "board/frame_types.h"
#include "board/little_endian.h"
namespace zarn {

namespace {

int16_t measuredLevel(const BoardState& b, int band) { return b.levelMeasured[band] ? b.level[band] : kEmptyLevel; }

int buildSingleChannelRecord(const BoardState& b, uint8_t* out) {
    putU16(out, static_cast<uint16_t>(b.cellularPlan.tunedChannel()));
    putU16(out + 2, static_cast<uint16_t>(measuredLevel(b, 0)));
    putU16(out + 4, static_cast<uint16_t>(b.pcsPlan.tunedChannel()));
    putU16(out + 6, static_cast<uint16_t>(measuredLevel(b, 1)));
    return 8;
}

int buildChannelTableRecord(const BoardState& b, uint8_t* out) {
    out[0] = b.channelTableCount;
    std::memcpy(out + 1, b.channelTable, sizeof b.channelTable);
    for (int slot = 0; slot < kChannelSlots; ++slot)
        if (!(b.slotsMeasured >> slot & 1))
            putU16(out + 1 + slot * sizeof(ChannelSlot) + offsetof(ChannelSlot, level), static_cast<uint16_t>(kEmptyLevel));
    return 1 + static_cast<int>(sizeof b.channelTable);
}

int buildBestServersRecord(const BoardState& b, uint8_t* out) {
    out[0] = b.bandIndex;
    std::memcpy(out + 1, b.bestServers, 10 * sizeof(ServerEntry));
    return 1 + 10 * static_cast<int>(sizeof(ServerEntry));
}

}  // namespace

int buildSpectrumRecord(const BoardState& b, uint8_t* out) {
    // PCS sweeps take every w-th capture entry; w follows the raster.
    const uint32_t w = b.bandIndex == 1 ? b.pcsPlan.pcsRaster() / 10000 : 1;
    // Cap the entries so the record fits the payload and every index stays in the capture.
    uint32_t entries = std::min<uint32_t>(b.sweepCount, kMaxSpectrumEntries);
    if (w > 0) entries = std::min<uint32_t>(entries, (kTraceSamples - 1) / w + 1);
    out[0] = b.bandIndex;
    putU16(out + 1, b.sweepStart);
    putU16(out + 3, static_cast<uint16_t>(entries));
    for (uint32_t j = 0; j < entries; ++j) std::memcpy(out + 5 + 4 * j, &b.sweepCapture[j * w], sizeof(SweepEntry));
    return 5 + 4 * static_cast<int>(entries);
}

void stageBoardIdentity(const BoardState& b, RecordSink& sink) {
    const std::pair<ReplyType, const BoardReply*> replies[] = {{ReplyType::Version, &b.versionReply},
                                                                {ReplyType::Serial, &b.serialReply}};
    for (const auto& [type, reply] : replies)
        if (reply->answered) sink.setPendingRecord(typeCode(type), reply->bytes, reply->length);
}

bool stageLogRecord(BoardState& b, RecordSink& sink, uint8_t t, const uint8_t* p, uint16_t n) {
    uint8_t record[kMaxLogPayload];
    int length = 0;
    switch (b.screenMode) {
    case kModeSingleChannel:
        if (!b.levelMeasured[0] && !b.levelMeasured[1]) return false;  // a board found again, no level yet
        length = buildSingleChannelRecord(b, record);
        break;
    case kModeChannelTable:
    case kModeSpectrum:
    case kModeBestServers:
        if (!b.logRecordPending) return false;
        b.logRecordPending = 0;
        length = b.screenMode == kModeChannelTable ? buildChannelTableRecord(b, record)
               : b.screenMode == kModeSpectrum     ? buildSpectrumRecord(b, record)
                                                   : buildBestServersRecord(b, record);
        break;
    default:
        sink.setPendingRecord(t, p, n);
        return true;
    }
    sink.setPendingRecord(b.screenMode, record, length);
    return true;
}

}  // namespace zarn
