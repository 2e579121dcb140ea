#pragma once
// The files of `zarnlog map`, written through GDAL/OGR, the format chosen by
// the output's extension:
// - .gpkg (GeoPackage) and .kml hold one layer per record type in one file;
//   KML points carry a style per whole dBm in the colours of the waterfall,
//   one for each whole dBm the points have;
// - .geojson and .csv hold one layer a file: OUT's name with the layer's
//   ("survey-single.geojson"); a CSV has lat and lon columns after the values.
// - a cell (zarnlog grid) is an area: its outline, coloured by its level in
//   KML; a CSV has its centre's lat and lon.
// - `onePath`: every layer in OUT itself, whatever the format (one layer).
// Points are WGS 84 longitude and latitude. An output that exists is
// replaced, but for a CSV another zarnlog command wrote (csv_maker.h); on a
// failure every file begun is removed again.

#include <array>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "survey/colour_map.h"
#include "survey/track_join.h"
#include "tools/zarnlog/map_features.h"
#include "tools/zarnlog/output_files.h"

namespace zarn {

class MapOutput {
public:
    MapOutput(MapFormat format, std::string path, LevelScale scale, bool onePath = false);
    ~MapOutput();
    MapOutput(const MapOutput&) = delete;
    MapOutput& operator=(const MapOutput&) = delete;

    // Creates the files and the layers marked, and for KML a style for each
    // whole dBm of `levels` on the scale; false with error().
    bool begin(const std::array<bool, kMapLayers>& layers, const std::set<int>& levels);
    bool write(const MapFeature& feature, const Place& place);
    // An area: its outline as WKB (WGS 84, longitude first) and its centre.
    bool writeArea(const MapFeature& feature, const std::vector<uint8_t>& outline, const Place& centre);
    // Closes every file; false with error() (and the files removed) when one fails.
    bool finish();
    // Removes every file begun.
    void abandon();

    const std::vector<std::string>& files() const { return files_; }
    const std::string& error() const { return error_; }

    struct Gdal;

private:
    bool fail(const std::string& what);
    int styleStep(double dbm) const;  // the whole dBm of its style, on the scale
    bool add(const MapFeature& feature, void* geometry, const Place& place);

    MapFormat format_;
    std::string path_;
    LevelScale scale_;
    bool onePath_;
    std::unique_ptr<Gdal> gdal_;
    std::vector<std::string> files_;
    std::string error_;
};

}  // namespace zarn
