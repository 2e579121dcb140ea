#pragma once
// The file a program writes while ZARN_STATS names it (platform/ui/present_stats.h),
// read and compared: the difference of two looks is what happened between them.

#include <cstdint>
#include <map>
#include <string>

namespace zarn::meter {

struct PresentCounts {
    uint64_t presents = 0;
    uint64_t paints = 0;
    uint64_t updates = 0;
    std::map<uint64_t, uint64_t> latencyMs;  // whole milliseconds -> updates shown that late

    PresentCounts since(const PresentCounts& earlier) const;
    // The longest wait among the updates counted (its bucket's upper end), -1 when none.
    int64_t longestMs() const;
    uint64_t latencyCount() const;
};

// False when no whole look could be had (the file is missing, or torn every time).
bool readPresentCounts(const std::string& path, PresentCounts& out);

}  // namespace zarn::meter
