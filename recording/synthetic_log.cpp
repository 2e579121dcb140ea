#include "recording/synthetic_log.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>

#include "board/log_records.h"

namespace zarn {
namespace {

// Hands each staged record straight to a buffered file, encoded as CLogFile encodes it.
struct BufferedLogSink : RecordSink {
    explicit BufferedLogSink(const std::string& path) : file(std::fopen(path.c_str(), "wb"), std::fclose) {}
    void write(const std::vector<uint8_t>& bytes) {
        ok = ok && file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    }
    void setPendingRecord(uint8_t type, const uint8_t* bytes, int length) override {
        write(encodeLogRecord(time, note, type, bytes, static_cast<size_t>(length)));
        note.clear();
    }
    bool close() { return ok && file && std::fclose(file.release()) == 0; }

    std::unique_ptr<FILE, int (*)(FILE*)> file;
    bool ok = true;
    LocalTime time{};
    std::string note;
};

int16_t cellularSweepLevel(uint16_t offset, long sweep) {
    double dbm = -110.0 + ((offset * 7919LL + sweep * 104729LL) % 97) / 20.0;  // noise floor
    const double fade = 6.0 * std::sin(static_cast<double>(sweep) * 0.05);
    const int near384 = std::abs(offset - 417), near1 = std::abs(offset - 34);
    if (near384 < 4) dbm = std::max(dbm, -55.0 - 6.0 * near384);
    if (near1 < 3) dbm = std::max(dbm, -72.0 + fade - 8.0 * near1);
    return static_cast<int16_t>(std::lround(dbm * 16));
}

}  // namespace

LocalTime syntheticTime(long long seconds) {
    const std::time_t t = 1089381600 + seconds;  // 2004-07-09 14:00:00
    std::tm tm{};
    gmtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

SyntheticLog::SyntheticLog(std::string path, uint32_t pcsRaster, int secondsApart)
    : board_(std::make_unique<BoardState>()), secondsApart_(secondsApart) {
    board_->pcsPlan.setPcsRaster(pcsRaster);
    // The same bytes as a recording's, without its flush after each record: a test's
    // log need not outlive a power cut, and a busy disk made long ones take seconds.
    log_ = std::make_unique<CLogFile>(
        std::move(path),
        [this] {
            const int s = seconds_;
            seconds_ += secondsApart_;
            return syntheticTime(s);
        },
        [](int) { return 0; });
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

bool writeCellularSweepLog(const std::string& path, long sweeps, int millisecondsApart) {
    BufferedLogSink sink(path);
    sink.write(encodeLogHeader(50000));
    auto board = std::make_unique<BoardState>();
    board->setScreenMode(kModeSpectrum);
    board->bandIndex = 0;
    board->sweepStart = 0;
    board->sweepCount = 833;
    for (long s = 0; s < sweeps && sink.ok; ++s) {
        if (s > 0 && s % 100 == 0) sink.note = "Marker #" + std::to_string(s / 100);
        sink.time = syntheticTime(s * millisecondsApart / 1000);
        for (uint16_t offset = 0; offset < 833; ++offset) board->sweepCapture[offset] = {offset, cellularSweepLevel(offset, s)};
        board->logRecordPending = 1;
        stageLogRecord(*board, sink, 14, nullptr, 0);
    }
    return sink.close();
}

bool writeSingleChannelLog(const std::string& path, long long seconds, int perSecond) {
    BufferedLogSink sink(path);
    sink.write(encodeLogHeader(50000));
    auto board = std::make_unique<BoardState>();
    board->setScreenMode(kModeSingleChannel);
    board->cellularPlan.tuneChannel(384);
    board->pcsPlan.setPcsRaster(50000);
    board->pcsPlan.tuneChannel(3250);
    for (long long s = 0; s < seconds && sink.ok; ++s) {
        if (s > 0 && s % 600 == 0) sink.note = "Marker #" + std::to_string(s / 600);
        sink.time = syntheticTime(s);
        for (int k = 0; k < perSecond; ++k) {
            const double t = static_cast<double>(s) + static_cast<double>(k) / perSecond;
            const double dbm = -80 + 12 * std::sin(t / 23) + 4 * std::sin(t * 2.1 + k);
            board->level[0] = static_cast<int16_t>(std::lround(dbm * 16));
            board->level[1] = static_cast<int16_t>(std::lround((dbm - 9) * 16));
            stageLogRecord(*board, sink, 14, nullptr, 0);
        }
    }
    return sink.close();
}

}  // namespace zarn
