#include "tools/zarnlog/map/map_output.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>

#include "tools/zarnlog/csv_maker.h"

// Last: they define TRUE and FALSE as macros.
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

namespace zarn {
namespace {

namespace fs = std::filesystem;

constexpr const char* kIcon = "http://maps.google.com/mapfiles/kml/shapes/placemark_circle.png";

const char* driverName(MapFormat f) {
    switch (f) {
    case MapFormat::GeoPackage: return "GPKG";
    case MapFormat::GeoJson: return "GeoJSON";
    case MapFormat::Kml: return "LIBKML";
    case MapFormat::Csv: return "CSV";
    }
    return "";
}

std::string gdalError(const std::string& fallback) {
    const char* message = CPLGetLastErrorMsg();
    return message && *message ? message : fallback;
}

OGRFieldType ogrType(FieldType t) {
    switch (t) {
    case FieldType::Integer: return OFTInteger;
    case FieldType::Real: return OFTReal;
    case FieldType::Text: return OFTString;
    }
    return OFTString;
}

// A CSV has no types, and GDAL 3.6 quotes an Integer field's values as it quotes
// text that looks like a number: whole numbers go as Real, which it writes bare.
OGRFieldType csvType(FieldType t) { return t == FieldType::Integer ? OFTReal : ogrType(t); }
constexpr int kCsvWidth = 24;  // GDAL's CSV writes a value of fixed decimals without the padding

std::string styleName(int dbm) { return "dBm" + std::to_string(dbm); }
std::string areaStyleName(int dbm) { return "area" + std::to_string(dbm); }

}  // namespace

struct MapOutput::Gdal {
    explicit Gdal(MapFormat format) : kml(format == MapFormat::Kml) {
        static const bool registered = (GDALAllRegister(), true);
        (void)registered;
        CPLPushErrorHandler(CPLQuietErrorHandler);
        // Values as <Data> rather than <SimpleData>: GDAL 3.6 tidies every
        // SimpleData by copying the whole document, which takes minutes for a
        // day of records.
        if (kml) CPLSetThreadLocalConfigOption("LIBKML_USE_SIMPLEFIELD", "NO");
        srs = OSRNewSpatialReference(nullptr);
        OSRImportFromEPSG(srs, 4326);
        OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
    }
    ~Gdal() {
        close();
        OSRDestroySpatialReference(srs);
        if (kml) CPLSetThreadLocalConfigOption("LIBKML_USE_SIMPLEFIELD", nullptr);
        CPLPopErrorHandler();
    }
    bool close() {
        bool ok = true;
        for (const Dataset& d : datasets) {
            CPLErrorReset();
            if (d.inTransaction && GDALDatasetCommitTransaction(d.handle) != OGRERR_NONE) ok = false;
            GDALClose(d.handle);
            // GDAL reports a failed last write only through its error state.
            if (CPLGetLastErrorType() >= CE_Failure) ok = false;
        }
        datasets.clear();
        layers = {};
        return ok;
    }

    struct Dataset {
        GDALDatasetH handle;
        bool inTransaction;
    };
    bool kml;
    OGRSpatialReferenceH srs = nullptr;
    std::vector<Dataset> datasets;
    std::array<OGRLayerH, kMapLayers> layers{};
    std::array<OGRFeatureDefnH, kMapLayers> definitions{};
};

MapOutput::MapOutput(MapFormat format, std::string path, LevelScale scale, bool onePath)
    : format_(format), path_(std::move(path)), scale_(scale), onePath_(onePath), gdal_(std::make_unique<Gdal>(format)) {}

MapOutput::~MapOutput() = default;

bool MapOutput::fail(const std::string& what) {
    error_ = what;
    abandon();
    return false;
}

int MapOutput::styleStep(double dbm) const {
    return static_cast<int>(std::floor(std::clamp(dbm, std::floor(scale_.lo), std::ceil(scale_.hi))));
}

bool MapOutput::begin(const std::array<bool, kMapLayers>& layers, const std::set<int>& levels) {
    GDALDriverH driver = GDALGetDriverByName(driverName(format_));
    if (!driver) return fail(std::string("GDAL has no ") + driverName(format_) + " driver");
    const bool areas = layers[static_cast<size_t>(MapLayer::Cells)];  // a grid's cells, styled as areas
    const auto create = [&](const std::string& file) -> GDALDatasetH {
        std::error_code ec;
        if (fs::is_directory(file, ec)) return error_ = file + " is a folder", nullptr;
        fs::remove(file, ec);
        CPLErrorReset();
        GDALDatasetH d = GDALCreate(driver, file.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
        if (!d) return error_ = "cannot write " + file + ": " + gdalError("GDAL cannot create it"), nullptr;
        files_.push_back(file);
        if (format_ == MapFormat::Kml) {
            OGRStyleTableH table = OGR_STBL_Create();
            std::set<int> steps;
            for (const int dbm : levels) steps.insert(styleStep(dbm));
            for (const int dbm : steps) {
                char colour[16];
                const uint32_t rgb = scale_.pixel(dbm);
                std::snprintf(colour, sizeof colour, "#%06X", rgb);
                if (areas) {
                    const std::string area = std::string("BRUSH(fc:") + colour + "B0);PEN(c:" + colour + ",w:1px)";
                    OGR_STBL_AddStyle(table, areaStyleName(dbm).c_str(), area.c_str());
                    continue;
                }
                const std::string style = std::string("SYMBOL(id:\"") + kIcon + "\",c:" + colour + ")";
                OGR_STBL_AddStyle(table, styleName(dbm).c_str(), style.c_str());
            }
            GDALDatasetSetStyleTable(d, table);
            OGR_STBL_Destroy(table);
        }
        gdal_->datasets.push_back({d, false});
        return d;
    };
    const auto fileOf = [&](MapLayer layer) {
        return oneLayerAFile(format_) && !onePath_ ? mapLayerFile(format_, path_, layer) : path_;
    };
    // Another command's CSV stays as it is, and so do the files before it.
    for (int k = 0; k < kMapLayers && format_ == MapFormat::Csv; ++k) {
        if (!layers[k]) continue;
        const std::string why = csvOverwriteRefusal(fileOf(static_cast<MapLayer>(k)), areas ? CsvMaker::Grid : CsvMaker::Map);
        if (!why.empty()) return fail(why);
    }
    GDALDatasetH shared = nullptr;
    for (int k = 0; k < kMapLayers; ++k) {
        if (!layers[k]) continue;
        const MapLayer layer = static_cast<MapLayer>(k);
        const std::string name = mapLayerName(layer);
        GDALDatasetH d = shared;
        if (oneLayerAFile(format_) && !onePath_) {
            d = create(fileOf(layer));
        } else if (!d) {
            d = shared = create(path_);
        }
        if (!d) return fail(error_);
        const bool points = format_ != MapFormat::Csv;
        const OGRwkbGeometryType shape = layer == MapLayer::Cells         ? wkbPolygon
                                         : layer == MapLayer::Transmitter ? wkbUnknown  // a point and its region
                                                                          : wkbPoint;
        CPLErrorReset();
        OGRLayerH l = GDALDatasetCreateLayer(d, name.c_str(), points ? gdal_->srs : nullptr,
                                             points ? shape : wkbNone, nullptr);
        if (!l) return fail("cannot write layer " + name + " to " + files_.back() + ": " + gdalError("refused"));
        std::vector<FieldSpec> fields = mapFields(layer);
        if (!points) fields.insert(fields.end(), {{"lat", FieldType::Real, 7}, {"lon", FieldType::Real, 7}});
        for (const FieldSpec& f : fields) {
            OGRFieldDefnH field = OGR_Fld_Create(f.name.c_str(), points ? ogrType(f.type) : csvType(f.type));
            if (!points && f.csvDecimals) {
                OGR_Fld_SetWidth(field, kCsvWidth);
                OGR_Fld_SetPrecision(field, f.csvDecimals);
            }
            const OGRErr made = OGR_L_CreateField(l, field, TRUE);
            OGR_Fld_Destroy(field);
            if (made != OGRERR_NONE) return fail("cannot add field " + f.name + " to layer " + name + ": " + gdalError("refused"));
        }
        gdal_->layers[k] = l;
        gdal_->definitions[k] = OGR_L_GetLayerDefn(l);
    }
    // GeoPackage writes fast in one transaction; the others have none.
    for (Gdal::Dataset& d : gdal_->datasets) d.inTransaction = GDALDatasetStartTransaction(d.handle, FALSE) == OGRERR_NONE;
    return true;
}

bool MapOutput::write(const MapFeature& feature, const Place& place) {
    OGRGeometryH point = OGR_G_CreateGeometry(wkbPoint);
    OGR_G_SetPoint_2D(point, 0, place.lon, place.lat);
    return add(feature, point, place);
}

bool MapOutput::writeArea(const MapFeature& feature, const std::vector<uint8_t>& outline, const Place& centre) {
    OGRGeometryH area = nullptr;
    if (OGR_G_CreateFromWkb(outline.data(), gdal_->srs, &area, static_cast<int>(outline.size())) != OGRERR_NONE)
        return fail("cannot write " + path_ + ": an outline GDAL does not read");
    return add(feature, area, centre);
}

// Takes `geometry` (an OGRGeometryH) whatever happens.
bool MapOutput::add(const MapFeature& feature, void* geometry, const Place& place) {
    OGRGeometryH shape = static_cast<OGRGeometryH>(geometry);
    const int k = static_cast<int>(feature.layer);
    OGRLayerH layer = gdal_->layers[k];
    if (!layer) {
        OGR_G_DestroyGeometry(shape);
        return fail(std::string("no layer ") + mapLayerName(feature.layer));
    }
    OGRFeatureH f = OGR_F_Create(gdal_->definitions[k]);
    int i = 0;
    for (const FieldValue& v : feature.values) {
        if (const auto* n = std::get_if<long long>(&v)) OGR_F_SetFieldInteger64(f, i, *n);
        else if (const auto* d = std::get_if<double>(&v)) OGR_F_SetFieldDouble(f, i, *d);
        else if (const auto* s = std::get_if<std::string>(&v)) OGR_F_SetFieldString(f, i, s->c_str());
        else OGR_F_SetFieldNull(f, i);
        ++i;
    }
    if (format_ == MapFormat::Csv) {
        OGR_F_SetFieldDouble(f, i, place.lat);
        OGR_F_SetFieldDouble(f, i + 1, place.lon);
        OGR_G_DestroyGeometry(shape);
    } else {
        OGR_F_SetGeometryDirectly(f, shape);
    }
    if (format_ == MapFormat::Kml && feature.dbm) {
        const int step = styleStep(*feature.dbm);
        const std::string style = "@" + (feature.layer == MapLayer::Cells ? areaStyleName(step) : styleName(step));
        OGR_F_SetStyleString(f, style.c_str());
    }
    CPLErrorReset();
    const OGRErr made = OGR_L_CreateFeature(layer, f);
    OGR_F_Destroy(f);
    if (made != OGRERR_NONE) return fail("cannot write " + path_ + ": " + gdalError("GDAL refused a feature"));
    return true;
}

bool MapOutput::finish() {
    if (gdal_->close()) return true;
    return fail("cannot write " + path_ + ": " + gdalError("GDAL could not finish it"));
}

void MapOutput::abandon() {
    gdal_->close();
    std::error_code ec;
    for (const std::string& file : files_) {
        fs::remove(file, ec);
        for (const char* sqlite : {"-journal", "-wal", "-shm"}) fs::remove(file + sqlite, ec);
    }
    files_.clear();
}

}  // namespace zarn
