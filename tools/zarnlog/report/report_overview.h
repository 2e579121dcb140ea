#pragma once
// The first reading of a log for `zarnlog report`: what it holds (records by
// kind, span, notes, the board's firmware and serial number when recorded,
// damaged stretches), where its records lie on its track (placing, stretches
// without a fix, the box around them) and how many channel records each
// second holds, for the sampling check. Only records inside the options'
// window count; damaged stretches are reported to `damaged` as well.

#include <string>

#include "tools/zarnlog/report/report_model.h"

namespace zarn::report {

// False with `error` when the log or its header cannot be read, or a read
// error cuts it short.
bool readOverview(const ReportLog& log, const ReportOptions& options, LogOverview& out, std::string& error,
                  const DamageSink& damaged);

}  // namespace zarn::report
