#pragma once
// The report as one HTML page that needs nothing else: its style, its
// pictures (inline SVG) and a small script for pointer readouts are in it;
// nothing is fetched. It prints on A4, each section from a new page, tables
// and figures kept whole; with scripts off, everything but the readouts is
// there.

#include <string>

#include "tools/zarnlog/report/report_model.h"

namespace zarn::report {

std::string reportPage(const ReportData& data);

}  // namespace zarn::report
