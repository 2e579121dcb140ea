#pragma once
// Where a transmitter is, from the levels of its frequency along a drive.
//
// - fit: the log-distance model (path_loss_fit.h) on the drive's cells; the
//   transmitter's place is searched over the drive's whole neighbourhood, the
//   box of the drive with a margin of half its size, 1.5 km at least, for the
//   place where the model's likelihood, its other parameters fitted, is
//   highest (a coarse grid, then finer grids around its three best peaks).
// - The 95 % region is where that profile of the likelihood lies within the
//   chi-square bound (5.99 for two coordinates) of its top, the bound widened
//   by how much the shadowing's correlation along the road makes the cells
//   count for less than independent ones (residual_correlation.h: the
//   correlation length from the fit's own residuals, the place's covariance
//   under it against the independent one). The profile, not a curvature at
//   the top, so that a drive passing by on one side gets the long region it
//   leaves open; it is given as the smallest ellipse of its shape that holds
//   every place of it.
// - Readings at or below the floor (6 dB above the lowest 2 % of them, above
//   the wandering of the receiver's noise) are censored: they say the level
//   was no higher.
// - Two transmitters on the frequency: the same model with a second one
//   (path_loss_fit.h's PairFit), searched over the box with the first held,
//   then each moved in turn. When it explains the drive beyond kTwoTransmitters
//   (twice the log-likelihood it adds, over the inflation below) and 8
//   measured cells are its, the stronger is located, as above, from the
//   cells that are its, and the other reported.
// - centroid: the mean of the cells' places weighted by their mean power, a
//   baseline and a quick look; it has no region.

#include <optional>
#include <string>
#include <vector>

#include "survey/locate/drive_samples.h"
#include "survey/locate/path_loss_fit.h"

namespace zarn {

enum class LocateMethod { Fit, Centroid };

constexpr size_t kFewestLocateReadings = 30;

struct LocateRegion {
    Place centre;
    double major = 0, minor = 0;  // semi-axes, metres
    double bearing = 0;           // of the major axis, degrees clockwise from north, 0 to 180
    bool open = false;            // it reaches the edge of the searched box

    bool holds(const Place& p) const;
    // The ellipse as `points` places around, not closed.
    std::vector<Place> outline(int points = 72) const;
};

// A second transmitter on the frequency, roughly placed.
struct SecondTransmitter {
    Place place;
    double weakerDb = 0;  // its P0 against the stronger's, the same n
    size_t cells = 0;     // the drive's cells that are its
};

struct TransmitterEstimate {
    LocateMethod method = LocateMethod::Fit;
    Place place;
    std::optional<LocateRegion> region;  // fit only
    PathLoss model;                      // fit only
    size_t samples = 0;
    double metres = 0;  // of drive
    size_t cells = 0, censoredCells = 0;
    double cellMetres = DriveSamples::kCellMetres;
    double floorDbm = 0;  // the level at or below which readings are censored
    double correlationMetres = 0;  // of the residuals
    double inflation = 1;          // of the bound, by their correlation
    double searchedMetres = 0;     // the side of the searched box, the larger
    std::optional<SecondTransmitter> second;

    // The fitted model's level at a place; the fit only.
    double modelDbm(const Place& p) const;
};

// What the estimate warns of, each a sentence: a second transmitter, a region
// open to the edge of the searched box, n held at a bound.
std::vector<std::string> locateWarnings(const TransmitterEstimate& estimate);

// "47.370120, 8.540210"
std::string placeText(const Place& p);

// False with `why` when the readings tell nothing: fewer than kFewestLocateReadings,
// all within 50 m of one spot, or (fit) nearly all at the floor.
bool locateTransmitter(const DriveSamples& samples, LocateMethod method, TransmitterEstimate& out, std::string& why);

}  // namespace zarn
