#include "tools/zarnlog/map/log_grid.h"

#include <cmath>
#include <set>

#include "tools/zarnlog/plot_scale.h"

namespace zarn {

bool writeGrid(const Grid& grid, const std::string& output, MapFormat format, uint64_t minSamples,
               std::vector<std::string>& files, std::string& error) {
    plot::Range levels;
    std::set<int> wholeLevels;  // a KML style for each
    for (const GridCell& c : grid.cells) {
        levels.take(c.mean);
        wholeLevels.insert(static_cast<int>(std::floor(c.mean)));
    }
    const plot::Range tens = levels.empty() ? plot::Range{-120, -40} : levels.tens();
    MapOutput out(format, output, LevelScale{tens.lo, tens.hi}, true);
    std::array<bool, kMapLayers> layers{};
    layers[static_cast<size_t>(MapLayer::Cells)] = true;
    if (!out.begin(layers, wholeLevels)) return error = out.error(), false;
    for (const GridCell& c : grid.cells) {
        MapFeature f;
        f.layer = MapLayer::Cells;
        f.values = {c.column,   c.row,   static_cast<long long>(c.samples), static_cast<long long>(c.surveys),
                    c.mean,     c.median, c.p10, c.p90, c.min, c.max, static_cast<long long>(c.samples < minSamples)};
        f.dbm = c.mean;
        if (!out.writeArea(f, c.outline, {c.centreLat, c.centreLon})) return error = out.error(), false;
    }
    if (!out.finish()) return error = out.error(), false;
    files = out.files();
    return true;
}

}  // namespace zarn
