#pragma once
// A band as the CSV rows, the JSON and the metrics name it: "800" or "1900".

#include <cstdint>

namespace zarn {

inline const char* bandName(uint8_t band) { return band == 0 ? "800" : "1900"; }

}  // namespace zarn
