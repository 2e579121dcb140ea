#pragma once
// A weighted Tobit fit whose model is linear in its parameters: each cell's
// standardised residual is theta . v, the last of theta being 1/sigma (Olsen's
// parameters, in which the likelihood is concave). A measured cell (above the
// floor) enters by its share w of the sums of w v v'; a censored one one by
// one, by the chance Phi(theta . v) that the model puts it at or below the
// floor, v then taken at the floor.
// Maximised by Newton's steps, halved where one would lower the likelihood.

#include <array>
#include <vector>

namespace zarn {

constexpr int kMostTobitParameters = 4;
using TobitVector = std::array<double, kMostTobitParameters>;
using TobitMatrix = std::array<TobitVector, kMostTobitParameters>;

struct TobitProblem {
    int dims = 3;
    TobitMatrix measured{};  // the sum of w v v' over the measured cells
    double weight = 0;       // the sum of w
    std::vector<TobitVector> censored;

    // Adds w v v' of a measured cell.
    void measure(const TobitVector& v, double w = 1);
    // Without the constants (-log sqrt(2 pi) a measured cell); gradient and Hessian when asked.
    double logLikelihood(const TobitVector& theta, TobitVector* grad, TobitMatrix* hess) const;
    // From `theta` on; false when the Hessian fails (theta then as far as it got).
    bool maximise(TobitVector& theta) const;
};

// Solves m x = v for the first `n` unknowns, by elimination with partial pivoting; false when singular.
bool solveLinear(TobitMatrix m, TobitVector v, int n, TobitVector& x);

// log Phi(u) and phi(u) / Phi(u) of the standard normal, for u far below zero too.
void normalLowerTail(double u, double& logCdf, double& ratio);

}  // namespace zarn
