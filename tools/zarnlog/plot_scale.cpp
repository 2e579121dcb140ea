#include "tools/zarnlog/plot_scale.h"

#include <cstdio>

namespace zarn::plot {

double niceStep(double span, int most) {
    double step = std::pow(10.0, std::floor(std::log10(std::max(span, 1e-9) / most)));
    for (double f : {1.0, 2.0, 5.0, 10.0})
        if (span / (step * f) <= most) return step * f;
    return step * 10;
}

std::string megahertzLabel(double mhz, double step) {
    char s[32];
    std::snprintf(s, sizeof s, "%.*f", step < 0.1 ? 2 : step < 1 ? 1 : 0, mhz);
    return s;
}

}  // namespace zarn::plot
