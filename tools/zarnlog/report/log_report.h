#pragma once
// `zarnlog report`: one HTML page over one or more logs (report_page.h).
//
// Each log is read twice, a record at a time: once for its overview and the
// places of its records, once for the levels, after the grid's projection is
// chosen from the centre of every placed record. The page is written to a
// temporary file beside `output` and renamed over it, so a failure leaves no
// half-written report.

#include <ostream>
#include <string>
#include <vector>

#include "tools/zarnlog/report/report_model.h"

namespace zarn {

// 0 with the report written; 1 with the reason on `err` when a log cannot be
// read, holds no intact record, no record lies between --begin and --end, or
// the page cannot be written. Damaged stretches and placing counts go to `err`.
int writeReport(const std::vector<report::ReportLog>& logs, const ReportOptions& options, const std::string& output,
                std::ostream& err);

// The figures of the report, without its page: for the tests.
bool readReport(const std::vector<report::ReportLog>& logs, const ReportOptions& options, report::ReportData& data,
                std::string& error, std::ostream& err);

}  // namespace zarn
