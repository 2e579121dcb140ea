#include "survey/locate/tobit.h"

#include <cmath>
#include <cstddef>

namespace zarn {
namespace {

constexpr double kLeastGain = 1e-4;  // of log-likelihood, the Newton decrement: done
const double kLogRootTwoPi = 0.5 * std::log(2 * M_PI);

void exactLowerTail(double u, double& logCdf, double& ratio) {
    const double logDensity = -0.5 * u * u - kLogRootTwoPi;
    if (u > -30) {
        const double cdf = 0.5 * std::erfc(-u / M_SQRT2);
        logCdf = std::log(cdf);
        ratio = std::exp(logDensity - logCdf);
        return;
    }
    // Mills' ratio: Phi(u) / phi(u) = (1 - 1/u^2 + 3/u^4 - ...) / -u.
    const double u2 = u * u, mills = (1 - 1 / u2 + 3 / (u2 * u2)) / -u;
    logCdf = logDensity + std::log(mills);
    ratio = 1 / mills;
}

// Both at steps of 1/64 from kLowestU to kHighestU, read between by cubic Hermite
// interpolation on their known slopes (d log Phi = ratio, d ratio = -ratio (u + ratio)):
// within 1e-7, without the erfc, log and exp that a censored cell costs each time.
constexpr double kLowestU = -30, kHighestU = 8.5, kSteps = 64;

struct TailTable {
    std::vector<double> logCdf, ratio;
    TailTable() {
        const auto count = static_cast<size_t>((kHighestU - kLowestU) * kSteps) + 2;
        logCdf.resize(count);
        ratio.resize(count);
        for (size_t k = 0; k < count; ++k) exactLowerTail(kLowestU + static_cast<double>(k) / kSteps, logCdf[k], ratio[k]);
    }
};

}  // namespace

void normalLowerTail(double u, double& logCdf, double& ratio) {
    static const TailTable table;
    if (u >= kHighestU) {
        // Phi(u) is 1 but for 1e-17: the model far below the floor, as a censored cell says.
        logCdf = 0;
        ratio = 0;
        return;
    }
    if (!(u > kLowestU)) return exactLowerTail(u, logCdf, ratio);
    const double at = (u - kLowestU) * kSteps;
    const auto k = static_cast<size_t>(at);
    const double t = at - static_cast<double>(k), h = 1 / kSteps;
    const double t2 = t * t, t3 = t2 * t;
    const double h00 = 2 * t3 - 3 * t2 + 1, h10 = t3 - 2 * t2 + t, h01 = 3 * t2 - 2 * t3, h11 = t3 - t2;
    const double u0 = kLowestU + static_cast<double>(k) * h, u1 = u0 + h;
    const double r0 = table.ratio[k], r1 = table.ratio[k + 1];
    logCdf = h00 * table.logCdf[k] + h10 * h * r0 + h01 * table.logCdf[k + 1] + h11 * h * r1;
    ratio = h00 * r0 - h10 * h * r0 * (u0 + r0) + h01 * r1 - h11 * h * r1 * (u1 + r1);
}

void TobitProblem::measure(const TobitVector& v, double w) {
    weight += w;
    for (int r = 0; r < dims; ++r)
        for (int c = 0; c < dims; ++c) measured[r][c] += w * v[r] * v[c];
}

double TobitProblem::logLikelihood(const TobitVector& theta, TobitVector* grad, TobitMatrix* hess) const {
    const int last = dims - 1;
    const double t = theta[last];
    if (!(t > 0)) return -INFINITY;
    // The measured cells: W log t - theta' S theta / 2.
    TobitVector st{};
    for (int r = 0; r < dims; ++r)
        for (int k = 0; k < dims; ++k) st[r] += measured[r][k] * theta[k];
    double quad = 0;
    for (int r = 0; r < dims; ++r) quad += theta[r] * st[r];
    double total = weight * std::log(t) - 0.5 * quad;
    if (grad) {
        for (int r = 0; r < dims; ++r) (*grad)[r] = -st[r];
        (*grad)[last] += weight / t;
        for (int r = 0; r < dims; ++r)
            for (int k = 0; k < dims; ++k) (*hess)[r][k] = -measured[r][k];
        (*hess)[last][last] -= weight / (t * t);
    }
    for (const TobitVector& v : censored) {
        double u = 0;
        for (int r = 0; r < dims; ++r) u += theta[r] * v[r];
        double logCdf = 0, ratio = 0;
        normalLowerTail(u, logCdf, ratio);
        total += logCdf;
        if (!grad) continue;
        const double curve = ratio * (u + ratio);
        for (int r = 0; r < dims; ++r) {
            (*grad)[r] += ratio * v[r];
            for (int k = 0; k < dims; ++k) (*hess)[r][k] -= curve * v[r] * v[k];
        }
    }
    return total;
}

bool TobitProblem::maximise(TobitVector& theta) const {
    TobitVector grad{};
    TobitMatrix hess{};
    double current = logLikelihood(theta, &grad, &hess);
    for (int step = 0; step < 30; ++step) {
        TobitVector minus{}, delta{};
        for (int r = 0; r < dims; ++r) minus[r] = -grad[r];
        if (!solveLinear(hess, minus, dims, delta)) return false;
        double gain = 0;
        for (int r = 0; r < dims; ++r) gain += grad[r] * delta[r];
        if (!(gain >= 0)) return false;  // not an ascent: the Hessian lost its sign
        if (gain < kLeastGain) return true;
        TobitVector tried = theta, triedGrad{};
        TobitMatrix triedHess{};
        double next = -INFINITY;
        for (double factor = 1; factor > 1e-6; factor /= 2) {
            for (int r = 0; r < dims; ++r) tried[r] = theta[r] + factor * delta[r];
            next = logLikelihood(tried, &triedGrad, &triedHess);
            if (next >= current) break;
        }
        if (!(next >= current)) return true;  // no step helps: at the top
        theta = tried;
        grad = triedGrad;
        hess = triedHess;
        current = next;
    }
    return true;
}

bool solveLinear(TobitMatrix m, TobitVector v, int n, TobitVector& x) {
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
        if (!(std::fabs(m[pivot][col]) > 1e-300)) return false;
        std::swap(m[col], m[pivot]);
        std::swap(v[col], v[pivot]);
        for (int r = col + 1; r < n; ++r) {
            const double f = m[r][col] / m[col][col];
            for (int k = col; k < n; ++k) m[r][k] -= f * m[col][k];
            v[r] -= f * v[col];
        }
    }
    for (int r = n - 1; r >= 0; --r) {
        double sum = v[r];
        for (int k = r + 1; k < n; ++k) sum -= m[r][k] * x[k];
        x[r] = sum / m[r][r];
    }
    return std::isfinite(x[0]);
}

}  // namespace zarn
