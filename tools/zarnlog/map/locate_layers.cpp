#include "tools/zarnlog/map/locate_layers.h"

#include <array>
#include <cmath>
#include <set>

#include "tools/zarnlog/plot_scale.h"

namespace zarn {
namespace {

// A polygon of one ring as WKB, little-endian, longitude first, closed.
std::vector<uint8_t> polygonWkb(const std::vector<Place>& ring) {
    std::vector<uint8_t> out;
    const auto put = [&out](const void* data, size_t size) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        out.insert(out.end(), bytes, bytes + size);
    };
    const uint8_t littleEndian = 1;
    const uint32_t polygon = 3, rings = 1, points = static_cast<uint32_t>(ring.size() + 1);
    put(&littleEndian, 1);
    put(&polygon, 4);
    put(&rings, 4);
    put(&points, 4);
    for (size_t k = 0; k <= ring.size(); ++k) {
        const Place& p = ring[k % ring.size()];
        put(&p.lon, 8);
        put(&p.lat, 8);
    }
    return out;
}

FieldValue optional(bool known, double value) { return known ? FieldValue{value} : FieldValue{}; }

MapFeature transmitterFeature(const LocatedFrequency& f, const char* kind) {
    const TransmitterEstimate& e = f.estimate;
    const bool fit = e.method == LocateMethod::Fit;
    const LocateRegion region = e.region.value_or(LocateRegion{});
    std::string warnings;
    for (const std::string& w : f.warnings) warnings += (warnings.empty() ? "" : "; ") + w;
    MapFeature m;
    m.layer = MapLayer::Transmitter;
    m.values = {std::string(kind),
                f.hz / 1e6,
                std::string(fit ? "fit" : "centroid"),
                e.place.lat,
                e.place.lon,
                optional(fit, region.major),
                optional(fit, region.minor),
                optional(fit, region.bearing),
                optional(fit, e.model.n),
                optional(fit, e.model.p0),
                optional(fit, e.model.sigma),
                static_cast<long long>(e.samples),
                e.metres / 1000,
                warnings.empty() ? FieldValue{} : FieldValue{warnings}};
    return m;
}

}  // namespace

std::vector<std::string> locateLayerFiles(MapFormat format, const std::string& output) {
    std::set<std::string> files{mapLayerFile(format, output, MapLayer::Transmitter),
                                mapLayerFile(format, output, MapLayer::Readings)};
    return {files.begin(), files.end()};
}

bool writeLocateLayers(const std::vector<LocatedFrequency>& located, const std::string& output, MapFormat format,
                       std::vector<std::string>& files, std::string& error) {
    plot::Range levels;
    std::set<int> wholeLevels;  // a KML style for each
    for (const LocatedFrequency& f : located)
        for (const LocatedReading& r : *f.readings) {
            levels.take(r.dbm);
            wholeLevels.insert(static_cast<int>(std::floor(r.dbm)));
        }
    const plot::Range tens = levels.empty() ? plot::Range{-120, -40} : levels.tens();
    MapOutput out(format, output, LevelScale{tens.lo, tens.hi});
    std::array<bool, kMapLayers> layers{};
    layers[static_cast<size_t>(MapLayer::Transmitter)] = true;
    layers[static_cast<size_t>(MapLayer::Readings)] = true;
    if (!out.begin(layers, wholeLevels)) return error = out.error(), false;
    for (const LocatedFrequency& f : located) {
        const TransmitterEstimate& e = f.estimate;
        bool written = out.write(transmitterFeature(f, "estimate"), e.place);
        if (written && e.region)
            written = out.writeArea(transmitterFeature(f, "region"), polygonWkb(e.region->outline()), e.region->centre);
        const bool fit = e.method == LocateMethod::Fit;
        for (size_t k = 0; written && k < f.readings->size(); ++k) {
            const LocatedReading& r = (*f.readings)[k];
            const double model = fit ? e.modelDbm(r.place) : 0;
            MapFeature m;
            m.layer = MapLayer::Readings;
            m.values = {f.hz / 1e6, r.dbm, optional(fit, model), optional(fit, r.dbm - model),
                        static_cast<long long>(r.dbm <= e.floorDbm)};
            m.dbm = r.dbm;
            written = out.write(m, r.place);
        }
        if (!written) return error = out.error(), false;
    }
    if (!out.finish()) return error = out.error(), false;
    files = out.files();
    return true;
}

}  // namespace zarn
