#pragma once
// `zarnlog plot`: a picture of a log, drawn through the device's own drawing
// layer (CDC over a Surface) and written as PNG.
//
// Panels, top to bottom, for what the log holds:
// - a waterfall per band for spectrum records: frequency across (MHz), time
//   down, viridis colours with a dBm colour bar; when there are more sweeps
//   than rows, each row shows the peak of the sweeps it covers;
// - level over time for single-channel records (both tuned channels);
// - one line per channel for channel-table records;
// - for best-servers records, a line per channel that was the strongest of a
//   record: its level wherever a record ranks it;
// - with a track, a coverage panel: where the records were, coloured by level.
// Notes show as labelled ticks on the time axis. Frame records are not drawn
// but on the coverage panel.
//
// The log is read twice, a record at a time: once for the panels' sizes and
// scales, once to draw them. Memory follows the picture, not the log.

#include <optional>
#include <string>

#include "platform/gdi/surface.h"
#include "recording/log_reader.h"
#include "survey/colour_map.h"
#include "survey/log_time.h"
#include "survey/track_join.h"

namespace zarn {

struct PlotOptions {
    std::optional<LevelScale> scale;  // of the colour bars; else whole tens of dB around what was seen
    StampWindow window;               // only the records in it
    const TrackJoin* track = nullptr;
    std::string trackName;
    PlacingCounts* placing = nullptr;  // set to the records' placing on the track
};

// False (and an empty surface) when no record can be drawn, or when a read
// error cut the log short (reader.readError() set).
bool plotLog(LogReader& reader, const LogHeader& header, const std::string& title, Surface& image,
             const DamageSink& damaged = {}, const PlotOptions& options = {});

}  // namespace zarn
