#include "tools/zarnlog/map/log_map.h"

#include <cmath>
#include <set>

#include "tools/zarnlog/plot_scale.h"

namespace zarn {

bool writeMap(LogReader& reader, const LogHeader& header, const TrackJoin& join, const MapRequest& request,
              MapResult& result, std::string& error, const DamageSink& damaged) {
    result = MapResult{};
    const LogPlans plans(header.pcsRaster);
    std::vector<MapFeature> features;
    std::array<bool, kMapLayers> used{};
    plot::Range levels;
    std::set<int> wholeDbm;  // of the points, for their styles
    const bool read = forEachRecord(reader, [&](const LogRecord& r) {
        if (!request.window.contains(r.time)) return true;
        mapFeatures(plans, r, features);
        Place place;
        if (features.empty() || join.place(r.time, place, result.counts) != Placing::Placed) return true;
        for (const MapFeature& f : features) {
            used[static_cast<size_t>(f.layer)] = true;
            if (!f.dbm) continue;
            levels.take(*f.dbm);
            wholeDbm.insert(static_cast<int>(std::floor(*f.dbm)));
        }
        return true;
    }, damaged);
    if (!read) return error = "read error: " + reader.readError(), false;
    if (result.counts.placed + result.counts.notPlaced() == 0)
        return error = request.window.all() ? "no record to map" : "no record between --begin and --end", false;
    if (result.counts.placed == 0) return error = join.nothingPlaced(result.counts), false;
    const plot::Range tens = levels.empty() ? plot::Range{-120, -40} : levels.tens();
    result.scale = request.scale.value_or(LevelScale{tens.lo, tens.hi});

    MapOutput out(request.format, request.output, result.scale);
    if (!out.begin(used, wholeDbm)) return error = out.error(), false;
    bool written = true;
    const bool again = forEachRecord(reader, [&](const LogRecord& r) {
        if (!request.window.contains(r.time)) return true;
        mapFeatures(plans, r, features);
        Place place;
        if (features.empty() || join.place(r.time, place) != Placing::Placed) return true;
        for (const MapFeature& f : features) {
            if (!(written = out.write(f, place))) return false;
            ++result.features[static_cast<size_t>(f.layer)];
        }
        return true;
    });
    if (!written || !again || !out.finish()) {
        error = !written || again ? out.error() : "read error: " + reader.readError();
        out.abandon();
        return false;
    }
    result.files = out.files();
    return true;
}

}  // namespace zarn
