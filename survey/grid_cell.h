#pragma once
// CellGrid: square cells of a coverage grid, the same here as in the database.
//
// - The projection: the UTM zone of the data's centre on WGS 84, the centre
//   being the middle of the bounding box of the places gridded (not their
//   mean: a box's middle is the same however the places are counted), zone =
//   floor((lon + 180) / 6) + 1 (1..60, longitude 180 in zone 60); EPSG 32600 +
//   zone for a centre at or north of the equator, 32700 + zone south of it. In
//   SQL: 32600 + (lat < 0)::int * 100 + greatest(1, least(60, floor((lon + 180) / 6)::int + 1)).
// - A place's cell: x, y its easting and northing in that projection, in
//   metres; the cell (floor(x / size), floor(y / size)). Cell (c, r) is the
//   square from (c x size, r x size) to ((c + 1) x size, (r + 1) x size).
// - Places go through PROJ by GDAL's OGRCoordinateTransformation, which the
//   database's ST_Transform(geom, EPSG) uses as well: the same PROJ, the same
//   metres. Latitude and longitude are degrees on WGS 84 (EPSG 4326), given
//   and returned as LatLon whatever axis order the EPSG defines (GDAL is told
//   the traditional GIS order, longitude first).
// - A place PROJ cannot project (NaN, beyond the poles) has no cell.
// - One object per thread: PROJ's transformations are not for concurrent use.

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace zarn {

struct LatLon {
    double lat = 0, lon = 0;
};

struct CellIndex {
    long long column = 0, row = 0;
    bool operator==(const CellIndex&) const = default;
};

struct CellGeometry {
    LatLon centre;
    LatLon corners[4];  // south-west, south-east, north-east, north-west
};

// The EPSG code of the UTM zone of `centre`, by the rule above.
int utmEpsgFor(LatLon centre);

class CellGrid {
public:
    CellGrid();
    ~CellGrid();
    CellGrid(CellGrid&&) noexcept;
    CellGrid& operator=(CellGrid&&) noexcept;

    // Cells of `sizeMetres` in the projection `epsg` (utmEpsgFor the data's
    // centre). False with `error` for a size that is not positive, or an EPSG
    // code PROJ does not know.
    bool open(int epsg, double sizeMetres, std::string& error);
    int epsg() const { return epsg_; }
    double size() const { return size_; }

    // Easting and northing in metres; nullopt when the place cannot be projected.
    std::optional<std::pair<double, double>> metres(LatLon place) const;
    std::optional<LatLon> place(double x, double y) const;

    std::optional<CellIndex> cellOf(LatLon place) const;
    std::optional<CellGeometry> geometry(CellIndex cell) const;

private:
    struct Transforms;
    std::unique_ptr<Transforms> transforms_;
    int epsg_ = 0;
    double size_ = 0;
};

}  // namespace zarn
