#include "shell/table_raster.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <vector>

#include "channels/band_plan.h"
#include "channels/channel_table_file.h"
#include "screens/band_raster_view.h"

namespace zarn {
namespace {

struct NamedChannel {
    uint32_t channel;
    double megahertz;
    std::string name;
};

// The first number in `name` that is a frequency within the PCS band, in MHz.
std::optional<double> pcsMegahertzIn(const std::string& name) {
    for (size_t i = 0; i < name.size(); ++i) {
        const bool starts = std::isdigit(static_cast<unsigned char>(name[i])) &&
                            (i == 0 || !std::isdigit(static_cast<unsigned char>(name[i - 1])));
        if (!starts) continue;
        const double value = std::strtod(name.c_str() + i, nullptr);
        if (value >= 1930.0 && value <= 1990.0) return value;
    }
    return std::nullopt;
}

// The table's PCS channels ("1,650,CDMA 1962.50") whose name holds a frequency within the band.
std::vector<NamedChannel> namedPcsChannels(const std::string& file) {
    std::vector<NamedChannel> named;
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return named;
    FileByteSource source(f);
    ChannelTableContents table;
    const bool valid = readChannelTable(source, table);
    std::fclose(f);
    if (!valid) return named;
    for (size_t k = 0; k < table.count; ++k) {
        const ChannelLine& c = table.slots[k];
        if (c.band != 1) continue;
        if (const auto megahertz = pcsMegahertzIn(c.name)) named.push_back({c.channel, *megahertz, c.name});
    }
    return named;
}

double megahertzAt(uint32_t rasterHz, uint32_t channel) {
    BandPlan plan;
    setUpPcsPlan(plan);
    plan.setPcsRaster(rasterHz);
    return plan.pcsChannelToFrequency(channel) / 1e6;
}

bool fits(uint32_t rasterHz, const NamedChannel& c) {
    return std::fabs(megahertzAt(rasterHz, c.channel) - c.megahertz) < rasterHz / 2e6;
}

bool fitsAll(uint32_t rasterHz, const std::vector<NamedChannel>& named) {
    for (const NamedChannel& c : named)
        if (!fits(rasterHz, c)) return false;
    return true;
}

}  // namespace

std::optional<RasterMismatch> tableRasterMismatch(const std::string& file, uint32_t rasterHz) {
    const std::vector<NamedChannel> named = namedPcsChannels(file);
    if (named.empty() || fitsAll(rasterHz, named)) return std::nullopt;
    for (const uint32_t other : CZarnView::kRasters) {
        if (other == rasterHz || !fitsAll(other, named)) continue;
        const auto miss = [&](const NamedChannel& c) { return std::fabs(megahertzAt(rasterHz, c.channel) - c.megahertz); };
        const NamedChannel& worst =
            *std::max_element(named.begin(), named.end(), [&](auto& a, auto& b) { return miss(a) < miss(b); });
        char example[160];
        std::snprintf(example, sizeof example, "%u '%s' is %.2f MHz here", worst.channel, worst.name.c_str(),
                      megahertzAt(rasterHz, worst.channel));
        return RasterMismatch{other, example};
    }
    return std::nullopt;
}

}  // namespace zarn
