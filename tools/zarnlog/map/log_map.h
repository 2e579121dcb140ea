#pragma once
// `zarnlog map`: every record joined to a track and written as point
// features (see map_features.h for the layers, map_output.h for the files).
// The log is read twice, a record at a time: once to place the records and
// find the level scale, once to write them. A record without a place is
// counted, not written; with no record placed nothing is written.

#include <optional>
#include <string>
#include <vector>

#include "recording/log_reader.h"
#include "survey/log_time.h"
#include "tools/zarnlog/map/map_output.h"

namespace zarn {

struct MapRequest {
    std::string output;
    MapFormat format = MapFormat::GeoPackage;
    std::optional<LevelScale> scale;  // else whole tens of dB around the placed levels
    StampWindow window;
};

struct MapResult {
    PlacingCounts counts;
    std::array<size_t, kMapLayers> features{};
    std::vector<std::string> files;
    LevelScale scale;
};

// False with `error` when a read error cuts the log short (reader.readError()
// set), no record is placed, or an output cannot be written.
bool writeMap(LogReader& reader, const LogHeader& header, const TrackJoin& join, const MapRequest& request,
              MapResult& result, std::string& error, const DamageSink& damaged = {});

}  // namespace zarn
