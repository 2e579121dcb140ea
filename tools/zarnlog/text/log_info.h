#pragma once
// `zarnlog info`: the header, record counts by type, first and last time, the
// notes (escaped for a terminal), and what damage was skipped. A log with
// notes is read twice: their count comes before them.

#include <ostream>

#include "recording/log_reader.h"

namespace zarn {

// False when a read error cut it short.
bool writeInfo(LogReader& reader, const LogHeader& header, std::ostream& out, const DamageSink& damaged = {});

}  // namespace zarn
