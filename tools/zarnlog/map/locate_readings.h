#pragma once
// The readings `zarnlog locate` gathers, by frequency, and the frequency of a
// channel under a log's (survey's) PCS raster.

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "recording/log_units.h"
#include "survey/locate/drive_samples.h"

namespace zarn {

struct LocatedReading {
    Place place;
    double dbm = 0;
};

struct LocateFrequency {
    DriveSamples samples;
    std::vector<LocatedReading> readings;  // kept only for the layers of -o
    void add(const Place& place, double dbm, double time, int drive, bool keep) {
        samples.add(place, dbm, time, drive);
        if (keep) readings.push_back({place, dbm});
    }
};

using LocateReadings = std::map<uint32_t, LocateFrequency>;  // by Hz

// The Hz of channel `channel` of `band` (0 cellular, 1 PCS) under the plans' raster; 0 when it has none.
uint32_t locateChannelHz(const LogPlans& plans, uint8_t band, uint32_t channel);
// Whether the channel is one of the band's under some PCS raster.
bool locateChannelKnown(uint8_t band, uint32_t channel);

}  // namespace zarn
