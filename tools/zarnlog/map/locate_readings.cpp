#include "tools/zarnlog/map/locate_readings.h"

namespace zarn {

uint32_t locateChannelHz(const LogPlans& plans, uint8_t band, uint32_t channel) {
    const uint32_t hz = plans.tableChannelHz(band, channel);
    if (!hz || band == 0) return hz;
    // The PCS numbers past a raster's ends would clamp to its last channel.
    return plans.channelOfOffset(1, plans.plan(1)->frequencyToOffset(hz)) == channel ? hz : 0;
}

bool locateChannelKnown(uint8_t band, uint32_t channel) {
    for (const uint32_t raster : {30000u, 50000u, 200000u})
        if (locateChannelHz(LogPlans(raster), band, channel)) return true;
    return false;
}

}  // namespace zarn
