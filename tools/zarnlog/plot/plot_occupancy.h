#pragma once
// `zarnlog occupancy -o OUT.png`: occupancy as a time-by-frequency picture, a
// panel per band in the colours of `zarnlog plot` (viridis, 0 % dark blue to
// 100 % yellow), a column per place (band and frequency, in frequency order,
// as wide as the places leave room for: the busiest of the places a column
// covers), a row per period or, with more periods than rows, the busiest of
// the periods a row covers; a period without records is grey.
//
// The log is read twice: once for the places and the time span, once for the
// periods. Memory follows the picture and the places, not the log.

#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/surface.h"
#include "recording/log_reader.h"
#include "survey/log_time.h"
#include "survey/occupancy.h"

namespace zarn {

struct OccupancySettings {
    OccupancyThreshold threshold;
    long long periodSeconds = 900;
    StampWindow window;  // only the records in it
};

// A label of a panel's frequency axis: its tick's x and its text's extent across.
struct FrequencyLabel {
    int x = 0;
    std::string text;
    int left = 0, right = 0;
};
// Labels at round MHz, each at the middle of the column of the first place from
// there and named by that place's MHz; one that would reach over a label before
// it, or out of the picture, is left out (places bunched in frequency bunch
// their columns). `width` measures a text in the picture's font.
std::vector<FrequencyLabel> frequencyLabels(const std::vector<uint32_t>& places,
                                            const std::function<int(const std::string&)>& width);

// False (and an empty surface) when no record gives a level, or a read error
// cut the log short (reader.readError() set).
bool plotOccupancy(LogReader& reader, const LogHeader& header, const OccupancySettings& settings,
                   const std::string& title, Surface& image, const DamageSink& damaged = {});

}  // namespace zarn
