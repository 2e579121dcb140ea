#pragma once
// Tracks for tests and benchmarks, in the bytes GpxTrack writes, without its
// flush after every point: a point every `step` seconds of a synthetic log's
// clock (syntheticTime) from `from` to `to` (excluded), UTC two hours behind
// the device's clock. A second `place` gives no place for is a lost fix: no
// point, and the segment ends.

#include <functional>
#include <optional>
#include <string>

#include "survey/track_join.h"

namespace zarn {

constexpr int kSyntheticUtcOffset = 2 * 3600;

bool writeSyntheticTrack(const std::string& path, long long from, long long to, int step,
                         const std::function<std::optional<Place>(long long second)>& place);

}  // namespace zarn
