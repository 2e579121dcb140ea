#include "tools/zarnlog/output_files.h"

#include <algorithm>
#include <filesystem>

namespace zarn {

namespace fs = std::filesystem;

std::optional<MapFormat> mapFormatOf(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".gpkg") return MapFormat::GeoPackage;
    if (ext == ".geojson") return MapFormat::GeoJson;
    if (ext == ".kml") return MapFormat::Kml;
    if (ext == ".csv") return MapFormat::Csv;
    return std::nullopt;
}

bool oneLayerAFile(MapFormat f) { return f == MapFormat::GeoJson || f == MapFormat::Csv; }

std::string mapLayerFile(MapFormat format, const std::string& path, MapLayer layer) {
    if (!oneLayerAFile(format)) return path;
    const fs::path out(path);
    return (out.parent_path() / (out.stem().string() + "-" + mapLayerName(layer) + out.extension().string())).string();
}

}  // namespace zarn
