#include "survey/locate/residual_correlation.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "survey/locate/cell_pairs.h"
#include "survey/locate/tobit.h"

namespace zarn {
namespace {

constexpr double kLeastPairs = 10, kLeastCorrelation = 0.05;
constexpr double kMostMetres = 2000;
constexpr double kReach = 5;  // correlation lengths: exp(-5) is nothing

bool measuredInlier(const PathLossFit& fit, size_t i) {
    return fit.cells()[i].dbm > fit.floorDbm() && fit.weights()[i] >= 0.5;
}

double modelAt(const PathLossFit& fit, const PathLoss& model, size_t i) {
    return model.p0 - model.n * fit.logDistances()[i];
}

using Square = TobitMatrix;

// The inverse of the first n rows and columns, a column at a time; false when singular.
bool invert(const Square& m, int n, Square& inverse) {
    inverse = {};
    for (int col = 0; col < n; ++col) {
        TobitVector unit{}, column{};
        unit[static_cast<size_t>(col)] = 1;
        if (!solveLinear(m, unit, n, column)) return false;
        for (int r = 0; r < n; ++r) inverse[r][col] = column[r];
    }
    return true;
}

Square product(const Square& a, const Square& b, int n) {
    Square out{};
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            for (int k = 0; k < n; ++k) out[r][c] += a[r][k] * b[k][c];
    return out;
}

}  // namespace

double correlationMetres(const PathLossFit& fit, const PathLoss& model, double cellMetres) {
    const std::vector<RoadCell>& cells = fit.cells();
    std::vector<size_t> chosen;
    std::vector<double> z;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (!measuredInlier(fit, i)) continue;
        chosen.push_back(i);
        z.push_back((cells[i].dbm - modelAt(fit, model, i)) / model.sigma);
    }
    double squares = 0, pairs = 0, metres = 0;
    forPairsWithin(cells, chosen, 1.5 * cellMetres, [&](size_t k, size_t m, double d) {
        squares += (z[k] - z[m]) * (z[k] - z[m]);
        pairs += 1;
        metres += d;
    });
    if (pairs < kLeastPairs) return 0;
    const double rho = 1 - squares / pairs / 2;
    if (!(rho > kLeastCorrelation)) return 0;
    return std::clamp(-(metres / pairs) / std::log(std::min(rho, 0.999)), 1.0, kMostMetres);
}

double placeInflation(const PathLossFit& fit, const PathLoss& model, double east, double north, double metres) {
    if (metres <= 0) return 1;
    const std::vector<RoadCell>& cells = fit.cells();
    const int n = model.nAtBound ? 3 : 4;  // east, north, P0 and n
    std::vector<size_t> chosen;
    std::vector<TobitVector> parts;  // each cell's root information along the model's gradient
    for (size_t i = 0; i < cells.size(); ++i) {
        const bool censored = cells[i].dbm <= fit.floorDbm();
        if (!censored && !measuredInlier(fit, i)) continue;
        double root = std::sqrt(fit.weights()[i]) / model.sigma;
        if (censored) {
            double logCdf = 0, ratio = 0;
            const double u = (fit.floorDbm() - modelAt(fit, model, i)) / model.sigma;
            normalLowerTail(u, logCdf, ratio);
            root = std::sqrt(std::max(0.0, ratio * (u + ratio))) / model.sigma;
        }
        const double de = east - cells[i].east, dn = north - cells[i].north;
        const double toPlace = -model.n * 10 / std::log(10.0) / (de * de + dn * dn + kHeightMetres * kHeightMetres);
        chosen.push_back(i);
        parts.push_back({root * toPlace * de, root * toPlace * dn, root, -root * fit.logDistances()[i]});
    }
    Square independent{};
    for (const auto& g : parts)
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) independent[r][c] += g[r] * g[c];
    Square correlated = independent;
    forPairsWithin(cells, chosen, kReach * metres, [&](size_t k, size_t m, double d) {
        const double rho = std::exp(-d / metres);
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) correlated[r][c] += rho * (parts[k][r] * parts[m][c] + parts[m][r] * parts[k][c]);
    });
    Square naive{};
    if (!invert(independent, n, naive)) return 1;
    const Square sandwich = product(product(naive, correlated, n), naive, n);
    // The larger root of det(B - k A) = 0, A and B the place's blocks.
    const double a00 = naive[0][0], a01 = naive[0][1], a11 = naive[1][1];
    const double b00 = sandwich[0][0], b01 = sandwich[0][1], b11 = sandwich[1][1];
    const double qa = a00 * a11 - a01 * a01, qb = -(b00 * a11 + b11 * a00 - 2 * a01 * b01), qc = b00 * b11 - b01 * b01;
    if (!(qa > 0)) return 1;
    const double root = (-qb + std::sqrt(std::max(0.0, qb * qb - 4 * qa * qc))) / (2 * qa);
    return std::isfinite(root) ? std::max(1.0, root) : 1;
}

}  // namespace zarn
