#pragma once
// The grid's maps in `zarnlog report`, as SVG: cells of the grid in its
// metric projection, north up by the grid (the true north arrow shows how far
// the grid turns from it), a scale bar, and nothing fetched: no base map.
// Every map of a report shares one frame, so that maps compare cell by cell.
// A cell shows its figures under the pointer without a script; where cells
// are drawn large enough, their sample counts are written in them.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "survey/colour_map.h"
#include "tools/zarnlog/report/report_model.h"

namespace zarn::report {

class MapFrame {
public:
    // The box of `cells` with a cell of margin around it.
    MapFrame(const GridFrame& grid, const CellSet& cells);
    double width() const { return width_; }
    double height() const { return height_; }
    // The drawing's x, y of the cell's north-west corner, and a cell's side.
    double x(const CellIndex& c) const;
    double y(const CellIndex& c) const;
    double side() const { return side_; }
    const GridFrame& grid() const { return grid_; }
    double pixelsPerMetre() const { return side_ / grid_.grid.size(); }
    // The drawing's x, y of a place; nullopt when it cannot be projected.
    std::optional<std::pair<double, double>> point(const Place& p) const;

private:
    const GridFrame& grid_;
    long long west_ = 0, north_ = 0;  // the frame's first column and last row
    double side_ = 1, width_ = 0, height_ = 0;
};

// A transmitter's estimate, drawn as a cross, and its region's outline.
struct SourceMark {
    Place place;
    std::vector<Place> region;  // none: no region
};

struct LevelCells {
    const CellMap<LevelSum>* cells = nullptr;
    LevelScale scale;
    size_t minSamples = 0;
    const CellSet* undersampled = nullptr;  // outlined
    std::string label;
    const SourceMark* source = nullptr;
};
void levelMap(std::string& out, const MapFrame& frame, const LevelCells& map);
void dominanceMap(std::string& out, const MapFrame& frame, const CellMap<DominanceCell>& cells, size_t minSamples,
                  const std::string& label);

// The cells of every channel's levels, of the dominance and of the undersampled stretches.
CellSet everyCell(const ReportData& data);
// The colour scale: --db, else whole tens of dB around the cells' means.
LevelScale levelScaleOf(const ReportData& data);

// Keys as HTML: the colour scale with hatched and outlined cells; the dominance classes.
void levelKey(std::string& out, const LevelScale& scale, bool undersampled);
void dominanceKey(std::string& out);

}  // namespace zarn::report
