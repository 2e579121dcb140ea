#pragma once
// What `zarnlog report` finds in its logs, read once for the overview
// (report_overview.h) and once more for the levels (report_levels.h), then
// judged for the drive's sampling (report_drive.h); the sections of the page
// are written from it.
//
// Channels are told apart by band and frequency, not by number: a PCS number
// means another frequency under another raster, and every log is read with
// its own. Stamps are the device's clock (stampSeconds).

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "recording/log_reader.h"
#include "survey/grid_cell.h"
#include "survey/level_histogram.h"
#include "survey/level_statistics.h"
#include "survey/locate/transmitter_estimate.h"
#include "survey/track_join.h"
#include "tools/zarnlog/report/report_options.h"

namespace zarn::report {

constexpr int kBands = 2;  // 0: 800 MHz cellular, 1: 1900 MHz PCS

struct ChannelKey {
    uint8_t band = 0;
    uint32_t hz = 0;
    auto operator<=>(const ChannelKey&) const = default;
};

struct CellOrder {
    bool operator()(const CellIndex& a, const CellIndex& b) const {
        return std::tie(a.row, a.column) < std::tie(b.row, b.column);
    }
};
template <typename T>
using CellMap = std::map<CellIndex, T, CellOrder>;
using CellSet = std::set<CellIndex, CellOrder>;

// One log as the command line names it, with the track it is joined to.
struct ReportLog {
    std::string path;
    std::optional<TrackJoin> track;
    std::string trackName;   // the track's file name
    std::string noTrackWhy;  // without a track: why
};

struct Note {
    long long stamp = 0;
    std::string text;  // UTF-8
};

struct Damage {
    size_t offset = 0, length = 0;
    std::string problem;
    std::optional<long long> after;  // the stamp of the intact record before it
};

// A stretch of the log's records without a fix: not placed (outside the track
// or in a gap of more than 10 s), or placed across a fix lost for a few seconds.
struct NoFix {
    long long from = 0, to = 0;  // stamps of its first and last record
    size_t records = 0;
    bool interpolated = false;
};

// A stretch sampled below 36 samples per 40 wavelengths, seconds [from, to).
struct Undersampled {
    long long from = 0, to = 0;
    double metres = 0;
    size_t samples = 0;
    double perFortyWavelengths = 0;
};

// The sampling of one band along one log's drive.
struct DriveCheck {
    int band = 0;
    uint32_t hz = 0;                 // the highest frequency measured in the band: the shortest wavelength
    double fortyWavelengths = 0;     // metres
    double judgedMetres = 0, flaggedMetres = 0;
    size_t judgedSamples = 0;
    std::vector<Undersampled> stretches;
};

// A sweep point's occupancy over the logs: its periods summed, its busiest
// period, and the busiest period each row of the picture covers.
struct OccupancyPlace {
    uint64_t samples = 0, above = 0;
    double busiest = -1;
    long long busiestStart = 0;
    std::vector<float> rows;  // -1 where no period has a sample
};

// The sweeps' occupancy per band, periods counted from the first period of the
// logs' span. Only the periods within a log's span have rows: logs hours apart
// make stretches of periods, one after another, with the time between them
// left out. The stretches' periods are folded into at most kMostRows rows.
struct SweepOccupancy {
    static constexpr int kMostRows = 96;  // a day of 15-minute periods, a row each
    struct Stretch {
        long long first = 0, periods = 0;  // from firstPeriod
    };
    long long firstPeriod = 0, periods = 0;
    std::vector<Stretch> stretches;
    long long shown = 0;  // the stretches' periods
    int rows = 0;
    // The row of a period; none for one between the stretches.
    std::optional<int> rowOf(long long period) const;
    // The first row of the n-th period shown.
    int rowOfShown(long long n) const;
    std::array<std::map<uint32_t, OccupancyPlace>, kBands> places;  // by Hz
    std::array<std::optional<std::pair<double, double>>, kBands> thresholds;  // lowest and highest, dBm
};

struct SpectrumLog {
    size_t sweeps = 0;
    uint32_t lowHz = 0, highHz = 0;
    std::optional<double> peakDbm;
    uint32_t peakHz = 0;
};

// The box around the places of records.
struct Extent {
    double south = INFINITY, north = -INFINITY, west = INFINITY, east = -INFINITY;
    void take(const Place& p);
    void take(const Extent& e);
    bool empty() const { return !(north >= south); }
    LatLon centre() const { return {(south + north) / 2, (west + east) / 2}; }
};

struct LogOverview {
    std::string path, name;
    LogHeader header;
    std::set<std::string> firmware, serials;  // from recorded version and serial-number frames
    std::map<uint8_t, size_t> kinds;           // records by type
    size_t records = 0;
    long long first = 0, last = 0;
    std::vector<Note> notes;
    std::vector<Damage> damage;
    size_t damagedBytes = 0, recordsInFile = 0;
    size_t withoutFrequency = 0;  // values and sweeps whose frequency the log does not give

    const TrackJoin* track = nullptr;
    std::string trackName, noTrackWhy;
    PlacingCounts placing;
    Extent extent;
    std::vector<NoFix> noFix;
    double metres = 0;  // driven from the first record to the last

    // Per band: channel records by stamp second, and the highest frequency measured.
    std::array<std::map<long long, uint32_t>, kBands> samplesPerSecond;
    std::array<uint32_t, kBands> highestHz{};
    std::vector<DriveCheck> checks;
    std::array<SpectrumLog, kBands> spectrum;
};

// The logs one after another on one time axis, each as long as its span in
// whole seconds, cut into columns of whole seconds (records are stamped to the
// second) for charts over time; the axis runs to the end of its last column.
class TimeAxis {
public:
    TimeAxis() = default;
    TimeAxis(const std::vector<LogOverview>& logs, int mostColumns);
    int columns() const { return columns_; }
    int columnOf(size_t log, long long stamp) const;
    // Where on the axis (0..1) the log's part starts.
    double startOf(size_t log) const;
    // The log and the stamp at a place (0..1) on the axis.
    std::pair<size_t, double> stampAt(double x) const;
    // The axis' length: its columns' seconds.
    double seconds() const { return static_cast<double>(columns_) * static_cast<double>(perColumn_); }

private:
    struct Part {
        long long first = 0;
        long long offset = 0, length = 0;  // seconds
    };
    std::vector<Part> parts_;
    long long perColumn_ = 1;
    int columns_ = 1;
};

// A channel's levels, counted per level (a day at dozens of records a second
// stays a few kilobytes), summed per column of time and per grid cell.
struct ChannelLevels {
    ChannelKey key;
    uint32_t channel = 0;  // its number, as the first log that measured it reads it
    std::vector<LevelHistogram> perLog;
    LevelHistogram whole;
    std::vector<LevelSum> columns;  // over the time axis
    CellMap<LevelSum> cells;
    DriveSamples placed;  // its placed levels, to locate its transmitter from
};

// Where a channel's transmitter is (survey/locate/transmitter_estimate.h), for
// a channel with at least kFewestLocateReadings placed levels; or why not.
struct SourceEstimate {
    std::optional<TransmitterEstimate> estimate;
    std::string why;
};

// Best-server dominance of a band's cell: the levels of every channel a channel
// table or a best-servers record measured there.
struct DominanceCell {
    size_t records = 0;
    std::map<uint32_t, LevelSum> channels;  // by Hz
    // Channels whose mean is within 5 dB of the strongest mean.
    size_t withinFiveDb() const;
};

struct GridFrame {
    CellGrid grid;
    LatLon centre;
};

struct ReportData {
    ReportOptions options;
    std::vector<LogOverview> logs;
    TimeAxis axis;
    std::map<ChannelKey, ChannelLevels> channels;
    std::array<std::map<uint32_t, LevelHistogram>, kBands> spectrum;  // by Hz
    SweepOccupancy occupancy;
    std::array<CellMap<DominanceCell>, kBands> dominance;
    std::array<CellSet, kBands> undersampledCells;
    std::optional<GridFrame> grid;
    std::string noGridWhy;
    std::vector<std::optional<double>> speedColumns;  // km/h over the time axis
    std::map<ChannelKey, SourceEstimate> sources;

    bool anyPlaced() const;
};

}  // namespace zarn::report
