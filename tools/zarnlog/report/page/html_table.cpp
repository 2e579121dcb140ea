#include "tools/zarnlog/report/page/html_table.h"

#include "tools/zarnlog/report/page/svg_writer.h"

namespace zarn::report {
namespace {

void cells(std::string& out, const char* tag, const std::vector<HtmlCell>& cells) {
    for (const HtmlCell& c : cells) {
        out.append("<").append(tag);
        if (!c.cssClass.empty()) out.append(" class=\"").append(c.cssClass).append("\"");
        out.append(">").append(c.html).append("</").append(tag).append(">");
    }
}

}  // namespace

HtmlCell textCell(std::string_view text, std::string_view cssClass) {
    return {svg::escaped(text), std::string(cssClass)};
}

HtmlCell numberCell(std::string_view text) { return {svg::escaped(text), "n"}; }

HtmlTable::HtmlTable(std::string& out, std::string_view caption, const std::vector<HtmlCell>& headers) : out_(out) {
    out_ += "<table>";
    if (!caption.empty()) out_ += "<caption>" + svg::escaped(caption) + "</caption>";
    out_ += "<thead><tr>";
    cells(out_, "th", headers);
    out_ += "</tr></thead><tbody>\n";
}

void HtmlTable::row(const std::vector<HtmlCell>& c, std::string_view rowClass) {
    out_ += rowClass.empty() ? "<tr>" : "<tr class=\"" + std::string(rowClass) + "\">";
    cells(out_, "td", c);
    out_ += "</tr>\n";
}

void HtmlTable::end() { out_ += "</tbody></table>\n"; }

}  // namespace zarn::report
