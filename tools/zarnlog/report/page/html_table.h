#pragma once
// Tables of the report's HTML page: a caption, a header row and rows of
// cells, text escaped unless a cell is given as HTML. Numbers align right.
// A table prints whole on one page where it fits (the page's CSS).

#include <string>
#include <string_view>
#include <vector>

namespace zarn::report {

struct HtmlCell {
    std::string html;
    std::string cssClass;  // "n" for a number
};
HtmlCell textCell(std::string_view text, std::string_view cssClass = "");
HtmlCell numberCell(std::string_view text);

class HtmlTable {
public:
    HtmlTable(std::string& out, std::string_view caption, const std::vector<HtmlCell>& headers);
    void row(const std::vector<HtmlCell>& cells, std::string_view rowClass = "");
    void end();

private:
    std::string& out_;
};

}  // namespace zarn::report
