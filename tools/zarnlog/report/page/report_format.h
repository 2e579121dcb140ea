#pragma once
// Figures as the report's tables show them. A figure that is not there (no
// level measured) shows as an en dash.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "tools/zarnlog/report/report_model.h"

namespace zarn::report {

extern const char* const kNone;  // "–"

std::string fixed(double v, int decimals);
std::string dbmText(const std::optional<double>& dbm);  // "-87.5"
std::string shareText(size_t part, size_t whole);       // "87.5 %", kNone of nothing
std::string stampText(long long stamp);                 // "2024-05-14 09:00:30"
std::string clockText(long long stamp);                 // "09:00:30"
std::string spanText(long long first, long long last);  // "2024-05-14 09:00:00 to 09:02:59" (date twice when it changes)
std::string durationText(double seconds);               // "2 h 05 min", "3 min 10 s", "42 s"
std::string megahertz(uint32_t hz);                     // "881.52"
std::string bandName(int band);                         // "800 MHz", "1900 MHz"
// "800 MHz ch 384, 881.52 MHz"; a channel number not known is left out.
std::string channelName(const ChannelKey& key, uint32_t channel);
std::string metresText(double metres);                  // "850 m", "12.4 km"
std::string recordsText(size_t n);                      // "1 record", "3 records"

}  // namespace zarn::report
