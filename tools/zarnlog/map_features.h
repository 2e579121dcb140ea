#pragma once
// What a log record gives a map: point features, one layer per record type,
// with their values in physical units, and the level that colours each.
//
// - single: time, note, then channel, MHz and dBm of each band; coloured by
//   the stronger of the two.
// - table: a feature per slot: slot, band, channel, MHz, dBm.
// - servers: band, rank 1's channel, MHz and dBm, then those of ranks 2 to 10.
// - spectrum: band, the peak's MHz and dBm, the mean dBm of the measured
//   points; coloured by the peak.
// - notes: every note, with its record's type.
// - cells: a coverage grid's cells (zarnlog grid), areas rather than points.
// - transmitter, readings: where a transmitter is and the readings it was
//   located from (zarnlog locate); the transmitter's layer holds its point
//   and its region's outline.
// A value that is not known (a PCS channel of an unknown raster, a frequency
// outside the band, a level the board had not reported, a sweep without a
// measured point) is null; so is the colour of a feature without a level.

#include <array>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "recording/log_units.h"

namespace zarn {

enum class MapLayer { Single, Table, Servers, Spectrum, Notes, Cells, Transmitter, Readings };
constexpr int kMapLayers = 8;
// The layer's name, also the file-name suffix of zarnlog csv: "single", "table", ...
const char* mapLayerName(MapLayer layer);

enum class FieldType { Integer, Real, Text };
struct FieldSpec {
    std::string name;
    FieldType type;
    int csvDecimals = 0;  // a Real's decimals in a CSV; 0: as many as it takes
};
const std::vector<FieldSpec>& mapFields(MapLayer layer);

using FieldValue = std::variant<std::monostate, long long, double, std::string>;

struct MapFeature {
    MapLayer layer = MapLayer::Single;
    std::vector<FieldValue> values;  // in the order of mapFields
    std::optional<double> dbm;       // the level that colours it
};

// Every feature of a record, in `out` (cleared first).
void mapFeatures(const LogPlans& plans, const LogRecord& r, std::vector<MapFeature>& out);

// The strongest level among features; nullopt when none has one.
std::optional<double> strongestLevel(const std::vector<MapFeature>& features);

}  // namespace zarn
