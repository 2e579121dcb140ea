#pragma once
// `zarnlog plot`: a picture of a log, drawn through the device's own drawing
// layer (CDC over a Surface) and written as PNG.
//
// Panels, top to bottom, for what the log holds:
// - a waterfall per band for spectrum records: frequency across (MHz), time
//   down, viridis colours with a dBm colour bar; when there are more sweeps
//   than rows, each row shows the peak of the sweeps it covers;
// - level over time for single-channel records (both tuned channels);
// - one line per channel for channel-table records.
// Notes show as labelled ticks on the time axis. Best-server and frame
// records are not drawn.

#include <string>

#include "platform/gdi/surface.h"
#include "tools/zarnlog/loaded_log.h"

namespace zarn {

// False (and an empty surface) when no record can be drawn.
bool plotLog(const LoadedLog& log, const std::string& title, Surface& image);

}  // namespace zarn
