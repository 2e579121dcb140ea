#pragma once
// `zarnlog occupancy`: survey/occupancy.h's rows of a log, as CSV (a file, or
// standard output) or as a picture (plot_occupancy.h), read a record at a time.

#include <ostream>
#include <string>

#include "recording/log_reader.h"
#include "tools/zarnlog/plot/plot_occupancy.h"

namespace zarn {

// The rows as CSV, header first, a period's rows as it ends; to `path`, or to
// `out` when path is empty. False with the reason in `error` (a file that cannot
// be written; a read error that cut the log short).
bool writeOccupancyCsv(LogReader& reader, const LogHeader& header, const OccupancySettings& settings,
                       const std::string& path, std::ostream& out, std::string& error, const DamageSink& damaged = {});

}  // namespace zarn
