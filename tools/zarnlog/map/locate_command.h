#pragma once
// `zarnlog locate`: where the transmitter of one frequency is, from the levels
// of logs placed on their tracks (by the join of zarnlog map), or of every
// survey in the archive (locate_archive.h).
//
// - Every reading of the frequency counts: single channel, channel-table slots,
//   best-server ranks and sweep points on it. A PCS channel is a frequency under
//   each log's (survey's) raster: logs of different rasters give a line each.
// - One line per frequency on `out`: the estimate, the 95 % region, n and P0,
//   the samples and kilometres; what the fit warns of on `err`
//   (survey/locate/transmitter_estimate.h says how).
// - OUT: .gpkg, .geojson or .kml, the layers of locate_layers.h.
// Exit status 0; 1 when a log, its track or the archive cannot be read, no
// reading of the frequency has a place, the readings tell nothing, or OUT
// cannot be written.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "survey/locate/transmitter_estimate.h"
#include "tools/zarnlog/map/locate_archive.h"
#include "tools/zarnlog/output_files.h"

namespace zarn {

struct LocateRequest {
    std::vector<std::string> logs;  // none: the archive
    std::string track;              // --track, else each log's own
    std::optional<int> utcOffset;
    uint32_t hz = 0;  // --mhz; else channel of band
    uint32_t channel = 0;
    uint8_t band = 0;  // 0 cellular, 1 PCS
    LocateMethod method = LocateMethod::Fit;
    std::string output;  // empty: no layers
    MapFormat format = MapFormat::GeoPackage;
    std::string conninfo;
    LocateArchiveRequest archive;
};

// The board's band of a frequency: 0 cellular, 1 PCS; nullopt outside both.
std::optional<uint8_t> locateBandOf(uint32_t hz);

int locate(const LocateRequest& request, std::ostream& out, std::ostream& err);

}  // namespace zarn
