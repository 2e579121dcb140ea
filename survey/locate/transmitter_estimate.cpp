#include "survey/locate/transmitter_estimate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "survey/locate/residual_correlation.h"
#include "survey/track_distance.h"

namespace zarn {
namespace {

constexpr size_t kMostCells = 2500;   // a day's drive in cells of 50 to 100 m; the search stays within 2 s
constexpr double kLeastSpreadMetres = 50;
constexpr size_t kLeastMeasuredCells = 8;
// The floor's readings wander by a few dB: censored is what lies within this of the lowest 2 %.
constexpr double kFloorAboveLowest = 6;
constexpr double kChiSquareTwoAt95 = 5.991;
constexpr double kLeastMargin = 1500;
constexpr int kCoarseNodes = 24, kRegionNodes = 31;
constexpr double kFinestStep = 2;  // metres
constexpr int kPairNodes = 16;
constexpr double kPairFinestStep = 25;  // metres: a second transmitter is only told of
// Twice the log-likelihood that a second transmitter adds, over the inflation, beyond which
// there is one: well beyond what placing a second one anywhere in the box gains by chance.
constexpr double kTwoTransmitters = 30;
constexpr size_t kLeastOwned = 8;  // measured cells the second transmitter must explain
constexpr double kDegree = M_PI / 180;

struct Box {
    double west = 0, east = 0, south = 0, north = 0;
    double width() const { return east - west; }
    double height() const { return north - south; }
};

// Nodes over a box, `along` of them over its longer side, square steps.
struct Grid {
    double west = 0, south = 0, step = 1;
    int columns = 0, rows = 0;
    std::vector<double> logLikelihood;
    Grid(const Box& box, int along) {
        step = std::max({box.width(), box.height(), 1.0}) / (along - 1);
        columns = std::max(2, static_cast<int>(std::ceil(box.width() / step - 1e-9)) + 1);
        rows = std::max(2, static_cast<int>(std::ceil(box.height() / step - 1e-9)) + 1);
        west = (box.west + box.east) / 2 - (columns - 1) * step / 2;
        south = (box.south + box.north) / 2 - (rows - 1) * step / 2;
        logLikelihood.assign(static_cast<size_t>(columns * rows), -INFINITY);
    }
    double east(int c) const { return west + c * step; }
    double north(int r) const { return south + r * step; }
    double& at(int c, int r) { return logLikelihood[static_cast<size_t>(r * columns + c)]; }
};

// Row by row, every other one backwards, so that each fit starts next door.
template <typename At>
void over(Grid& g, At at) {
    for (int r = 0; r < g.rows; ++r)
        for (int k = 0; k < g.columns; ++k) {
            const int c = r % 2 ? g.columns - 1 - k : k;
            g.at(c, r) = at(g.east(c), g.north(r));
        }
}

// Steps halving around a place, down to `finest`: each time the best of 5 x 5 places a
// half step apart (`at` keeps the best it saw).
template <typename At>
void climb(At at, double east, double north, double step, double finest) {
    for (; step > finest; step /= 2) {
        double topEast = east, topNorth = north, top = -INFINITY;
        for (int r = -2; r <= 2; ++r)
            for (int c = -2; c <= 2; ++c) {
                const double e = east + c * step / 2, n = north + r * step / 2;
                const double ll = at(e, n);
                if (ll > top) top = ll, topEast = e, topNorth = n;
            }
        east = topEast;
        north = topNorth;
    }
}

// The profile of the likelihood over places, each fit started from the one before.
struct Profile {
    PathLossFit fit;
    PathLoss last;
    PathLoss best;
    double bestEast = 0, bestNorth = 0;

    Profile(const std::vector<RoadCell>& cells, double floor) : fit(cells, floor) { best.logLikelihood = -INFINITY; }

    double at(double east, double north) {
        PathLoss f = fit.at(east, north, last);
        if (!std::isfinite(f.logLikelihood)) f = fit.at(east, north, PathLoss{});
        last = f;
        if (f.logLikelihood > best.logLikelihood) {
            best = f;
            bestEast = east;
            bestNorth = north;
        }
        return f.logLikelihood;
    }
};

// The coarse grid's peaks, the highest first: nodes no lower than their eight neighbours.
std::vector<std::pair<int, int>> peaks(Grid& g, size_t most) {
    std::vector<std::pair<int, int>> out;
    for (int r = 0; r < g.rows; ++r)
        for (int c = 0; c < g.columns; ++c) {
            bool peak = std::isfinite(g.at(c, r));
            for (int dr = -1; dr <= 1 && peak; ++dr)
                for (int dc = -1; dc <= 1 && peak; ++dc) {
                    const int cc = c + dc, rr = r + dr;
                    if ((dc || dr) && cc >= 0 && rr >= 0 && cc < g.columns && rr < g.rows && g.at(cc, rr) > g.at(c, r))
                        peak = false;
                }
            if (peak) out.push_back({c, r});
        }
    std::sort(out.begin(), out.end(), [&](auto a, auto b) { return g.at(a.first, a.second) > g.at(b.first, b.second); });
    if (out.size() > most) out.resize(most);
    return out;
}

struct Ellipse {
    double east = 0, north = 0, major = 0, minor = 0, bearing = 0;
};

// The smallest ellipse of the nodes' own spread that holds every node, each a square of `step`.
Ellipse enclosing(const std::vector<std::pair<double, double>>& nodes, double step) {
    Ellipse e;
    for (const auto& [x, y] : nodes) e.east += x, e.north += y;
    e.east /= static_cast<double>(nodes.size());
    e.north /= static_cast<double>(nodes.size());
    double xx = step * step / 12, yy = xx, xy = 0;
    for (const auto& [x, y] : nodes) {
        const double dx = x - e.east, dy = y - e.north;
        xx += dx * dx / static_cast<double>(nodes.size());
        yy += dy * dy / static_cast<double>(nodes.size());
        xy += dx * dy / static_cast<double>(nodes.size());
    }
    const double det = xx * yy - xy * xy;
    double reach = 0;  // the largest Mahalanobis distance squared
    for (const auto& [x, y] : nodes) {
        const double dx = x - e.east, dy = y - e.north;
        reach = std::max(reach, (yy * dx * dx - 2 * xy * dx * dy + xx * dy * dy) / det);
    }
    const double mid = (xx + yy) / 2, half = std::sqrt((xx - yy) * (xx - yy) / 4 + xy * xy);
    const double pad = step / std::sqrt(2.0);
    e.major = std::sqrt((mid + half) * reach) + pad;
    e.minor = std::sqrt(std::max(0.0, mid - half) * reach) + pad;
    const double fromEast = 0.5 * std::atan2(2 * xy, xx - yy) / kDegree;
    e.bearing = std::fmod(90 - fromEast + 360, 180.0);
    return e;
}

// The region: nodes within the bound of the top, on grids over a window that grows until
// the region lies inside it, or shrinks until the nodes draw it in enough detail.
LocateRegion regionOf(Profile& profile, const Grid& coarse, const Box& searched, double bound, const LocalPlane& plane) {
    Box window{profile.bestEast - coarse.step, profile.bestEast + coarse.step, profile.bestNorth - coarse.step,
               profile.bestNorth + coarse.step};
    for (int r = 0; r < coarse.rows; ++r)
        for (int c = 0; c < coarse.columns; ++c) {
            if (coarse.logLikelihood[static_cast<size_t>(r * coarse.columns + c)] < profile.best.logLikelihood - bound) continue;
            window.west = std::min(window.west, coarse.east(c) - coarse.step);
            window.east = std::max(window.east, coarse.east(c) + coarse.step);
            window.south = std::min(window.south, coarse.north(r) - coarse.step);
            window.north = std::max(window.north, coarse.north(r) + coarse.step);
        }
    LocateRegion region;
    std::vector<std::pair<double, double>> inside;
    double step = 1;
    for (int tries = 0; tries < 10; ++tries) {
        Grid g(window, kRegionNodes);
        over(g, [&](double e, double n) { return profile.at(e, n); });
        const double least = profile.best.logLikelihood - bound;
        inside.clear();
        int west = g.columns, east = -1, south = g.rows, north = -1;
        for (int r = 0; r < g.rows; ++r)
            for (int c = 0; c < g.columns; ++c) {
                if (!(g.at(c, r) >= least)) continue;
                inside.push_back({g.east(c), g.north(r)});
                west = std::min(west, c), east = std::max(east, c), south = std::min(south, r), north = std::max(north, r);
            }
        step = g.step;
        if (inside.empty()) {
            inside.push_back({profile.bestEast, profile.bestNorth});
            window = {profile.bestEast - 2 * step, profile.bestEast + 2 * step, profile.bestNorth - 2 * step,
                      profile.bestNorth + 2 * step};
            continue;
        }
        const double grow = std::max(window.width(), window.height()) / 2;
        const bool atWest = g.east(0) <= searched.west, atEast = g.east(g.columns - 1) >= searched.east;
        const bool atSouth = g.north(0) <= searched.south, atNorth = g.north(g.rows - 1) >= searched.north;
        bool grown = false;
        if (west == 0 && !atWest) window.west = std::max(searched.west, g.east(0) - grow), grown = true;
        if (east == g.columns - 1 && !atEast) window.east = std::min(searched.east, g.east(east) + grow), grown = true;
        if (south == 0 && !atSouth) window.south = std::max(searched.south, g.north(0) - grow), grown = true;
        if (north == g.rows - 1 && !atNorth) window.north = std::min(searched.north, g.north(north) + grow), grown = true;
        region.open = (west == 0 && atWest) || (east == g.columns - 1 && atEast) || (south == 0 && atSouth) ||
                      (north == g.rows - 1 && atNorth);
        if (grown) continue;
        if (std::max(east - west, north - south) < 8 && step > kFinestStep) {
            window = {g.east(west) - 2 * step, g.east(east) + 2 * step, g.north(south) - 2 * step, g.north(north) + 2 * step};
            continue;
        }
        break;
    }
    const Ellipse e = enclosing(inside, step);
    region.centre = plane.place(e.east, e.north);
    region.major = e.major;
    region.minor = e.minor;
    region.bearing = e.bearing;
    return region;
}

// One search of the box: the profile's top, the correlation, the region.
struct Search {
    PathLoss model;
    double east = 0, north = 0;
    double correlationMetres = 0, inflation = 1;
    LocateRegion region;
};

Search searchBox(const std::vector<RoadCell>& cells, double floor, double cellMetres, const Box& searched,
                 const LocalPlane& plane) {
    Profile profile(cells, floor);
    const auto at = [&](double e, double n) { return profile.at(e, n); };
    Grid coarse(searched, kCoarseNodes);
    over(coarse, at);
    for (const auto& [c, r] : peaks(coarse, 3)) climb(at, coarse.east(c), coarse.north(r), coarse.step, kFinestStep);
    Search out;
    const PathLoss top = profile.best;
    const double east = profile.bestEast, north = profile.bestNorth;
    profile.fit.at(east, north, top);  // again, for its weights and distances there
    out.correlationMetres = correlationMetres(profile.fit, top, cellMetres);
    out.inflation = placeInflation(profile.fit, top, east, north, out.correlationMetres);
    out.region = regionOf(profile, coarse, searched, out.inflation * kChiSquareTwoAt95 / 2, plane);
    out.model = profile.best;
    out.east = profile.bestEast;
    out.north = profile.bestNorth;
    return out;
}

struct PairSearch {
    PathLossPair fit;
    std::array<double, 2> east{}, north{};
    std::vector<uint8_t> owners;
};

// The second transmitter that, with the first, explains the drive best: searched over the
// box with the first held where the single fit put it, then the first over the box with the
// second held (the single fit may lie between two), then the second again.
PairSearch searchPair(const std::vector<RoadCell>& cells, double floor, const Search& single, const Box& searched) {
    PairFit pair(cells, floor);
    PairSearch best;
    best.fit.logLikelihood = -INFINITY;
    std::array<double, 2> east{single.east, single.east}, north{single.north, single.north};
    // Each place starts even: each transmitter the cells nearer to it.
    const PathLossPair even{{single.model.p0, single.model.p0}, single.model.n, single.model.sigma, 0};
    int moving = 1;
    const auto at = [&](double e, double n) {
        std::array<double, 2> es = east, ns = north;
        es[moving] = e, ns[moving] = n;
        const PathLossPair f = pair.at(es, ns, even);
        if (!f.valid()) return -HUGE_VAL;
        if (f.logLikelihood > best.fit.logLikelihood) {
            best = {f, es, ns, pair.owners()};
        }
        return f.logLikelihood;
    };
    const auto settle = [&] { east = best.east, north = best.north; };
    Grid coarse(searched, kPairNodes);
    over(coarse, at);
    settle();
    climb(at, east[1], north[1], coarse.step, kPairFinestStep);
    settle();
    moving = 0;
    over(coarse, at);
    settle();
    climb(at, east[0], north[0], coarse.step, kPairFinestStep);
    settle();
    moving = 1;
    climb(at, east[1], north[1], coarse.step / 2, kPairFinestStep);
    return best;
}

std::string fixedText(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string dbmText(double dbm) { return fixedText(dbm, 1) + " dBm"; }

}  // namespace

bool LocateRegion::holds(const Place& p) const {
    const auto [east, north] = LocalPlane(centre).metres(p);
    const double s = std::sin(bearing * kDegree), c = std::cos(bearing * kDegree);
    const double u = east * s + north * c, v = east * c - north * s;
    return (u / major) * (u / major) + (v / minor) * (v / minor) <= 1;
}

std::vector<Place> LocateRegion::outline(int points) const {
    const LocalPlane plane(centre);
    const double s = std::sin(bearing * kDegree), c = std::cos(bearing * kDegree);
    std::vector<Place> out;
    for (int k = 0; k < points; ++k) {
        const double angle = 2 * M_PI * k / points;
        const double u = major * std::cos(angle), v = minor * std::sin(angle);
        out.push_back(plane.place(u * s + v * c, u * c - v * s));
    }
    return out;
}

std::string placeText(const Place& p) { return fixedText(p.lat, 6) + ", " + fixedText(p.lon, 6); }

std::vector<std::string> locateWarnings(const TransmitterEstimate& e) {
    std::vector<std::string> out;
    if (e.second)
        out.push_back("a second transmitter on this frequency, about " + fixedText(-e.second->weakerDb, 0) +
                      " dB weaker, near " + placeText(e.second->place) + " (" + std::to_string(e.second->cells) +
                      " stretches of road are its): the estimate is of the stronger, from the rest");
    if (e.region && e.region->open)
        out.push_back("the 95 % region reaches the edge of the area searched (" + fixedText(e.searchedMetres / 1000, 1) +
                      " km across): the drive does not bound the transmitter on that side");
    if (e.method == LocateMethod::Fit && e.model.nAtBound)
        out.push_back("n is held at " + fixedText(e.model.n, 1) + ", the end of what the ground does (" +
                      fixedText(kLeastN, 1) + " to " + fixedText(kMostN, 1) + ")");
    return out;
}

double TransmitterEstimate::modelDbm(const Place& p) const {
    const double d = metresBetween(place, p);
    return model.p0 - model.n * 5 * std::log10(d * d + kHeightMetres * kHeightMetres);
}

bool locateTransmitter(const DriveSamples& samples, LocateMethod method, TransmitterEstimate& out, std::string& why) {
    out = TransmitterEstimate{};
    out.method = method;
    out.samples = samples.samples();
    out.metres = samples.metres();
    if (samples.samples() < kFewestLocateReadings)
        return why = "only " + std::to_string(samples.samples()) + " placed readings; locating takes " +
                     std::to_string(kFewestLocateReadings) + " at least",
               false;
    out.cellMetres = samples.cellSizeFor(kMostCells);
    const std::vector<RoadCell> cells = samples.cells(out.cellMetres);
    out.cells = cells.size();
    Box drive{INFINITY, -INFINITY, INFINITY, -INFINITY};
    for (const RoadCell& c : cells) {
        drive.west = std::min(drive.west, c.east), drive.east = std::max(drive.east, c.east);
        drive.south = std::min(drive.south, c.north), drive.north = std::max(drive.north, c.north);
    }
    if (std::hypot(drive.width(), drive.height()) < kLeastSpreadMetres)
        return why = "every reading lies within " + std::to_string(static_cast<int>(kLeastSpreadMetres)) +
                     " m of one spot: a drive locates only when it moves",
               false;
    out.floorDbm = *samples.levels().percentile(0.02) + kFloorAboveLowest;
    for (const RoadCell& c : cells) out.censoredCells += c.dbm <= out.floorDbm;
    if (cells.size() - out.censoredCells < kLeastMeasuredCells)
        return why = "the readings lie at or near the receiver's floor (" + dbmText(out.floorDbm - kFloorAboveLowest) +
                     ") almost everywhere: nothing to locate from",
               false;
    const LocalPlane& plane = samples.plane();
    if (method == LocateMethod::Centroid) {
        double east = 0, north = 0, weight = 0;
        for (const RoadCell& c : cells) east += c.milliwatts * c.east, north += c.milliwatts * c.north, weight += c.milliwatts;
        out.place = plane.place(east / weight, north / weight);
        return true;
    }

    const double margin = std::max(kLeastMargin, std::max(drive.width(), drive.height()) / 2);
    const Box searched{drive.west - margin, drive.east + margin, drive.south - margin, drive.north + margin};
    out.searchedMetres = std::max(searched.width(), searched.height());
    Search found = searchBox(cells, out.floorDbm, out.cellMetres, searched, plane);
    // Against the pair, the single fit by the same likelihood: both at the single fit's place.
    const double plain = PairFit(cells, out.floorDbm)
                             .at({found.east, found.east}, {found.north, found.north},
                                 {{found.model.p0, found.model.p0}, found.model.n, found.model.sigma, 0})
                             .logLikelihood;
    const double bound = kTwoTransmitters * found.inflation / 2;
    PairSearch pair = searchPair(cells, out.floorDbm, found, searched);
    const int stronger = pair.fit.p0[1] > pair.fit.p0[0];
    std::vector<RoadCell> own;
    size_t otherMeasured = 0, other = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (pair.owners.empty() || pair.owners[i] == stronger) {
            own.push_back(cells[i]);
            continue;
        }
        ++other;
        otherMeasured += cells[i].dbm > out.floorDbm;
    }
    if (pair.fit.logLikelihood - plain > bound && otherMeasured >= kLeastOwned) {
        // Two transmitters: the stronger located from the cells that are its.
        found = searchBox(own, out.floorDbm, out.cellMetres, searched, plane);
        out.second = SecondTransmitter{plane.place(pair.east[1 - stronger], pair.north[1 - stronger]),
                                       pair.fit.p0[1 - stronger] - pair.fit.p0[stronger], other};
    }
    out.model = found.model;
    out.place = plane.place(found.east, found.north);
    out.region = found.region;
    out.correlationMetres = found.correlationMetres;
    out.inflation = found.inflation;
    return true;
}

}  // namespace zarn
