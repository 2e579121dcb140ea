#pragma once
// `zarnlog grid`'s file: a coverage grid's cells as areas, written through
// GDAL as `zarnlog map` writes its formats (map_output.h), all in OUT: one
// layer "cells" with column, row, samples, surveys, mean_dbm, median_dbm,
// p10_dbm, p90_dbm, min_dbm, max_dbm and few_samples (1 when a cell has fewer
// samples than asked for). KML colours each cell by its mean.

#include <string>
#include <vector>

#include "outputs/archive/archive_grid.h"
#include "tools/zarnlog/map/map_output.h"

namespace zarn {

// False with `error` when the file cannot be written (nothing is left of it then).
bool writeGrid(const Grid& grid, const std::string& output, MapFormat format, uint64_t minSamples,
               std::vector<std::string>& files, std::string& error);

}  // namespace zarn
