#pragma once
// The scales every picture of zarnlog shares: the plot's panels, the report's
// charts, the colours of map and grid.

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace zarn::plot {

struct Range {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    void take(double v) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    bool empty() const { return !(hi >= lo); }
    // Whole tens of dB around what was seen.
    Range tens() const {
        Range r{std::floor(lo / 10) * 10, std::ceil(hi / 10) * 10};
        if (!(r.hi > r.lo)) r.hi = r.lo + 10;
        return r;
    }
};

// A step of 1, 2 or 5 times a power of ten that gives at most `most` ticks over the span.
double niceStep(double span, int most);
std::string megahertzLabel(double mhz, double step);

}  // namespace zarn::plot
