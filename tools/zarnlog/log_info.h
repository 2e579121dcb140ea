#pragma once
// `zarnlog info`: the header, record counts by type, first and last time, the notes.

#include <ostream>

#include "tools/zarnlog/loaded_log.h"

namespace zarn {

void writeInfo(const LoadedLog& log, std::ostream& out);
// "single channel", "channel table", "spectrum", "best servers" or "frame <type>".
std::string recordTypeName(uint8_t type);

}  // namespace zarn
