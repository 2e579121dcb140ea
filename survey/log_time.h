#pragma once
// The time options of the command line, on the clock of the records' stamps
// (stampSeconds).

#include <optional>
#include <string>

#include "recording/log_reader.h"

namespace zarn {

// "YYYY-MM-DDTHH:MM[:SS]" (a blank for the T is taken too), a stamp on the
// device's clock; nullopt when it is no such time.
std::optional<long long> parseStamp(const std::string& text);
// The time on the device's clock of a stamp: stampSeconds' inverse.
LocalTime stampTime(long long stamp);
// "+HH:MM", "-HH:MM", "+HHMM" or "+HH", at most 14 hours: seconds east of UTC.
std::optional<int> parseUtcOffset(const std::string& text);

// Records from `begin` (included) to `end` (excluded), on the device's clock.
struct StampWindow {
    std::optional<long long> begin, end;
    bool contains(const LocalTime& t) const {
        const long long s = stampSeconds(t);
        return (!begin || s >= *begin) && (!end || s < *end);
    }
    bool all() const { return !begin && !end; }
};

// The offset of the local time zone from UTC, in seconds, at a stamp on its clock.
int localZoneOffset(long long stamp);

}  // namespace zarn
