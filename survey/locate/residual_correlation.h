#pragma once
// How much less than independent readings the cells of a drive count:
// shadowing is correlated along the road, so neighbouring cells say much the
// same, and a region drawn as if they were independent would be too small.
//
// - correlationMetres: the length L of exp(-d / L), from the fit's residuals
//   of neighbouring measured cells (those a cell apart, 1.5 cells at most): one
//   less half their mean square difference over the model's variance. A
//   difference, so that a drift of the residuals over the drive cancels (far
//   from the transmitter, the cells above the floor are the lucky ones). 0
//   when neighbours are not correlated (below 0.05) or there are fewer than 10
//   pairs.
// - placeInflation: the place's covariance when the cells' errors are
//   correlated by exp(-d / L) (the sandwich of each cell's information for the
//   place, P0 and n, summed over pairs of cells within 5 L by their
//   correlation), against the covariance that takes them as independent: the
//   larger of its two ratios, 1 at least. The likelihood's bound on the place
//   is widened by it.

#include "survey/locate/path_loss_fit.h"

namespace zarn {

// Both read the fit as its last at() left it: the transmitter at the model's place.
double correlationMetres(const PathLossFit& fit, const PathLoss& model, double cellMetres);
double placeInflation(const PathLossFit& fit, const PathLoss& model, double east, double north, double metres);

}  // namespace zarn
