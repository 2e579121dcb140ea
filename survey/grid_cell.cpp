#include "survey/grid_cell.h"

#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>

namespace zarn {

struct CellGrid::Transforms {
    std::unique_ptr<OGRCoordinateTransformation> toMetres, toPlace;
};

namespace {

// PROJ's reference system of an EPSG code, longitude (or easting) first.
std::optional<OGRSpatialReference> referenceOf(int epsg) {
    OGRSpatialReference srs;
    if (srs.importFromEPSG(epsg) != OGRERR_NONE) return std::nullopt;
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

bool transform(OGRCoordinateTransformation& t, double& x, double& y) {
    int ok = 0;
    return t.Transform(1, &x, &y, nullptr, &ok) && ok && std::isfinite(x) && std::isfinite(y);
}

}  // namespace

int utmEpsgFor(LatLon centre) {
    const int zone = std::clamp(static_cast<int>(std::floor((centre.lon + 180.0) / 6.0)) + 1, 1, 60);
    return (centre.lat < 0 ? 32700 : 32600) + zone;
}

CellGrid::CellGrid() = default;
CellGrid::~CellGrid() = default;
CellGrid::CellGrid(CellGrid&&) noexcept = default;
CellGrid& CellGrid::operator=(CellGrid&&) noexcept = default;

bool CellGrid::open(int epsg, double sizeMetres, std::string& error) {
    transforms_.reset();
    if (!(sizeMetres > 0) || !std::isfinite(sizeMetres)) {
        error = "a grid cell's size must be a positive number of metres";
        return false;
    }
    const auto wgs84 = referenceOf(4326), metric = referenceOf(epsg);
    if (!wgs84 || !metric) {
        error = "PROJ does not know EPSG:" + std::to_string(epsg);
        return false;
    }
    auto t = std::make_unique<Transforms>();
    t->toMetres.reset(OGRCreateCoordinateTransformation(&*wgs84, &*metric));
    t->toPlace.reset(OGRCreateCoordinateTransformation(&*metric, &*wgs84));
    if (!t->toMetres || !t->toPlace) {
        error = "PROJ gives no transformation between WGS 84 and EPSG:" + std::to_string(epsg);
        return false;
    }
    transforms_ = std::move(t);
    epsg_ = epsg;
    size_ = sizeMetres;
    return true;
}

std::optional<std::pair<double, double>> CellGrid::metres(LatLon place) const {
    double x = place.lon, y = place.lat;
    if (!transforms_ || !transform(*transforms_->toMetres, x, y)) return std::nullopt;
    return std::make_pair(x, y);
}

std::optional<LatLon> CellGrid::place(double x, double y) const {
    if (!transforms_ || !transform(*transforms_->toPlace, x, y)) return std::nullopt;
    return LatLon{y, x};
}

std::optional<CellIndex> CellGrid::cellOf(LatLon place) const {
    const auto m = metres(place);
    if (!m) return std::nullopt;
    return CellIndex{static_cast<long long>(std::floor(m->first / size_)),
                     static_cast<long long>(std::floor(m->second / size_))};
}

std::optional<CellGeometry> CellGrid::geometry(CellIndex cell) const {
    const double west = static_cast<double>(cell.column) * size_, south = static_cast<double>(cell.row) * size_;
    const double east = west + size_, north = south + size_;
    const double xs[5] = {west + size_ / 2, west, east, east, west};
    const double ys[5] = {south + size_ / 2, south, south, north, north};
    CellGeometry g;
    LatLon* out[5] = {&g.centre, &g.corners[0], &g.corners[1], &g.corners[2], &g.corners[3]};
    for (int i = 0; i < 5; ++i) {
        const auto p = place(xs[i], ys[i]);
        if (!p) return std::nullopt;
        *out[i] = *p;
    }
    return g;
}

}  // namespace zarn
