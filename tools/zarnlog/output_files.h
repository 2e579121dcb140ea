#pragma once
// The files a map goes to (zarnlog map, grid): the format by the output's
// extension, and for a format of one layer a file, each layer's file named
// after OUT ("survey-single.geojson").

#include <optional>
#include <string>

#include "tools/zarnlog/map_features.h"

namespace zarn {

enum class MapFormat { GeoPackage, GeoJson, Kml, Csv };
// By the extension, in any case; nullopt for another.
std::optional<MapFormat> mapFormatOf(const std::string& path);
// GeoJSON and CSV hold one layer a file.
bool oneLayerAFile(MapFormat format);
// The file a layer goes to: OUT itself, or for one layer a file OUT's name with the layer's.
std::string mapLayerFile(MapFormat format, const std::string& path, MapLayer layer);

}  // namespace zarn
