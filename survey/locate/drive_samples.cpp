#include "survey/locate/drive_samples.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "survey/level_statistics.h"
#include "survey/track_distance.h"

namespace zarn {
namespace {

constexpr double kRadian = M_PI / 180.0;

double wrapped(double degrees) {
    if (degrees > 180) return degrees - 360;
    if (degrees < -180) return degrees + 360;
    return degrees;
}

}  // namespace

LocalPlane::LocalPlane(const Place& origin)
    : origin_(origin),
      eastPerDegree_(kEarthRadiusMetres * kRadian * std::cos(origin.lat * kRadian)),
      northPerDegree_(kEarthRadiusMetres * kRadian) {}

std::pair<double, double> LocalPlane::metres(const Place& p) const {
    return {wrapped(p.lon - origin_.lon) * eastPerDegree_, (p.lat - origin_.lat) * northPerDegree_};
}

Place LocalPlane::place(double east, double north) const {
    return {origin_.lat + north / northPerDegree_, wrapped(origin_.lon + east / eastPerDegree_)};
}

uint64_t DriveSamples::key(long long column, long long row) {
    return static_cast<uint64_t>(static_cast<uint32_t>(column)) << 32 | static_cast<uint32_t>(row);
}

void DriveSamples::add(const Place& place, double dbm, double time, int drive) {
    if (!any_) plane_ = LocalPlane(place);
    if (any_ && drive == lastDrive_ && time > lastTime_ && time - lastTime_ <= kLongestGap)
        metres_ += metresBetween(last_, place);
    any_ = true;
    lastDrive_ = drive;
    lastTime_ = time;
    last_ = place;
    const auto [east, north] = plane_.metres(place);
    const auto sixteenths = static_cast<int16_t>(std::clamp(std::lround(dbm * 16), -32000L, 32000L));
    Cell& c = cells_[key(static_cast<long long>(std::floor(east / kCellMetres)),
                         static_cast<long long>(std::floor(north / kCellMetres)))];
    c.east += east;
    c.north += north;
    c.sixteenths.push_back(sixteenths);
    levels_.add(sixteenths);
    ++samples_;
}

namespace {

// A 25 m cell's column or row in cells `shift` times as large: floor division by 2^shift.
long long coarser(uint32_t index, int shift) { return static_cast<long long>(static_cast<int32_t>(index)) >> shift; }

int shiftFor(double size) {
    return std::max(0, static_cast<int>(std::lround(std::log2(size / DriveSamples::kCellMetres))));
}

}  // namespace

double DriveSamples::cellSizeFor(size_t most) const {
    for (int shift = 0;; ++shift) {
        std::unordered_set<uint64_t> merged;
        for (const auto& [k, c] : cells_) merged.insert(key(coarser(k >> 32, shift), coarser(k & 0xFFFFFFFF, shift)));
        if (merged.size() <= most || shift > 12) return kCellMetres * std::ldexp(1.0, shift);
    }
}

std::vector<RoadCell> DriveSamples::cells(double size) const {
    const int shift = shiftFor(size);
    std::unordered_map<uint64_t, std::vector<const Cell*>> merged;
    for (const auto& [k, c] : cells_)
        merged[key(coarser(k >> 32, shift), coarser(k & 0xFFFFFFFF, shift))].push_back(&c);
    std::vector<RoadCell> out;
    out.reserve(merged.size());
    std::vector<int16_t> levels;
    for (const auto& [k, parts] : merged) {
        RoadCell cell;
        levels.clear();
        double milliwatts = 0;
        for (const Cell* c : parts) {
            cell.east += c->east;
            cell.north += c->north;
            levels.insert(levels.end(), c->sixteenths.begin(), c->sixteenths.end());
        }
        for (const int16_t s : levels) milliwatts += std::pow(10.0, s / 160.0);
        cell.readings = static_cast<uint32_t>(levels.size());
        cell.east /= cell.readings;
        cell.north /= cell.readings;
        cell.milliwatts = milliwatts / cell.readings;
        const auto median = levels.begin() + static_cast<long>(nearestRank(0.5, levels.size()) - 1);
        std::nth_element(levels.begin(), median, levels.end());
        cell.dbm = *median / 16.0;
        out.push_back(cell);
    }
    return out;
}

}  // namespace zarn
