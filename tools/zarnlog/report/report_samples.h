#pragma once
// The channel levels one record holds, as both readings of `zarnlog report`
// take them: a single-channel record's two tuned channels, a channel table's
// slots, a best-servers record's filled ranks (a rank the sweep did not fill
// keeps -130 dBm), each as the board measured it (a level it had not reported
// is none). A value whose frequency the log does not give (a PCS table
// slot under an unknown raster, a channel outside its band) is counted in
// `unknown`, not returned.

#include <cstdint>
#include <vector>

#include "recording/log_units.h"

namespace zarn::report {

struct ChannelSample {
    int band = 0;  // 0: 800 MHz, 1: 1900 MHz
    uint32_t hz = 0;
    uint32_t channel = 0;  // kUnknownChannel when the raster is not known
    int sixteenths = 0;  // the level in 1/16 dB
    double dbm() const { return sixteenths / 16.0; }
};

enum class SampleSource { None, Single, Table, Servers };

SampleSource channelSamples(const LogPlans& plans, const LogRecord& r, std::vector<ChannelSample>& out,
                            size_t& unknown);

}  // namespace zarn::report
