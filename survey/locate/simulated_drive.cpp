#include "survey/locate/simulated_drive.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

#include "recording/synthetic_log.h"
#include "survey/locate/drive_samples.h"
#include "survey/synthetic_track.h"

namespace zarn {
namespace {

constexpr double kSampleMetres = 5;  // of the shadowing along a street
constexpr double kHeight = 25;       // of the transmitter above the road, metres
constexpr double kLeastSpeed = 7, kMostSpeed = 14;
constexpr double kStopChance = 0.25, kLongestStop = 30;
constexpr int kEast = 0, kWest = 2;  // and 1 north, 3 south
constexpr int kStepI[] = {1, 0, -1, 0}, kStepJ[] = {0, 1, 0, -1};

struct Node {
    long long i = 0, j = 0;
    uint64_t key() const { return static_cast<uint64_t>(static_cast<uint32_t>(i)) << 32 | static_cast<uint32_t>(j); }
    Node to(int direction) const { return {i + kStepI[direction], j + kStepJ[direction]}; }
};

// One transmitter's shadowing on the streets: a value at each crossing, and along each
// street between two crossings an Ornstein-Uhlenbeck bridge from one to the other.
class Shadowing {
public:
    Shadowing(double sigma, double metres, double block, uint64_t seed)
        : sigma_(sigma), metres_(metres), block_(block), random_(seed) {}

    // At `fromA` metres along the street from a to b.
    double at(const Node& a, const Node& b, double fromA) {
        const bool forward = a.key() < b.key();
        const std::vector<double>& samples = forward ? street(a, b) : street(b, a);
        const double along = std::clamp(forward ? fromA : block_ - fromA, 0.0, block_) / kSampleMetres;
        const size_t k = std::min(static_cast<size_t>(along), samples.size() - 2);
        const double f = along - static_cast<double>(k);
        return samples[k] * (1 - f) + samples[k + 1] * f;
    }

private:
    double crossing(const Node& n) {
        const auto found = crossings_.find(n.key());
        if (found != crossings_.end()) return found->second;
        return crossings_[n.key()] = sigma_ * normal_(random_);
    }

    const std::vector<double>& street(const Node& low, const Node& high) {
        const auto key = std::make_pair(low.key(), high.key());
        const auto found = streets_.find(key);
        if (found != streets_.end()) return found->second;
        const double start = crossing(low), end = crossing(high);
        const auto count = static_cast<size_t>(std::ceil(block_ / kSampleMetres)) + 1;
        const double rho = std::exp(-kSampleMetres / metres_), length = static_cast<double>(count - 1) * kSampleMetres;
        std::vector<double> x(count);
        x[0] = start;
        for (size_t k = 1; k < count; ++k) x[k] = rho * x[k - 1] + std::sqrt(1 - rho * rho) * sigma_ * normal_(random_);
        // Conditioned on the far crossing's value: the bridge.
        const double spread = 1 - std::exp(-2 * length / metres_);
        const double miss = end - x.back();
        for (size_t k = 0; k < count; ++k) {
            const double s = static_cast<double>(k) * kSampleMetres;
            x[k] += (std::exp(-(length - s) / metres_) - std::exp(-(length + s) / metres_)) / spread * miss;
        }
        return streets_[key] = std::move(x);
    }

    double sigma_, metres_, block_;
    std::mt19937_64 random_;
    std::normal_distribution<double> normal_;
    std::map<uint64_t, double> crossings_;
    std::map<std::pair<uint64_t, uint64_t>, std::vector<double>> streets_;
};

}  // namespace

SimulatedDrive simulateDrive(const DriveScene& scene) {
    std::mt19937_64 random(scene.seed);
    std::uniform_real_distribution<double> unit(0, 1);
    std::normal_distribution<double> normal;
    const double block = scene.blockMetres;
    const double offsetEast = unit(random) * block, offsetNorth = unit(random) * block;
    const SimulatedTransmitter& first = scene.transmitters.front();
    const auto east = [&](const Node& n) { return offsetEast + static_cast<double>(n.i) * block; };
    const auto north = [&](const Node& n) { return offsetNorth + static_cast<double>(n.j) * block; };
    const bool passing = scene.route == DriveScene::Route::PassingBy;
    const auto allowed = [&](const Node& n) {
        if (!passing) return std::hypot(east(n) - scene.aroundEast, north(n) - scene.aroundNorth) <= scene.aroundMetres;
        const double above = north(n) - first.north;
        return above >= scene.passMetres && above <= scene.passMetres + 2 * block;
    };

    Node at;
    if (passing) {
        at.i = std::lround((first.east - 0.3 * scene.kilometres * 1000 - offsetEast) / block);
        at.j = static_cast<long long>(std::ceil((first.north + scene.passMetres - offsetNorth) / block));
    } else {
        do {
            at.i = std::lround((scene.aroundEast + (unit(random) - 0.5) * scene.aroundMetres - offsetEast) / block);
            at.j = std::lround((scene.aroundNorth + (unit(random) - 0.5) * scene.aroundMetres - offsetNorth) / block);
        } while (!allowed(at));
    }

    std::vector<Shadowing> shadowing;
    for (size_t k = 0; k < scene.transmitters.size(); ++k)
        shadowing.emplace_back(scene.shadowingDb, scene.correlationMetres, block, scene.seed * 1000003 + k + 1);
    SimulatedDrive drive;
    const LocalPlane plane(scene.origin);
    for (const SimulatedTransmitter& t : scene.transmitters) drive.transmitters.push_back(plane.place(t.east, t.north));
    const auto read = [&](const Node& a, const Node& b, double fromA) {
        const double e = east(a) + (east(b) - east(a)) * fromA / block, n = north(a) + (north(b) - north(a)) * fromA / block;
        double milliwatts = std::pow(10.0, scene.floorDbm / 10);
        for (size_t k = 0; k < scene.transmitters.size(); ++k) {
            const SimulatedTransmitter& t = scene.transmitters[k];
            const double d = std::sqrt((e - t.east) * (e - t.east) + (n - t.north) * (n - t.north) + kHeight * kHeight);
            milliwatts += std::pow(10.0, (t.p0 - 10 * t.n * std::log10(d) + shadowing[k].at(a, b, fromA)) / 10);
        }
        drive.readings.push_back({plane.place(e, n), 10 * std::log10(milliwatts) + scene.noiseDb * normal(random)});
    };

    int heading = passing ? kEast : static_cast<int>(unit(random) * 4) % 4;
    double carry = 0;
    for (double metres = 0; metres < scene.kilometres * 1000; metres += block) {
        // Straight on twice as likely as a turn; eastwards three times when passing by.
        std::vector<std::pair<int, double>> ways;
        for (const int turn : {0, 1, 3}) {
            const int way = (heading + turn) % 4;
            if (!allowed(at.to(way)) || (passing && way == kWest)) continue;
            ways.push_back({way, passing && way == kEast ? 3.0 : turn == 0 ? 2.0 : 1.0});
        }
        if (ways.empty()) ways.push_back({(heading + 2) % 4, 1.0});
        double total = 0;
        for (const auto& w : ways) total += w.second;
        double pick = unit(random) * total;
        int way = ways.back().first;
        for (const auto& w : ways)
            if ((pick -= w.second) < 0) {
                way = w.first;
                break;
            }
        const Node next = at.to(way);
        if (unit(random) < kStopChance)
            for (int s = static_cast<int>(unit(random) * kLongestStop); s > 0; --s) read(at, next, 0);
        const double speed = kLeastSpeed + unit(random) * (kMostSpeed - kLeastSpeed);
        double along = carry;
        for (; along < block; along += speed) read(at, next, along);
        carry = along - block;
        at = next;
        heading = way;
    }
    return drive;
}

bool writeDriveLog(const SimulatedDrive& drive, const std::string& logPath, const std::string& trackPath) {
    SyntheticLog log(logPath);
    for (const SimulatedReading& r : drive.readings)
        log.singleChannel(384, static_cast<int16_t>(std::clamp(std::lround(r.dbm * 16), -32000L, 32000L)), 3250, -1900);
    const bool logged = log.ok();
    log.close();
    const auto count = static_cast<long long>(drive.readings.size());
    return logged && writeSyntheticTrack(trackPath, 0, count, 1, [&](long long s) -> std::optional<Place> {
               return drive.readings[static_cast<size_t>(s)].place;
           });
}

}  // namespace zarn
