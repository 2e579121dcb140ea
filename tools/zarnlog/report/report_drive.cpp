#include "tools/zarnlog/report/report_drive.h"

#include <algorithm>
#include <cmath>

#include "survey/track_distance.h"

namespace zarn::report {
namespace {

struct Block {
    long long from = 0, to = 0;  // stamp seconds [from, to)
    uint32_t samples = 0;
};

class SamplingCheck {
public:
    SamplingCheck(const LogOverview& log, const TrackDistance& distance, DriveCheck& check)
        : log_(log), distance_(distance), check_(check) {}

    void judge(const Block& b) {
        // The way of a block at the receiver's speed: a fix that reached the device late
        // would put two seconds of driving into one of its seconds.
        const double from = log_.track->timeOf(b.from), to = log_.track->timeOf(b.to);
        const std::optional<double> speed = distance_.speed(from, to);
        if (!speed || *speed < kStandingSpeed) {
            open_ = false;
            return;
        }
        const double metres = *speed * (to - from);
        check_.judgedMetres += metres;
        check_.judgedSamples += b.samples;
        if (b.samples * check_.fortyWavelengths / metres >= kLeastSamplesPerFortyWavelengths) {
            open_ = false;
            return;
        }
        check_.flaggedMetres += metres;
        if (!open_) check_.stretches.push_back({b.from, b.from, 0, 0, 0});
        open_ = true;
        Undersampled& s = check_.stretches.back();
        s.to = b.to;
        s.metres += metres;
        s.samples += b.samples;
        s.perFortyWavelengths = static_cast<double>(s.samples) * check_.fortyWavelengths / s.metres;
    }

private:
    const LogOverview& log_;
    const TrackDistance& distance_;
    DriveCheck& check_;
    bool open_ = false;
};

DriveCheck checkBand(const LogOverview& log, const TrackDistance& distance, int band) {
    DriveCheck check;
    check.band = band;
    check.hz = log.highestHz[band];
    check.fortyWavelengths = fortyWavelengths(check.hz);
    SamplingCheck judge(log, distance, check);
    std::optional<long long> end;
    for (const auto& [second, samples] : log.samplesPerSecond[band]) {
        if (end && second > *end) judge.judge({*end, second, 0});
        judge.judge({second, second + 1, samples});
        end = second + 1;
    }
    return check;
}

// The places along the track from moment `from` to `to`, no further apart than `step` metres.
std::vector<Place> wayBetween(const Track& track, double from, double to, double step) {
    std::vector<Place> way;
    const auto& points = track.points;
    auto at = std::lower_bound(points.begin(), points.end(), from,
                               [](const TrackPoint& p, double t) { return p.time < t; });
    if (at == points.end()) return way;
    if (at != points.begin() && at->time > from) way.push_back(placeBetween(*(at - 1), *at, from));
    for (; at != points.end() && at->time <= to; ++at) way.push_back({at->lat, at->lon});
    if (at != points.end() && at != points.begin()) way.push_back(placeBetween(*(at - 1), *at, to));
    std::vector<Place> fine;
    for (size_t i = 0; i < way.size(); ++i) {
        if (i > 0) {
            const int steps = static_cast<int>(std::ceil(metresBetween(way[i - 1], way[i]) / step));
            for (int k = 1; k < steps; ++k) {
                const double f = static_cast<double>(k) / steps;
                fine.push_back({way[i - 1].lat + f * (way[i].lat - way[i - 1].lat),
                                way[i - 1].lon + f * (way[i].lon - way[i - 1].lon)});
            }
        }
        fine.push_back(way[i]);
    }
    return fine;
}

}  // namespace

double fortyWavelengths(uint32_t hz) { return hz ? 40 * kSpeedOfLight / hz : 0; }

void checkDrive(LogOverview& log) {
    if (!log.track || !log.records) return;
    const TrackDistance distance(log.track->track());
    log.metres = distance.along(log.track->timeOf(log.last + 1)) - distance.along(log.track->timeOf(log.first));
    for (int band = 0; band < kBands; ++band)
        if (!log.samplesPerSecond[band].empty()) log.checks.push_back(checkBand(log, distance, band));
}

void markUndersampledCells(const LogOverview& log, const GridFrame& grid, std::array<CellSet, kBands>& cells) {
    if (!log.track) return;
    for (const DriveCheck& check : log.checks)
        for (const Undersampled& s : check.stretches)
            for (const Place& p : wayBetween(log.track->track(), log.track->timeOf(s.from), log.track->timeOf(s.to),
                                             grid.grid.size() / 2))
                if (const auto cell = grid.grid.cellOf({p.lat, p.lon})) cells[check.band].insert(*cell);
}

std::vector<std::optional<double>> speedOverTime(const std::vector<LogOverview>& logs, const TimeAxis& axis) {
    std::vector<std::optional<double>> speeds(static_cast<size_t>(axis.columns()));
    std::vector<std::optional<TrackDistance>> distances(logs.size());
    for (size_t i = 0; i < logs.size(); ++i)
        if (logs[i].track) distances[i].emplace(logs[i].track->track());
    for (int c = 0; c < axis.columns(); ++c) {
        const auto [log, start] = axis.stampAt(static_cast<double>(c) / axis.columns());
        const auto [endLog, end] = axis.stampAt(static_cast<double>(c + 1) / axis.columns());
        if (!distances[log] || end <= start) continue;
        const TrackJoin& join = *logs[log].track;
        const double whole = std::floor(start);
        const double from = join.timeOf(static_cast<long long>(whole)) + (start - whole);
        const double to = from + (endLog == log ? end - start : 1.0);
        if (const std::optional<double> speed = distances[log]->speed(from, to))
            speeds[static_cast<size_t>(c)] = *speed * 3.6;
    }
    return speeds;
}

}  // namespace zarn::report
