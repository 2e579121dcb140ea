#pragma once
// The second reading of a log for `zarnlog report`, once every log's overview
// is in and the grid is chosen: every channel level into its channel's
// figures (per log, over the time axis, per grid cell), every table and
// best-servers level into its band's dominance cells, every sweep point into
// the band's percentile spectrum.

#include <string>

#include "tools/zarnlog/report/report_model.h"

namespace zarn::report {

// False with `error` when the log cannot be read again.
bool readLevels(const ReportLog& log, size_t index, ReportData& data, std::string& error);

// Every log's figures summed into each channel's whole, once every log is read.
void sumChannels(ReportData& data);

// Where the transmitter of each channel with enough placed levels is.
void locateSources(ReportData& data);

}  // namespace zarn::report
