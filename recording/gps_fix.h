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

// GPS time begins 1980-01-06; a time before it, or past 2099, is a receiver's fault.
constexpr double kEarliestFixUtc = 315964800.0;
constexpr double kLatestFixUtc = 4102444800.0;

// A fix worth a point: false without one, and for a position or a time that
// is missing, NaN or out of range.
inline bool usableFix(const GpsFix& fix) {
    return fix.mode >= 2 && std::isfinite(fix.latitude) && std::isfinite(fix.longitude) && std::isfinite(fix.utc) &&
           std::fabs(fix.latitude) <= 90.0 && std::fabs(fix.longitude) <= 180.0 && fix.utc >= kEarliestFixUtc &&
           fix.utc < kLatestFixUtc;
}

}  // namespace zarn
