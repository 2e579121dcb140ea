#pragma once
// Pairs of a drive's cells near one another, found through buckets of the
// radius' size: a day's cells in milliseconds, not their number squared.

#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "survey/locate/drive_samples.h"

namespace zarn {

// Calls visit(k, m, metres) for each pair of `chosen` cells within `radius` (k < m, positions in `chosen`).
template <typename Visit>
void forPairsWithin(const std::vector<RoadCell>& cells, const std::vector<size_t>& chosen, double radius, Visit visit) {
    const auto keyOf = [](long long c, long long r) {
        return static_cast<uint64_t>(static_cast<uint32_t>(c)) << 32 | static_cast<uint32_t>(r);
    };
    std::unordered_map<uint64_t, std::vector<size_t>> buckets;
    std::vector<std::pair<long long, long long>> bucketOf(chosen.size());
    for (size_t k = 0; k < chosen.size(); ++k) {
        const RoadCell& c = cells[chosen[k]];
        bucketOf[k] = {static_cast<long long>(std::floor(c.east / radius)), static_cast<long long>(std::floor(c.north / radius))};
        buckets[keyOf(bucketOf[k].first, bucketOf[k].second)].push_back(k);
    }
    for (size_t k = 0; k < chosen.size(); ++k) {
        const RoadCell& a = cells[chosen[k]];
        for (long long dc = -1; dc <= 1; ++dc)
            for (long long dr = -1; dr <= 1; ++dr) {
                const auto found = buckets.find(keyOf(bucketOf[k].first + dc, bucketOf[k].second + dr));
                if (found == buckets.end()) continue;
                for (const size_t m : found->second) {
                    if (m <= k) continue;
                    const RoadCell& b = cells[chosen[m]];
                    const double d = std::hypot(a.east - b.east, a.north - b.north);
                    if (d <= radius) visit(k, m, d);
                }
            }
    }
}

}  // namespace zarn
