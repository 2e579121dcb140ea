#include "outputs/archive/hourly_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "outputs/archive/archive_packs.h"

namespace zarn {
namespace {

constexpr int kLowestBin = -200, kHighestBin = 60;

// The power in mW of a level in 1/16 dB, as LevelSum works it out, once for each level.
double milliwatts(int sixteenths) {
    static const std::vector<double> table = [] {
        std::vector<double> t(65536);
        for (int l = -32768; l < 32768; ++l) t[static_cast<size_t>(l + 32768)] = std::pow(10.0, (l / 16.0) / 10.0);
        return t;
    }();
    if (sixteenths >= -32768 && sixteenths < 32768) return table[static_cast<size_t>(sixteenths + 32768)];
    return std::pow(10.0, (sixteenths / 16.0) / 10.0);
}

// The 1 dB bin of a level: the whole dBm at or above it.
int binOf(int sixteenths) { return std::clamp((sixteenths + 15) >> 4, kLowestBin, kHighestBin); }

std::string number(double v, const char* format) {
    char text[40];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

template <typename T, typename F>
std::string arrayText(const std::vector<T>& items, F text) {
    std::string out = "{";
    for (const T& item : items) out += (out.size() > 1 ? "," : "") + text(item);
    return out + "}";
}

}  // namespace

// $1 site; per row: $2 hour (Unix seconds), $3 band, $4 Hz, $5 samples, $6 sum of mW, $7 min and
// $8 max dBm, $9 the first bin, $10 the bins.
const char* const kAddHourly = R"sql(
INSERT INTO zarn.hourly_figures (site, hour, band, hz, samples, sum_mw, min_dbm, max_dbm, low_bin, bins)
SELECT $1, 'epoch'::timestamp + x.hour * interval '1 second', x.band, x.hz, x.samples, x.sum_mw, x.min_dbm,
       x.max_dbm, x.low_bin, x.bins::integer[]
FROM unnest($2::bigint[], $3::smallint[], $4::integer[], $5::integer[], $6::float8[], $7::real[], $8::real[],
            $9::integer[], $10::text[]) AS x (hour, band, hz, samples, sum_mw, min_dbm, max_dbm, low_bin, bins)
)sql";

// The bins run over the whole range while figures are summed, and are cut to the levels taken when
// they go to the server.
void HourlyFigures::Figures::add(int sixteenths) {
    if (samples == 0) {
        minLevel = maxLevel = sixteenths;
        lowBin = kLowestBin;
        bins.assign(kHighestBin - kLowestBin + 1, 0);
    }
    minLevel = std::min(minLevel, sixteenths);
    maxLevel = std::max(maxLevel, sixteenths);
    ++samples;
    milliwatts += ::zarn::milliwatts(sixteenths);
    ++bins[static_cast<size_t>(binOf(sixteenths) - kLowestBin)];
}

void HourlyFigures::Figures::add(const Figures& other) {
    if (other.samples == 0) return;
    if (samples == 0) {
        *this = other;
        return;
    }
    minLevel = std::min(minLevel, other.minLevel);
    maxLevel = std::max(maxLevel, other.maxLevel);
    samples += other.samples;
    milliwatts += other.milliwatts;
    for (size_t i = 0; i < bins.size(); ++i) bins[i] += other.bins[i];
}

void HourlyFigures::add(const ArchiveRecord& r) {
    const long long hour = hourOf(r.seconds);
    const int scale = r.type == kModeBestServers ? 16 : 1;
    for (const ChannelValue& c : r.channels) {
        if (!c.hz || !c.band) continue;
        Figures& f = channels_[{hour, c.hz}];
        f.band = c.band;
        f.add(c.level * scale);
    }
    if (!r.sweep) return;
    const SweepValues& s = *r.sweep;
    // Sweeps come in long runs of one layout and hour: the last block first.
    auto block = std::find_if(sweeps_.rbegin(), sweeps_.rend(), [&](const SweepBlock& b) {
        return b.hour == hour && b.band == s.band && b.firstHz == s.firstHz && b.stepHz == s.stepHz &&
               b.points.size() == s.levels.size();
    });
    if (block == sweeps_.rend()) {
        sweeps_.push_back({hour, s.band, s.firstHz, s.stepHz, std::vector<Figures>(s.levels.size())});
        block = sweeps_.rbegin();
    }
    for (size_t i = 0; i < s.levels.size(); ++i)
        if (s.measured[i]) block->points[i].add(s.levels[i]);
}

std::map<std::pair<long long, uint32_t>, HourlyFigures::Figures> HourlyFigures::merged() const {
    auto all = channels_;
    for (const SweepBlock& b : sweeps_)
        for (size_t i = 0; i < b.points.size(); ++i) {
            if (!b.points[i].samples) continue;
            Figures& f = all[{b.hour, b.firstHz + static_cast<uint32_t>(i) * b.stepHz}];
            f.add(b.points[i]);
            f.band = b.band;
        }
    return all;
}

size_t HourlyFigures::rows() const { return merged().size(); }

std::vector<SqlValue> HourlyFigures::parameters(const std::string& site) const {
    std::vector<long long> hours;
    std::vector<std::string> bands, hz, samples, sums, mins, maxes, lows, bins;
    for (const auto& [key, f] : merged()) {
        hours.push_back(key.first);
        bands.push_back(std::to_string(f.band));
        hz.push_back(std::to_string(key.second));
        samples.push_back(std::to_string(f.samples));
        sums.push_back(number(f.milliwatts, "%.17g"));
        mins.push_back(number(f.minLevel / 16.0, "%.9g"));
        maxes.push_back(number(f.maxLevel / 16.0, "%.9g"));
        const auto first = std::find_if(f.bins.begin(), f.bins.end(), [](uint32_t n) { return n > 0; });
        const auto last = std::find_if(f.bins.rbegin(), f.bins.rend(), [](uint32_t n) { return n > 0; }).base();
        lows.push_back(std::to_string(f.lowBin + (first - f.bins.begin())));
        bins.push_back("\"" + arrayText(std::vector<uint32_t>(first, last), [](uint32_t n) { return std::to_string(n); }) +
                       "\"");
    }
    const auto same = [](const std::string& s) { return s; };
    return {site,
            arrayText(hours, [](long long h) { return std::to_string(h); }),
            arrayText(bands, same),
            arrayText(hz, same),
            arrayText(samples, same),
            arrayText(sums, same),
            arrayText(mins, same),
            arrayText(maxes, same),
            arrayText(lows, same),
            arrayText(bins, same)};
}

void HourlyFigures::clear() {
    channels_.clear();
    sweeps_.clear();
}

}  // namespace zarn
