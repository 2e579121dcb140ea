#pragma once
// The charts of `zarnlog report`, as SVG: level (or speed) over the time axis
// of the logs, the CDF of channels' levels, percentile spectra, and the notes
// on a timeline. Each is complete without a script; charts over time and
// frequency carry their values in data-readout for the page's pointer
// readout.

#include <optional>
#include <string>
#include <vector>

#include "tools/zarnlog/occupancy_cells.h"
#include "tools/zarnlog/plot_scale.h"
#include "tools/zarnlog/report/report_model.h"

namespace zarn::report {

// A categorical colour for the n-th line of a chart.
std::string lineColour(size_t n);

struct Series {
    std::string name, colour;
    std::vector<std::optional<double>> values;  // per column, or per point of the x values
};

struct TimeChart {
    std::string label, unit;
    plot::Range y;                     // the y scale's ends
    std::optional<double> threshold;   // a dashed line across, labelled
    std::optional<Series> low, high;   // shaded between, under the lines
    std::vector<Series> lines;
};
void timeChart(std::string& out, const TimeAxis& axis, const std::vector<LogOverview>& logs, const TimeChart& chart);

struct CdfLine {
    std::string name, colour;
    const LevelHistogram* levels = nullptr;
};
// The share of samples at or below each level, a line per channel, with the threshold marked.
void cdfChart(std::string& out, const std::string& label, const std::vector<CdfLine>& lines, double threshold);

// Lines over frequency: x in MHz, one value of each series per x.
void spectrumChart(std::string& out, const std::string& label, const std::vector<double>& mhz,
                   const std::vector<Series>& lines);

// Occupancy over frequency (across, a column per place, in frequency order)
// and time (down, a row per period or the periods it covers), as
// occupancy_cells.h folds them: viridis from 0 % to 100 %, grey where no
// period with a sample covers a cell. Where the time between two logs is left
// out, a white line breaks the picture, and the time after it is labelled.
struct OccupancyChart {
    std::string label;
    const OccupancyCells* cells = nullptr;
    std::vector<uint32_t> hz;  // the places, in order
    const SweepOccupancy* occupancy = nullptr;
    long long periodSeconds = 1;
};
void occupancyChart(std::string& out, const OccupancyChart& chart);
// The colours of a cell, as the chart fills them.
std::string occupancyColour(float occupancy);

// Ticks for the logs' notes along the time axis, labelled where there is room;
// each tick shows its time and note under the pointer.
void notesTimeline(std::string& out, const TimeAxis& axis, const std::vector<LogOverview>& logs);

}  // namespace zarn::report
