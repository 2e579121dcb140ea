#include "tools/meter/stats_file.h"

#include <fstream>
#include <sstream>

namespace zarn::meter {

PresentCounts PresentCounts::since(const PresentCounts& earlier) const {
    PresentCounts d;
    d.presents = presents - earlier.presents;
    d.paints = paints - earlier.paints;
    d.updates = updates - earlier.updates;
    for (const auto& [ms, n] : latencyMs) {
        auto before = earlier.latencyMs.find(ms);
        const uint64_t was = before == earlier.latencyMs.end() ? 0 : before->second;
        if (n > was) d.latencyMs[ms] = n - was;
    }
    return d;
}

int64_t PresentCounts::longestMs() const {
    return latencyMs.empty() ? -1 : static_cast<int64_t>(latencyMs.rbegin()->first) + 1;
}

uint64_t PresentCounts::latencyCount() const {
    uint64_t n = 0;
    for (const auto& entry : latencyMs) n += entry.second;
    return n;
}

bool readPresentCounts(const std::string& path, PresentCounts& out) {
    std::ifstream in(path);
    if (!in) return false;
    out = PresentCounts{};
    bool any = false;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key;
        uint64_t a = 0, b = 0;
        if (!(fields >> key >> a)) continue;
        any = true;
        if (key == "presents") out.presents = a;
        else if (key == "paints") out.paints = a;
        else if (key == "updates") out.updates = a;
        else if (key == "latency_ms" && fields >> b) out.latencyMs[a] = b;
    }
    return any;
}

}  // namespace zarn::meter
