#pragma once
// One position report from gpsd, as it came: NaN where a value is not known.

#include <cmath>

namespace zarn {

struct GpsFix {
    int mode = 0;                  // gpsd's: 0 not seen, 1 no fix, 2 two-dimensional, 3 with altitude
    double latitude = NAN;         // degrees north
    double longitude = NAN;        // degrees east
    double altitude = NAN;         // metres above mean sea level
    double utc = NAN;              // seconds since 1970-01-01 00:00 UTC
};

}  // namespace zarn
