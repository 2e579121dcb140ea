#pragma once
// HourlyFigures: what a push adds to zarn.hourly_figures, per hour of the
// device's clock and frequency (a channel reading's, or a sweep point's: first
// + i x step): samples, the sum of the powers in mW (as LevelSum sums them),
// min and max, and a histogram of 1 dB bins. Bin c counts the levels above
// c - 1 dBm up to c dBm, so "above T dBm" is exact for a whole T: the bins from
// T + 1 up. Bins run from -200 to +60 dBm; a level beyond counts in the end bin.
//
// The rows go to the server as the parameters of kAddHourly, rows of their own
// beside those of earlier pushes (a push only adds rows), in the push's
// transaction; readers sum a key's rows, and zarnlog db compact folds them.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "outputs/archive/archive_connection.h"
#include "outputs/archive/archive_record.h"

namespace zarn {

extern const char* const kAddHourly;

class HourlyFigures {
public:
    void add(const ArchiveRecord& r);
    bool empty() const { return channels_.empty() && sweeps_.empty(); }
    size_t rows() const;
    // The parameters of kAddHourly for the rows of `site`.
    std::vector<SqlValue> parameters(const std::string& site) const;
    void clear();

    struct Figures {
        int16_t band = 0;
        uint32_t samples = 0;
        double milliwatts = 0;
        int minLevel = 0, maxLevel = 0;  // 1/16 dB
        int lowBin = 0;
        std::vector<uint32_t> bins;
        void add(int sixteenths);
        void add(const Figures& other);
    };
    // Every row, by hour (Unix seconds) and Hz.
    std::map<std::pair<long long, uint32_t>, Figures> merged() const;

private:
    struct SweepBlock {
        long long hour;
        int16_t band;
        uint32_t firstHz, stepHz;
        std::vector<Figures> points;
    };
    std::map<std::pair<long long, uint32_t>, Figures> channels_;
    std::vector<SweepBlock> sweeps_;
};

}  // namespace zarn
