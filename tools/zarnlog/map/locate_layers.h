#pragma once
// The files of `zarnlog locate -o`, written through GDAL as `zarnlog map`
// writes its formats (map_output.h): OUT.gpkg and OUT.kml hold both layers,
// OUT-transmitter.geojson and OUT-readings.geojson one each.
// - transmitter: per frequency a point of kind "estimate" and, for the fit, a
//   polygon of kind "region" (the 95 % ellipse, 72 points), both with the
//   figures of the line: mhz, method, lat and lon of the estimate, major_m,
//   minor_m, bearing_deg, n, p0_dbm, sigma_db, samples, km, and the warnings.
// - readings: each reading used: mhz, dbm, model_dbm and residual_db (the
//   fit's model there and the reading's level above it; null for the
//   centroid), censored (1 at or below the floor, which the fit reads as "no
//   higher"). KML colours them by level.

#include <cstdint>
#include <string>
#include <vector>

#include "survey/locate/transmitter_estimate.h"
#include "tools/zarnlog/map/locate_readings.h"
#include "tools/zarnlog/map/map_output.h"

namespace zarn {

struct LocatedFrequency {
    uint32_t hz = 0;
    TransmitterEstimate estimate;
    const std::vector<LocatedReading>* readings = nullptr;
    std::vector<std::string> warnings;
};

// The files OUT gives.
std::vector<std::string> locateLayerFiles(MapFormat format, const std::string& output);

// False with `error` when a file cannot be written (nothing is left of it then).
bool writeLocateLayers(const std::vector<LocatedFrequency>& located, const std::string& output, MapFormat format,
                       std::vector<std::string>& files, std::string& error);

}  // namespace zarn
