#include "tools/meter/stats_file.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

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

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// False unless the text is a whole look, up to its "end" line.
bool parse(const std::string& text, PresentCounts& out) {
    std::istringstream in(text);
    out = PresentCounts{};
    std::string line;
    while (std::getline(in, line)) {
        if (line == "end") return true;
        std::istringstream fields(line);
        std::string key;
        uint64_t a = 0, b = 0;
        if (!(fields >> key >> a)) continue;
        if (key == "presents") out.presents = a;
        else if (key == "paints") out.paints = a;
        else if (key == "updates") out.updates = a;
        else if (key == "latency_ms" && fields >> b) out.latencyMs[a] = b;
    }
    return false;
}

}  // namespace

// The writer rewrites the file in place; two reads that agree were not torn.
bool readPresentCounts(const std::string& path, PresentCounts& out) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const std::string first = slurp(path);
        if (first == slurp(path) && parse(first, out)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace zarn::meter
