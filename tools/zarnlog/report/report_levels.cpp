#include "tools/zarnlog/report/report_levels.h"

#include <algorithm>

#include "tools/zarnlog/report/report_occupancy.h"
#include "tools/zarnlog/report/report_samples.h"

namespace zarn::report {
namespace {

class Levels {
public:
    Levels(ReportData& data, size_t log, const TrackJoin* track)
        : data_(data),
          log_(log),
          track_(track),
          plans_(data.logs[log].header.pcsRaster),
          occupancy_(data, data.logs[log].header.pcsRaster) {}

    void take(const LogRecord& r) {
        if (!data_.options.window.contains(r.time)) return;
        const std::optional<CellIndex> cell = placeOf(r);
        const int column = data_.axis.columnOf(log_, stampSeconds(r.time));
        size_t unknown = 0;
        const SampleSource source = channelSamples(plans_, r, samples_, unknown);
        if (source == SampleSource::Single || source == SampleSource::Table)
            for (const ChannelSample& s : samples_) channel(s, column, cell);
        if ((source == SampleSource::Table || source == SampleSource::Servers) && cell) dominance(*cell);
        if (r.type == kModeSpectrum) {
            sweep(r);
            occupancy_.take(r);
        }
    }

    void finish() { occupancy_.finish(); }

private:
    // Records of one second share their place: one projection a second, however many records.
    // The cell, and the place in place_.
    std::optional<CellIndex> placeOf(const LogRecord& r) {
        if (cached_ && r.time == cachedTime_) return cell_;
        cached_ = true;
        cachedTime_ = r.time;
        if (track_) time_ = track_->timeOf(r.time);
        cell_.reset();
        place_.reset();
        if (Place p; track_ && track_->place(r.time, p) == Placing::Placed) {
            place_ = p;
            if (data_.grid) cell_ = data_.grid->grid.cellOf({p.lat, p.lon});
        }
        return cell_;
    }

    void channel(const ChannelSample& s, int column, const std::optional<CellIndex>& cell) {
        const ChannelKey key{static_cast<uint8_t>(s.band), s.hz};
        auto [it, added] = data_.channels.try_emplace(key);
        ChannelLevels& c = it->second;
        if (added) {
            c.key = key;
            c.channel = s.channel;
            c.perLog.resize(data_.logs.size());
            c.columns.resize(static_cast<size_t>(data_.axis.columns()));
        }
        c.perLog[log_].add(s.sixteenths);
        c.columns[static_cast<size_t>(column)].add(s.dbm());
        if (cell) c.cells[*cell].add(s.dbm());
        if (place_) c.placed.add(*place_, s.dbm(), time_, static_cast<int>(log_));
    }

    void dominance(const CellIndex& cell) {
        bool counted[kBands] = {false, false};
        for (const ChannelSample& s : samples_) {
            DominanceCell& d = data_.dominance[s.band][cell];
            d.records += !counted[s.band];
            counted[s.band] = true;
            d.channels[s.hz].add(s.dbm());
        }
    }

    void sweep(const LogRecord& r) {
        Sweep sweep;
        if (!decodeSweep(plans_, r, sweep)) return;
        SpectrumLog& log = data_.logs[log_].spectrum[sweep.band];
        ++log.sweeps;
        for (const SweepPoint& p : sweep.points) {
            if (!p.measured()) continue;
            data_.spectrum[sweep.band][p.hz].add(p.level);
            log.lowHz = log.lowHz ? std::min(log.lowHz, p.hz) : p.hz;
            log.highHz = std::max(log.highHz, p.hz);
            if (!log.peakDbm || dbmOfLevel(p.level) > *log.peakDbm) {
                log.peakDbm = dbmOfLevel(p.level);
                log.peakHz = p.hz;
            }
        }
    }

    ReportData& data_;
    size_t log_;
    const TrackJoin* track_;
    LogPlans plans_;
    std::vector<ChannelSample> samples_;
    bool cached_ = false;
    LocalTime cachedTime_{};
    std::optional<CellIndex> cell_;
    std::optional<Place> place_;
    double time_ = 0;  // of the record, on the track's clock
    OccupancyTaker occupancy_;
};

}  // namespace

bool readLevels(const ReportLog& log, size_t index, ReportData& data, std::string& error) {
    LogReader reader;
    LogHeader header;
    if (!reader.open(log.path) || !reader.readHeader(header)) return error = reader.problem(), false;
    Levels levels(data, index, log.track ? &*log.track : nullptr);
    if (!forEachRecord(reader, [&](const LogRecord& r) { return levels.take(r), true; }))
        return error = "read error: " + reader.readError(), false;
    levels.finish();
    return true;
}

void sumChannels(ReportData& data) {
    for (auto& [key, c] : data.channels)
        for (const LevelHistogram& log : c.perLog) c.whole.add(log);
}

void locateSources(ReportData& data) {
    for (const auto& [key, c] : data.channels) {
        if (c.placed.samples() < kFewestLocateReadings) continue;
        SourceEstimate& s = data.sources[key];
        TransmitterEstimate e;
        if (locateTransmitter(c.placed, LocateMethod::Fit, e, s.why)) s.estimate = std::move(e);
    }
}

}  // namespace zarn::report
