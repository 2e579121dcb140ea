#include "survey/occupancy.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "survey/band_name.h"
#include "survey/csv_rows.h"
#include "survey/json_writer.h"
#include "survey/level_statistics.h"
#include "survey/log_text.h"
#include "survey/log_time.h"

namespace zarn {
namespace {

constexpr double kLowestThreshold = -150, kHighestThreshold = 30, kMostAboveNoise = 100;
constexpr int kGrowth = 32;  // sixteenths added beyond a level that widens a place's counts

// A decimal number, all of the text; nullopt otherwise.
std::optional<double> decimal(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != 0 || !std::isfinite(value)) return std::nullopt;
    return value;
}

void fixed(std::string& out, double value, int decimals) {
    char text[48];
    const int n = std::snprintf(text, sizeof text, "%.*f", decimals, value);
    out.append(text, static_cast<size_t>(std::max(n, 0)));
}

// The milliwatts of every level in sixteenths of a dB, made once.
const std::vector<double>& milliwattsByLevel() {
    static const std::vector<double> table = [] {
        std::vector<double> t(65536);
        for (int level = INT16_MIN; level <= INT16_MAX; ++level)
            t[static_cast<size_t>(level - INT16_MIN)] = std::pow(10.0, dbmOfLevel(level) / 10.0);
        return t;
    }();
    return table;
}

double milliwatts(int level) {
    const int clamped = std::clamp(level, int{INT16_MIN}, int{INT16_MAX});
    return milliwattsByLevel()[static_cast<size_t>(clamped - INT16_MIN)];
}


}  // namespace

std::string OccupancyThreshold::text() const { return aboveNoise ? "noise+" + numberText(db) : numberText(db); }

bool parseOccupancyThreshold(const std::string& text, OccupancyThreshold& out, std::string& error) {
    const bool noise = text.rfind("noise+", 0) == 0;
    const std::optional<double> value = decimal(noise ? text.substr(6) : text);
    if (!value) {
        error = "'" + text + "' is not a level in dBm (-95) nor noise+DB (noise+10)";
        return false;
    }
    if (noise && !(*value >= 0 && *value <= kMostAboveNoise)) {
        error = "'" + text + "': the dB above the noise floor must be 0 to 100";
        return false;
    }
    if (!noise && !(*value >= kLowestThreshold && *value <= kHighestThreshold)) {
        error = "'" + text + "' dBm is outside -150..+30 dBm";
        return false;
    }
    out = {noise, *value};
    return true;
}

bool parsePeriod(const std::string& text, long long& seconds, std::string& error) {
    const char unit = text.empty() ? 0 : text.back();
    const long long scale = unit == 's' ? 1 : unit == 'm' ? 60 : unit == 'h' ? 3600 : 0;
    const std::string number = scale ? text.substr(0, text.size() - 1) : text;
    long long value = 0;
    const auto [end, problem] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || problem != std::errc() || end != number.data() + number.size()) {
        error = "'" + text + "' is not a period: a whole number with s, m or h (15m)";
        return false;
    }
    const long long total = value * (scale ? scale : 1);
    if (value <= 0 || value > kLongestPeriod || total > kLongestPeriod) {
        error = "'" + text + "': a period is 1 s to a day (24h)";
        return false;
    }
    seconds = total;
    return true;
}

std::string periodText(long long seconds) {
    if (seconds % 3600 == 0) return std::to_string(seconds / 3600) + "h";
    if (seconds % 60 == 0) return std::to_string(seconds / 60) + "m";
    return std::to_string(seconds) + "s";
}

const OccupancyRow* OccupancyPeriod::busiest() const {
    const OccupancyRow* best = nullptr;
    for (const OccupancyRow& r : rows)
        if (!best || r.above * best->samples > best->above * r.samples) best = &r;
    return best;
}

// Every place's levels in the period under way, counted by level.
class OccupancyCounter::Places {
public:
    void add(const MeasuredLevel& m, const RecordLevels& levels) {
        Place& p = places_[indexOf(m, levels)];
        if (p.counts.empty()) {
            p.lo = m.level - kGrowth;
            p.counts.assign(2 * kGrowth + 1, 0);
        } else if (m.level < p.lo) {
            const int more = p.lo - m.level + kGrowth;
            p.counts.insert(p.counts.begin(), static_cast<size_t>(more), 0);
            p.lo -= more;
        } else if (m.level - p.lo >= static_cast<int>(p.counts.size())) {
            p.counts.resize(static_cast<size_t>(m.level - p.lo + kGrowth + 1), 0);
        }
        ++p.counts[static_cast<size_t>(m.level - p.lo)];
        ++p.samples;
        any_ = true;
    }

    bool any() const { return any_; }

    // The period's rows; the counts start again.
    void close(const OccupancyThreshold& threshold, OccupancyPeriod& period) {
        double thresholdDbm[2] = {threshold.db, threshold.db};
        if (threshold.aboveNoise)
            for (uint8_t band = 0; band < 2; ++band)
                if ((period.noiseFloor[band] = noiseFloor(band)))
                    thresholdDbm[band] = dbmOfLevel(*period.noiseFloor[band]) + threshold.db;
        std::vector<size_t> order;
        for (size_t i = 0; i < places_.size(); ++i)
            if (places_[i].samples) order.push_back(i);
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            const Place &pa = places_[a], &pb = places_[b];
            return pa.band != pb.band ? pa.band < pb.band : pa.hz < pb.hz;
        });
        for (size_t i : order) period.rows.push_back(rowOf(places_[i], thresholdDbm[places_[i].band]));
        for (Place& p : places_) {
            p.samples = 0;
            p.counts.clear();
        }
        any_ = false;
    }

private:
    struct Place {
        uint8_t band = 0;
        uint32_t channel = kUnknownChannel, hz = 0;
        uint64_t samples = 0;
        int lo = 0;                    // the level of counts[0]
        std::vector<uint32_t> counts;  // samples by level from lo up
    };

    size_t indexOf(const MeasuredLevel& m, const RecordLevels& levels) {
        int* bySweep = nullptr;
        if (m.sweepOffset >= 0) {
            std::vector<int>& offsets = sweepIndex_[m.band & 1];
            if (offsets.size() <= static_cast<size_t>(m.sweepOffset)) offsets.resize(m.sweepOffset + 1u, -1);
            bySweep = &offsets[static_cast<size_t>(m.sweepOffset)];
            if (*bySweep >= 0) return static_cast<size_t>(*bySweep);
        }
        const uint64_t key = (uint64_t{m.band} << 32) | m.hz;
        auto [at, added] = byFrequency_.try_emplace(key, places_.size());
        if (added) places_.push_back({m.band, levels.channelOf(m), m.hz, 0, 0, {}});
        if (bySweep) *bySweep = static_cast<int>(at->second);
        return at->second;
    }

    // The band's level at the floor's rank among all its samples; nullopt without samples.
    std::optional<int> noiseFloor(uint8_t band) const {
        int lo = INT32_MAX, hi = INT32_MIN;
        uint64_t total = 0;
        for (const Place& p : places_) {
            if (p.band != band || !p.samples) continue;
            lo = std::min(lo, p.lo);
            hi = std::max(hi, p.lo + static_cast<int>(p.counts.size()) - 1);
            total += p.samples;
        }
        if (!total) return std::nullopt;
        std::vector<uint64_t> byLevel(static_cast<size_t>(hi - lo + 1), 0);
        for (const Place& p : places_) {
            if (p.band != band || !p.samples) continue;
            for (size_t i = 0; i < p.counts.size(); ++i) byLevel[static_cast<size_t>(p.lo - lo) + i] += p.counts[i];
        }
        const uint64_t rank = nearestRank(kNoiseFloorFraction, total);
        uint64_t seen = 0;
        size_t i = 0;
        while ((seen += byLevel[i]) < rank) ++i;
        return lo + static_cast<int>(i);
    }

    static OccupancyRow rowOf(const Place& p, double thresholdDbm) {
        OccupancyRow row{p.band, p.channel, p.hz, p.samples, 0, 0, 0, thresholdDbm};
        // Above: a level of more sixteenths than the threshold's.
        const double cut = std::floor(thresholdDbm * 16.0) + 1;
        double sum = 0;
        for (size_t i = 0; i < p.counts.size(); ++i) {
            if (!p.counts[i]) continue;
            const int level = p.lo + static_cast<int>(i);
            sum += p.counts[i] * milliwatts(level);
            row.maxLevel = level;
            if (level >= cut) row.above += p.counts[i];
        }
        row.meanDbm = 10.0 * std::log10(sum / static_cast<double>(p.samples));
        return row;
    }

    std::vector<Place> places_;
    std::unordered_map<uint64_t, size_t> byFrequency_;
    std::vector<int> sweepIndex_[2];  // place of each band offset, -1 before its first sample
    bool any_ = false;
};

OccupancyCounter::OccupancyCounter(uint32_t pcsRaster, OccupancyThreshold threshold, long long periodSeconds)
    : levels_(pcsRaster), threshold_(threshold), periodSeconds_(periodSeconds), places_(std::make_unique<Places>()) {}

OccupancyCounter::~OccupancyCounter() = default;

bool OccupancyCounter::take(const LogRecord& r, OccupancyPeriod& ended) {
    const long long stamp = stampSeconds(r.time);
    const long long start = stamp - ((stamp % periodSeconds_) + periodSeconds_) % periodSeconds_;
    const bool ends = period_ && *period_ != start && finish(ended);
    period_ = start;
    levels_.forEach(r, [&](const MeasuredLevel& m) { places_->add(m, levels_); });
    return ends;
}

bool OccupancyCounter::finish(OccupancyPeriod& last) {
    if (!period_ || !places_->any()) return false;
    last = OccupancyPeriod{*period_, periodSeconds_, threshold_, {}, {}};
    places_->close(threshold_, last);
    return true;
}

std::string occupancyText(const OccupancyRow& row) {
    std::string text;
    fixed(text, row.occupancy(), 4);
    return text;
}

std::string occupancyCsvHeader() {
    return "period_start,band,channel,mhz,samples,above,occupancy,mean_dbm,max_dbm,threshold_dbm\n";
}

namespace {

// The texts of a row's fields, shared by its CSV row and its JSON.
struct RowTexts {
    std::string channel, mhz, occupancy, mean, max, threshold;
    explicit RowTexts(const OccupancyRow& r) {
        appendChannel(channel, r.channel);
        appendFrequency(mhz, r.hz);
        occupancy = occupancyText(r);
        fixed(mean, r.meanDbm, 2);
        appendDbm(max, static_cast<int16_t>(std::clamp(r.maxLevel, int{INT16_MIN}, int{INT16_MAX})));
        threshold = numberText(r.thresholdDbm);
    }
};

void rowJson(JsonWriter& j, const OccupancyRow& r) {
    const RowTexts t(r);
    const auto raw = [&](const char* name, const std::string& text) {
        if (text.empty()) j.key(name).null();
        else j.key(name).rawValue() += text;
    };
    j.beginObject().key("band").text(bandName(r.band));
    raw("channel", t.channel);
    raw("mhz", t.mhz);
    j.key("samples").number(static_cast<long long>(r.samples));
    j.key("above").number(static_cast<long long>(r.above));
    raw("occupancy", t.occupancy);
    raw("mean_dbm", t.mean);
    raw("max_dbm", t.max);
    raw("threshold_dbm", t.threshold);
    j.endObject();
}

}  // namespace

void appendOccupancyCsv(const OccupancyPeriod& period, std::string& out) {
    const std::string start = isoTime(stampTime(period.start));
    for (const OccupancyRow& r : period.rows) {
        const RowTexts t(r);
        out += start;
        out += ',';
        out += bandName(r.band);
        for (const std::string* field : {&t.channel, &t.mhz}) {
            out += ',';
            out += *field;
        }
        out += ',' + std::to_string(r.samples) + ',' + std::to_string(r.above);
        for (const std::string* field : {&t.occupancy, &t.mean, &t.max, &t.threshold}) {
            out += ',';
            out += *field;
        }
        out += '\n';
    }
}

void appendOccupancyJson(const OccupancyPeriod& period, std::string& out, bool rows) {
    JsonWriter j(out);
    j.beginObject();
    j.key("period_start").text(isoTime(stampTime(period.start)));
    j.key("period_s").number(period.seconds);
    j.key("threshold").text(period.threshold.text());
    j.key("noise_floor_dbm").beginObject();
    for (uint8_t band = 0; band < 2; ++band) {
        j.key(bandName(band));
        if (period.noiseFloor[band]) appendDbm(j.rawValue(), static_cast<int16_t>(*period.noiseFloor[band]));
        else j.null();
    }
    j.endObject();
    j.key("places").number(static_cast<long long>(period.rows.size()));
    j.key("busiest");
    if (const OccupancyRow* b = period.busiest()) rowJson(j, *b);
    else j.null();
    if (rows) {
        j.key("rows").beginArray();
        for (const OccupancyRow& r : period.rows) rowJson(j, r);
        j.endArray();
    }
    j.endObject();
}

}  // namespace zarn
