#pragma once
// A team's coverage grid of one frequency, summed up in the database: every
// placed reading of that frequency in the archive (channel readings and sweep
// points), in a time window and of a site when asked, in square cells.
//
// - The projection: the UTM zone of the centre of the readings' bounding box,
//   by the rule of survey/grid_cell.h (its SQL form); the cells as CellGrid
//   makes them: (floor(x / size), floor(y / size)) after ST_Transform, which
//   goes through the same PROJ.
// - Per cell, by the rules of survey/level_statistics.h: samples, surveys,
//   the mean of powers in dBm, the nearest-rank percentiles 0.5, 0.1 and 0.9
//   (percentile_disc's), min and max. The readings are first counted by
//   survey, place and level, so a fixed site's month is projected once.
// - Only the cells come back, with their outline (WKB, WGS 84) and centre.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "outputs/archive/archive_connection.h"

namespace zarn {

struct GridRequest {
    uint32_t hz = 0;
    double cellMetres = 50;
    std::optional<long long> from, to;  // stamps on the device's clock (stampSeconds), `to` excluded
    std::optional<std::string> site;
};

struct GridCell {
    long long column = 0, row = 0;
    uint64_t samples = 0, surveys = 0;
    double mean = 0, median = 0, p10 = 0, p90 = 0, min = 0, max = 0;
    double centreLat = 0, centreLon = 0;
    std::vector<uint8_t> outline;  // a polygon as WKB, longitude first
};

struct Grid {
    int epsg = 0;     // 0: no placed reading
    uint64_t surveys = 0;
    std::vector<GridCell> cells;
};

bool queryGrid(ArchiveConnection& db, const GridRequest& request, Grid& grid, std::string& error);

// The first and last time of a placed record (of the site when asked), as --from takes
// them ("2026-03-02T09:15:00"); both empty when there is none.
bool queryPlacedSpan(ArchiveConnection& db, const std::optional<std::string>& site, std::string& first,
                     std::string& last, std::string& error);

}  // namespace zarn
