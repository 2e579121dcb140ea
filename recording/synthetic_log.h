#pragma once
// Logs for tests and benchmarks, written by CLogFile from a board state the
// way the decoder stages them. The clock starts at 2004-07-09 14:00:00 and
// moves on `secondsApart` per record, through the calendar.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/board_state.h"
#include "recording/log_file.h"

namespace zarn {

struct SyntheticLog {
    explicit SyntheticLog(std::string path, uint32_t pcsRaster = 50000, int secondsApart = 1);
    ~SyntheticLog();
    bool ok() const { return ok_; }

    void note(const std::string& text);
    void singleChannel(uint32_t cellularChannel, int16_t cellularLevel, uint32_t pcsOffset, int16_t pcsLevel);
    // Slots as (band, channel, level); at most 40.
    void table(const std::vector<ChannelSlot>& slots);
    // A level that leaves its capture entry empty, as one the board never sent.
    static constexpr int16_t kNotCaptured = INT16_MIN;
    // One sweep of `count` points from `start`, every stride-th capture entry as the decoder takes it.
    void sweep(uint8_t band, uint16_t start, uint16_t count, const std::function<int16_t(uint16_t offset)>& level);
    void bestServers(uint8_t band, const std::vector<ServerEntry>& ranks);
    // A frame recorded as it came, outside the measurement screens.
    void frame(uint8_t type, const std::vector<uint8_t>& payload);
    void close();

    BoardState& board() { return *board_; }

private:
    void stage(uint8_t screenMode);

    std::unique_ptr<BoardState> board_;
    std::unique_ptr<CLogFile> log_;
    int seconds_ = 0;
    int secondsApart_;
    bool ok_ = false;
};

// The synthetic clock `seconds` after 2004-07-09 14:00:00.
LocalTime syntheticTime(long long seconds);

// A full cellular sweep log: `sweeps` records of 833 points, one every
// `millisecondsApart` (time stamps keep whole seconds), a carrier at 881.52 MHz
// and a fading one at 870.03, a "Marker #n" every 100 sweeps. The bytes are
// CLogFile's (its encoder, the decoder's record builder) without the flush
// after each record, so a week of sweeps takes seconds to make.
bool writeCellularSweepLog(const std::string& path, long sweeps, int millisecondsApart);

// A single-channel drive log: `perSecond` records in each of `seconds`
// seconds, as the board's frames bring them, channel 384 (881.52 MHz) fading
// over tens of seconds and 1962.5 MHz a few dB below, a "Marker #n" every ten
// minutes; CLogFile's bytes without its flush, like writeCellularSweepLog.
bool writeSingleChannelLog(const std::string& path, long long seconds, int perSecond);

}  // namespace zarn
