#pragma once
// The seven sections of the report's page, each a <section> with its heading,
// written from what the logs gave (report_model.h). A section with nothing to
// show says why in a sentence, so that every report has the same seven.

#include <string>

#include "tools/zarnlog/report/report_model.h"

namespace zarn::report {

void writeSummary(const ReportData& data, std::string& out);
void writeChannels(const ReportData& data, std::string& out);
void writeGrid(const ReportData& data, std::string& out);
void writeDominance(const ReportData& data, std::string& out);
void writeSpectrum(const ReportData& data, std::string& out);
void writeDriveChecks(const ReportData& data, std::string& out);
void writeSources(const ReportData& data, std::string& out);

// Helpers the sections share.
void beginSection(std::string& out, const char* id, const char* heading);
void endSection(std::string& out);
void paragraph(std::string& out, const std::string& text, const char* cssClass = "");
// "log 2" (with its name in the first table of the summary).
std::string logLabel(const ReportData& data, size_t log);
// The channels' whole figures or a log's, each channel in key order.
std::vector<const ChannelLevels*> channelsInOrder(const ReportData& data);

}  // namespace zarn::report
