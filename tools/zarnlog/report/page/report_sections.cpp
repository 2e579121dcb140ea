#include "tools/zarnlog/report/page/report_sections.h"

#include "tools/zarnlog/report/page/svg_writer.h"

namespace zarn::report {

void beginSection(std::string& out, const char* id, const char* heading) {
    out += std::string("<section id=\"") + id + "\"><h2>" + heading + "</h2>\n";
}

void endSection(std::string& out) { out += "</section>\n"; }

void paragraph(std::string& out, const std::string& text, const char* cssClass) {
    out += *cssClass ? std::string("<p class=\"") + cssClass + "\">" : std::string("<p>");
    svg::appendEscaped(out, text);
    out += "</p>\n";
}

std::string logLabel(const ReportData& data, size_t log) {
    return data.logs.size() == 1 ? data.logs[log].name : "log " + std::to_string(log + 1);
}

std::vector<const ChannelLevels*> channelsInOrder(const ReportData& data) {
    std::vector<const ChannelLevels*> out;
    for (const auto& [key, c] : data.channels) out.push_back(&c);
    return out;
}

}  // namespace zarn::report
