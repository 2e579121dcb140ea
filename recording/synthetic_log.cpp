#include "recording/synthetic_log.h"

#include <cmath>

#include "board/log_records.h"
#include "recording/log_file.h"

namespace zarn {

SyntheticLog::SyntheticLog(std::string path, uint32_t pcsRaster, int secondsApart)
    : board_(std::make_unique<BoardState>()), secondsApart_(secondsApart) {
    board_->pcsPlan.setPcsRaster(pcsRaster);
    log_ = std::make_unique<CLogFile>(std::move(path), [this] {
        const int s = seconds_;
        seconds_ += secondsApart_;
        return LocalTime{2004, 7, 9, 14 + s / 3600 % 10, s / 60 % 60, s % 60};
    });
    ok_ = log_->openLog(pcsRaster) == 0;
    board_->logging = 1;
}

SyntheticLog::~SyntheticLog() { close(); }

void SyntheticLog::close() {
    if (log_) log_->closeLog();
}

void SyntheticLog::note(const std::string& text) { log_->setNote(text); }

void SyntheticLog::stage(uint8_t screenMode) {
    board_->setScreenMode(screenMode);
    board_->logRecordPending = 1;
    const uint8_t none = 0;
    stageLogRecord(*board_, *log_, 14, &none, 0);
    if (log_->writePendingRecord() != 0) ok_ = false;
}

void SyntheticLog::singleChannel(uint32_t cellularChannel, int16_t cellularLevel, uint32_t pcsOffset,
                                 int16_t pcsLevel) {
    board_->cellularPlan.tuneChannel(cellularChannel);
    board_->pcsPlan.tuneChannel(pcsOffset);
    board_->level[0] = cellularLevel;
    board_->level[1] = pcsLevel;
    stage(kModeSingleChannel);
}

void SyntheticLog::table(const std::vector<ChannelSlot>& slots) {
    board_->channelTableCount = static_cast<uint8_t>(std::min<size_t>(slots.size(), kChannelSlots));
    for (size_t k = 0; k < board_->channelTableCount; ++k) board_->channelTable[k] = slots[k];
    stage(kModeChannelTable);
}

void SyntheticLog::sweep(uint8_t band, uint16_t start, uint16_t count,
                         const std::function<int16_t(uint16_t)>& level) {
    BoardState& b = *board_;
    b.bandIndex = band;
    b.sweepStart = start;
    b.sweepCount = count;
    const uint32_t stride = band == 1 ? b.pcsPlan.pcsRaster() / 10000 : 1;
    for (uint32_t j = 0; j < count && j * stride < kTraceSamples; ++j) {
        const uint16_t offset = static_cast<uint16_t>(start + j * stride);
        const int16_t v = level(offset);
        b.sweepCapture[j * stride] = v == kNotCaptured ? SweepEntry{0, 0} : SweepEntry{offset, v};
    }
    stage(kModeSpectrum);
}

void SyntheticLog::bestServers(uint8_t band, const std::vector<ServerEntry>& ranks) {
    board_->bandIndex = band;
    for (int k = 0; k < 10; ++k) board_->bestServers[k] = k < static_cast<int>(ranks.size()) ? ranks[k] : ServerEntry{0, -130};
    stage(kModeBestServers);
}

void SyntheticLog::frame(uint8_t type, const std::vector<uint8_t>& payload) {
    board_->setScreenMode(kModeNone);
    stageLogRecord(*board_, *log_, type, payload.data(), static_cast<uint16_t>(payload.size()));
    if (log_->writePendingRecord() != 0) ok_ = false;
}

bool writeCellularSweepLog(const std::string& path, int sweeps, int secondsApart) {
    SyntheticLog log(path, 50000, secondsApart);
    for (int s = 0; s < sweeps && log.ok(); ++s) {
        if (s > 0 && s % 100 == 0) log.note("Marker #" + std::to_string(s / 100));
        const double fade = 6.0 * std::sin(s * 0.05);
        log.sweep(0, 0, 833, [&](uint16_t offset) {
            double dbm = -110.0 + ((offset * 7919 + s * 104729) % 97) / 20.0;  // noise floor
            const int near384 = std::abs(offset - 417), near1 = std::abs(offset - 34);
            if (near384 < 4) dbm = std::max(dbm, -55.0 - 6.0 * near384);
            if (near1 < 3) dbm = std::max(dbm, -72.0 + fade - 8.0 * near1);
            return static_cast<int16_t>(std::lround(dbm * 16));
        });
    }
    const bool ok = log.ok();
    log.close();
    return ok;
}

}  // namespace zarn
