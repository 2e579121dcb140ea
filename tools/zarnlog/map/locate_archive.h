#pragma once
// The readings `zarnlog locate --archive` locates from: every placed reading of
// the frequency in the archive's surveys, read through its views (zarn.readings,
// zarn.surveys), in a time window and of a site when asked, each survey a drive
// of its own in time order. A PCS channel is looked up under each raster the
// surveys were recorded with: one frequency per raster.

#include <optional>
#include <string>

#include "tools/zarnlog/map/locate_readings.h"

namespace zarn {

struct LocateArchiveRequest {
    std::optional<long long> from, to;  // stamps on the device's clock (stampSeconds), `to` excluded
    std::optional<std::string> site;
};

// `hz`: the frequency asked for, else 0 and `band` with `channel`. `keep`: the readings
// for the layers of -o too. `where` names the archive for messages. False with `error`.
bool gatherArchive(const std::string& conninfo, const LocateArchiveRequest& request, uint32_t hz, uint8_t band,
                   std::optional<uint32_t> channel, bool keep, LocateReadings& readings, std::string& where,
                   std::string& error);

}  // namespace zarn
