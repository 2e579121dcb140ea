#pragma once
// The log-distance model fitted with the transmitter held at one place:
//
//   level = P0 - 10 n log10(d),  d = the distance in metres (with kHeightMetres
//   of height, so that a place on the road is no singularity),
//
// P0, n and the shadowing's spread sigma by maximum likelihood, where
// - a cell at or below the floor (the receiver's noise, not a measurement)
//   counts by the chance that the model puts it there: Tobit's likelihood
//   (tobit.h);
// - a cell above the model may come from something else on the frequency (a
//   spot in sight of the transmitter, a passing source): a share eps of the
//   cells may stand above it at a flat 1/kOutlierRangeDb per dB, the rest
//   lognormal; EM gives each cell its weight as the model's;
// - n stays within kLeastN..kMostN, what the ground does between free space
//   and a dense town; beyond, the fit holds it at the bound.
// The log-likelihood at the best parameters, over the places, is the profile
// that the transmitter's place is searched and bounded on.
//
// PairFit: two transmitters on the frequency, with one n: a cell's level is
// the stronger one's there (the larger of the two model levels, within 3 dB
// of their sum), each cell given to the one the model makes stronger.

#include <array>
#include <cstdint>
#include <vector>

#include "survey/locate/drive_samples.h"
#include "survey/locate/tobit.h"

namespace zarn {

constexpr double kHeightMetres = 10;
constexpr double kLeastN = 1.6, kMostN = 6.0;
constexpr double kOutlierRangeDb = 60;

struct PathLoss {
    double p0 = 0, n = 0, sigma = 0;
    double outlierShare = 0;
    double logLikelihood = 0;
    bool nAtBound = false;
    bool valid() const { return sigma > 0; }
};

class PathLossFit {
public:
    // `floorDbm`: the level at or below which a cell is censored.
    PathLossFit(const std::vector<RoadCell>& cells, double floorDbm);

    // The fit with the transmitter at (east, north); starts from `start` when it is valid.
    PathLoss at(double east, double north, const PathLoss& start);
    // The model's weight of each cell after the last at() (1 for censored cells).
    const std::vector<double>& weights() const { return weights_; }
    // 10 log10 of each cell's distance at the last at().
    const std::vector<double>& logDistances() const { return logDistance_; }
    double floorDbm() const { return floor_; }
    const std::vector<RoadCell>& cells() const { return cells_; }

private:
    struct Sums {
        double w = 0, l = 0, y = 0, ll = 0, ly = 0, yy = 0;
        double outlierShare = 0;  // the measured cells' mean weight as outliers
    };
    // One pass: the weights at `fit`, its log-likelihood, the weighted sums of the measured cells.
    double expectation(const PathLoss& fit, Sums& sums);
    // The weighted Tobit fit from `fit`, n free or held.
    PathLoss maximise(const PathLoss& fit, const Sums& sums);
    PathLoss startingFit() const;

    const std::vector<RoadCell>& cells_;
    double floor_;
    std::vector<double> logDistance_, weights_;
    std::vector<size_t> censored_;
    TobitProblem problem_;
};

struct PathLossPair {
    std::array<double, 2> p0{};
    double n = 0, sigma = 0;
    double logLikelihood = 0;  // Tobit's, as tobitLogLikelihood
    bool valid() const { return sigma > 0; }
};

class PairFit {
public:
    PairFit(const std::vector<RoadCell>& cells, double floorDbm);
    PathLossPair at(const std::array<double, 2>& east, const std::array<double, 2>& north, const PathLossPair& start);
    // Whose each cell is (0 or 1) after the last at().
    const std::vector<uint8_t>& owners() const { return owner_; }

private:
    const std::vector<RoadCell>& cells_;
    double floor_;
    std::array<std::vector<double>, 2> logDistance_;
    std::vector<uint8_t> owner_;
    std::vector<double> model_;
    TobitProblem problem_;
};

// Tobit's log-likelihood of the cells with these model levels, no cell an outlier.
double tobitLogLikelihood(const std::vector<RoadCell>& cells, double floorDbm, const std::vector<double>& model,
                          double sigma);

}  // namespace zarn
