#pragma once
// A channel table's PCS channels are numbers in one raster's numbering, and the file does not
// say which. Its channels' names often give their frequencies ("CDMA 1962.50"): when they all
// match another raster and not the one recorded at, the log would hold other frequencies than
// the table's author meant.

#include <cstdint>
#include <optional>
#include <string>

namespace zarn {

struct RasterMismatch {
    uint32_t namedRasterHz;  // the raster at which every named PCS frequency matches
    std::string example;     // one channel's line, as "1200 'Band edge 1990.00' is 1966.02 MHz here"
};

// Nothing when the file cannot be read, names no PCS frequency, or `rasterHz` fits its names.
std::optional<RasterMismatch> tableRasterMismatch(const std::string& file, uint32_t rasterHz);

}  // namespace zarn
