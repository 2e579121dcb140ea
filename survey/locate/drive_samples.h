#pragma once
// The placed readings of one frequency that a transmitter is located from,
// taken a reading at a time into square cells of the ground, so that a day of
// readings costs two bytes a reading and a little per cell driven.
//
// - Places go onto a local plane: metres east and north of the first reading
//   (equirectangular, within 0.5 % over 50 km).
// - A cell stands for one stretch of road: a car standing at a light, or a
//   street driven twice, gives one cell, not many. Its place is the mean of its
//   readings' places, its level their median.
// - The metres driven: between consecutive readings of one drive no more than
//   kLongestGap apart, as TrackDistance counts them.

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "survey/level_histogram.h"
#include "survey/track_join.h"

namespace zarn {

class LocalPlane {
public:
    LocalPlane() = default;
    explicit LocalPlane(const Place& origin);
    const Place& origin() const { return origin_; }
    // Metres east and north of the origin; the place at those metres.
    std::pair<double, double> metres(const Place& p) const;
    Place place(double east, double north) const;

private:
    Place origin_;
    double eastPerDegree_ = 0, northPerDegree_ = 0;
};

// A cell of the road as the fit sees it.
struct RoadCell {
    double east = 0, north = 0;  // the mean place of its readings
    double dbm = 0;              // their median
    double milliwatts = 0;       // their mean power
    uint32_t readings = 0;
};

class DriveSamples {
public:
    static constexpr double kCellMetres = 25;  // half the shadowing's usual correlation length

    // `drive`: which log or survey the reading comes from; `time`: seconds on its clock.
    void add(const Place& place, double dbm, double time, int drive);

    size_t samples() const { return samples_; }
    double metres() const { return metres_; }
    const LocalPlane& plane() const { return plane_; }
    const LevelHistogram& levels() const { return levels_; }

    // The cells of `size` metres (a multiple of kCellMetres by a power of two),
    // in no particular order.
    std::vector<RoadCell> cells(double size) const;
    // The smallest such size that gives at most `most` cells.
    double cellSizeFor(size_t most) const;

private:
    struct Cell {
        double east = 0, north = 0;
        std::vector<int16_t> sixteenths;
    };
    static uint64_t key(long long column, long long row);

    LocalPlane plane_;
    std::unordered_map<uint64_t, Cell> cells_;
    LevelHistogram levels_;
    size_t samples_ = 0;
    double metres_ = 0;
    bool any_ = false;
    int lastDrive_ = 0;
    double lastTime_ = 0;
    Place last_;
};

}  // namespace zarn
