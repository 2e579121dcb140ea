#include "survey/locate/path_loss_fit.h"

#include <algorithm>
#include <cmath>

namespace zarn {
namespace {

constexpr int kRounds = 2;  // of EM, and of a pair's owners: the start is the fit at the place next door
constexpr double kLeastShare = 0.001, kMostShare = 0.25;
constexpr double kLeastSigma = 0.5, kMostSigma = 40;
const double kLogRootTwoPi = 0.5 * std::log(2 * M_PI);

void distancesFrom(const std::vector<RoadCell>& cells, double east, double north, std::vector<double>& out) {
    out.resize(cells.size());
    for (size_t i = 0; i < cells.size(); ++i) {
        const double de = cells[i].east - east, dn = cells[i].north - north;
        out[i] = 5 * std::log10(de * de + dn * dn + kHeightMetres * kHeightMetres);
    }
}

// n past its bounds: the bound it went past.
double boundOf(double n) { return std::isfinite(n) && n > kMostN ? kMostN : kLeastN; }
bool withinBounds(double n) { return n >= kLeastN && n <= kMostN; }

}  // namespace

double tobitLogLikelihood(const std::vector<RoadCell>& cells, double floorDbm, const std::vector<double>& model,
                          double sigma) {
    double total = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (cells[i].dbm <= floorDbm) {
            double logCdf = 0, ratio = 0;
            normalLowerTail((floorDbm - model[i]) / sigma, logCdf, ratio);
            total += logCdf;
        } else {
            const double z = (cells[i].dbm - model[i]) / sigma;
            total -= 0.5 * z * z + std::log(sigma) + kLogRootTwoPi;
        }
    }
    return total;
}

PathLossFit::PathLossFit(const std::vector<RoadCell>& cells, double floorDbm)
    : cells_(cells), floor_(floorDbm), logDistance_(cells.size()), weights_(cells.size(), 1.0) {
    for (size_t i = 0; i < cells.size(); ++i)
        if (cells[i].dbm <= floorDbm) censored_.push_back(i);
}

PathLoss PathLossFit::startingFit() const {
    double w = 0, l = 0, y = 0, ll = 0, ly = 0;
    for (size_t i = 0; i < cells_.size(); ++i) {
        if (cells_[i].dbm <= floor_) continue;
        const double li = logDistance_[i], yi = cells_[i].dbm;
        w += 1, l += li, y += yi, ll += li * li, ly += li * yi;
    }
    PathLoss fit;
    fit.sigma = 8;
    fit.outlierShare = kLeastShare;
    const double spread = w > 1 ? ll / w - (l / w) * (l / w) : 0;
    fit.n = spread > 1e-9 ? -(ly / w - (l / w) * (y / w)) / spread : 3;
    fit.n = std::clamp(std::isfinite(fit.n) ? fit.n : 3.0, kLeastN, kMostN);
    fit.p0 = w > 0 ? y / w + fit.n * l / w : floor_ + fit.n * 30;
    return fit;
}

double PathLossFit::expectation(const PathLoss& fit, Sums& sums) {
    sums = Sums{};
    double total = 0, outliers = 0, measured = 0;
    const double logOutlier = std::log(fit.outlierShare / kOutlierRangeDb);
    const double logInlier = std::log(1 - fit.outlierShare) - std::log(fit.sigma) - kLogRootTwoPi;
    for (size_t i = 0; i < cells_.size(); ++i) {
        const double model = fit.p0 - fit.n * logDistance_[i];
        const double y = cells_[i].dbm;
        if (y <= floor_) {
            double logCdf = 0, ratio = 0;
            normalLowerTail((floor_ - model) / fit.sigma, logCdf, ratio);
            total += logCdf;
            weights_[i] = 1;
            continue;
        }
        const double r = y - model, z = r / fit.sigma;
        const double inlier = logInlier - 0.5 * z * z;
        double w = 1;
        total += inlier;
        if (r > 0 && inlier - logOutlier < 40) {
            // The outlier's odds against the model's: log(a + b) = log a + log(1 + b / a).
            const double odds = std::exp(logOutlier - inlier);
            w = 1 / (1 + odds);
            total += std::log1p(odds);
        }
        weights_[i] = w;
        const double l = logDistance_[i];
        sums.w += w, sums.l += w * l, sums.y += w * y;
        sums.ll += w * l * l, sums.ly += w * l * y, sums.yy += w * y * y;
        outliers += 1 - w;
        measured += 1;
    }
    sums.outlierShare = measured > 0 ? outliers / measured : 0;
    return total;
}

PathLoss PathLossFit::maximise(const PathLoss& fit, const Sums& sums) {
    // Olsen's parameters (P0/sigma, n/sigma, 1/sigma); a cell's v is (-1, L, level).
    problem_.dims = 3;
    problem_.weight = sums.w;
    problem_.measured = {TobitVector{sums.w, -sums.l, -sums.y}, TobitVector{-sums.l, sums.ll, sums.ly},
                         TobitVector{-sums.y, sums.ly, sums.yy}};
    problem_.censored.clear();
    for (const size_t i : censored_) problem_.censored.push_back({-1, logDistance_[i], floor_});
    TobitVector theta{fit.p0 / fit.sigma, fit.n / fit.sigma, 1 / fit.sigma};
    PathLoss out = fit;
    out.outlierShare = std::clamp(sums.outlierShare, kLeastShare, kMostShare);
    out.nAtBound = false;
    if (problem_.maximise(theta) && theta[2] > 0) {
        out.p0 = theta[0] / theta[2];
        out.n = theta[1] / theta[2];
        out.sigma = 1 / theta[2];
    }
    if (!withinBounds(out.n)) {
        // n held at the bound it went past: (P0/sigma, 1/sigma), v = (-1, level + n L).
        const double n = boundOf(out.n);
        const double z = sums.y + n * sums.l, zz = sums.yy + 2 * n * sums.ly + n * n * sums.ll;
        problem_.dims = 2;
        problem_.measured = {TobitVector{sums.w, -z}, TobitVector{-z, zz}};
        for (size_t k = 0; k < censored_.size(); ++k) problem_.censored[k] = {-1, floor_ + n * logDistance_[censored_[k]]};
        TobitVector held{fit.p0 / fit.sigma, 1 / fit.sigma};
        if (!problem_.maximise(held) || !(held[1] > 0)) return PathLoss{};
        out.p0 = held[0] / held[1];
        out.n = n;
        out.sigma = 1 / held[1];
        out.nAtBound = true;
    }
    out.sigma = std::clamp(out.sigma, kLeastSigma, kMostSigma);
    return out;
}

PathLoss PathLossFit::at(double east, double north, const PathLoss& start) {
    distancesFrom(cells_, east, north, logDistance_);
    PathLoss fit = start.valid() ? start : startingFit();
    Sums sums;
    for (int round = 0;; ++round) {
        fit.logLikelihood = expectation(fit, sums);
        if (round == kRounds) return fit;
        const PathLoss next = maximise(fit, sums);
        if (!next.valid()) return fit;
        fit = next;
    }
}

PairFit::PairFit(const std::vector<RoadCell>& cells, double floorDbm)
    : cells_(cells), floor_(floorDbm), owner_(cells.size()), model_(cells.size()) {}

PathLossPair PairFit::at(const std::array<double, 2>& east, const std::array<double, 2>& north,
                         const PathLossPair& start) {
    for (int s = 0; s < 2; ++s) distancesFrom(cells_, east[s], north[s], logDistance_[s]);
    PathLossPair fit = start;
    for (int round = 0; round < kRounds; ++round) {
        // Each cell the stronger one's by the model. The parameters: P0/sigma of each one
        // that has cells, n/sigma unless n is held, 1/sigma; a cell's v: -1 at its owner's
        // P0, L to its owner at n, its level at 1/sigma (with n L when n is held).
        std::array<size_t, 2> owned{};
        for (size_t i = 0; i < cells_.size(); ++i) {
            owner_[i] = fit.p0[1] - fit.n * logDistance_[1][i] > fit.p0[0] - fit.n * logDistance_[0][i];
            ++owned[owner_[i]];
        }
        PathLossPair next = fit;
        for (const bool held : {false, true}) {
            const double n = held ? boundOf(next.n) : 0;
            std::array<int, 2> slot{-1, -1};
            int dims = 0;
            for (int s = 0; s < 2; ++s)
                if (owned[s]) slot[s] = dims++;
            const int slope = held ? -1 : dims++, last = dims++;
            const auto v = [&](size_t i, double level) {
                TobitVector out{};
                const double l = logDistance_[owner_[i]][i];
                out[static_cast<size_t>(slot[owner_[i]])] = -1;
                if (held) out[static_cast<size_t>(last)] = level + n * l;
                else out[static_cast<size_t>(slope)] = l, out[static_cast<size_t>(last)] = level;
                return out;
            };
            problem_ = TobitProblem{};
            problem_.dims = dims;
            for (size_t i = 0; i < cells_.size(); ++i) {
                if (cells_[i].dbm <= floor_) problem_.censored.push_back(v(i, floor_));
                else problem_.measure(v(i, cells_[i].dbm));
            }
            TobitVector theta{};
            for (int s = 0; s < 2; ++s)
                if (slot[s] >= 0) theta[static_cast<size_t>(slot[s])] = fit.p0[s] / fit.sigma;
            if (!held) theta[static_cast<size_t>(slope)] = fit.n / fit.sigma;
            theta[static_cast<size_t>(last)] = 1 / fit.sigma;
            if (!problem_.maximise(theta) || !(theta[static_cast<size_t>(last)] > 0)) return PathLossPair{};
            const double sigma = 1 / theta[static_cast<size_t>(last)];
            for (int s = 0; s < 2; ++s)
                if (slot[s] >= 0) next.p0[s] = theta[static_cast<size_t>(slot[s])] * sigma;
            next.n = held ? n : theta[static_cast<size_t>(slope)] * sigma;
            next.sigma = std::clamp(sigma, kLeastSigma, kMostSigma);
            if (withinBounds(next.n)) break;
        }
        fit = next;
    }
    for (size_t i = 0; i < cells_.size(); ++i)
        model_[i] = std::max(fit.p0[0] - fit.n * logDistance_[0][i], fit.p0[1] - fit.n * logDistance_[1][i]);
    fit.logLikelihood = tobitLogLikelihood(cells_, floor_, model_, fit.sigma);
    return fit;
}

}  // namespace zarn
