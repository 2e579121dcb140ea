#pragma once
// What `zarnlog report` is asked for, beside its logs and their tracks.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "survey/colour_map.h"
#include "survey/log_time.h"
#include "survey/occupancy.h"

namespace zarn {

struct ReportOptions {
    std::string title;  // empty: "Survey report"
    double threshold = -90;                            // the design level, dBm
    std::vector<double> bands{-80, -90, -100, -110};   // edges of the level bands, strongest first
    double cellMetres = 50;
    size_t minSamples = 5;
    std::optional<LevelScale> scale;  // of the grid's colours; else whole tens of dB around the cells
    StampWindow window;
    // The sweeps' occupancy, as zarnlog occupancy counts it by default.
    OccupancyThreshold occupancyThreshold{true, 10};
    long long occupancyPeriod = 900;
};

// A finite decimal number and nothing else: a level in dBm, metres.
std::optional<double> parseDecimal(const std::string& text);
// "-80,-90,-100,-110": one to twelve levels, each below the one before.
std::optional<std::vector<double>> parseLevelBands(const std::string& text);

}  // namespace zarn
