#include "tools/zarn_fleet/fleet_json.h"

#include <cctype>
#include <initializer_list>
#include <utility>

#include "survey/json_writer.h"

namespace zarn {
namespace {

enum class Kind { Text, Number };
struct Column {
    const char* name;
    size_t index;
    Kind kind = Kind::Text;
};

size_t digits(std::string_view text, size_t at) {
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
    return at;
}

// -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?, and so no NaN or Infinity.
bool isJsonNumber(std::string_view text) {
    size_t at = !text.empty() && text[0] == '-' ? 1 : 0;
    const size_t whole = digits(text, at);
    if (whole == at || (text[at] == '0' && whole > at + 1)) return false;
    at = whole;
    if (at < text.size() && text[at] == '.') {
        const size_t end = digits(text, at + 1);
        if (end == at + 1) return false;
        at = end;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        at += at + 1 < text.size() && (text[at + 1] == '+' || text[at + 1] == '-') ? 2 : 1;
        const size_t end = digits(text, at);
        if (end == at) return false;
        at = end;
    }
    return at == text.size();
}

// A cell as the column's kind; a dash stands for NULL in the rows zarnlog prints.
void cell(JsonWriter& w, const SqlRows& rows, size_t row, const Column& c) {
    const SqlValue& v = c.index < rows.rows[row].size() ? rows.rows[row][c.index] : SqlValue();
    w.key(c.name);
    if (c.kind == Kind::Number) w.rawValue() += jsonNumberOrNull(v);
    else if (!v) w.null();
    else w.text(*v);
}

void object(JsonWriter& w, const SqlRows& rows, size_t row, std::initializer_list<Column> columns) {
    w.beginObject();
    for (const Column& c : columns) cell(w, rows, row, c);
    w.endObject();
}

std::string array(const SqlRows& rows, std::initializer_list<Column> columns) {
    std::string out;
    JsonWriter w(out);
    w.beginArray();
    for (size_t i = 0; i < rows.rows.size(); ++i) object(w, rows, i, columns);
    w.endArray();
    return out;
}

constexpr auto N = Kind::Number;
const std::initializer_list<Column> kSiteColumns = {
    {"name", 0},        {"state", 4},       {"last_heard", 2},   {"task", 5, N},  {"log", 6},
    {"backlog", 7, N},  {"disk_free", 8, N}, {"alarms", 9, N},   {"lat", 10, N},  {"lon", 11, N},
    {"description", 12}, {"heartbeat", 13, N}, {"records", 14, N}, {"dropped", 15, N}, {"uptime", 16, N},
    {"version", 17},    {"fix", 18}};

}  // namespace

std::string siteJson(const SqlRows& rows, size_t row) {
    std::string out;
    JsonWriter w(out);
    object(w, rows, row, kSiteColumns);
    return out;
}

std::string sitesJson(const SqlRows& rows, long long now) {
    return "{\"now\":" + std::to_string(now) + ",\"sites\":" + array(rows, kSiteColumns) + "}";
}

std::string tasksJson(const SqlRows& rows) {
    std::string out;
    JsonWriter w(out);
    w.beginArray();
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        w.beginObject();
        for (const Column& c : {Column{"task", 0, N}, Column{"site", 1}, Column{"name", 2}, Column{"state", 3},
                                Column{"priority", 4, N}, Column{"every", 5, N}, Column{"for", 6, N},
                                Column{"from", 7}, Column{"until", 8}})
            cell(w, rows, i, c);
        w.key("options");
        w.rawValue() += rows.text(i, 10).empty() ? "[]" : rows.text(i, 10);
        w.endObject();
    }
    w.endArray();
    return out;
}

std::string runsJson(const SqlRows& rows) {
    return array(rows, {{"task", 0, N}, {"site", 1}, {"started", 2}, {"ended", 3}, {"survey", 4, N},
                        {"records", 5, N}, {"outcome", 6}});
}

std::string eventsJson(const SqlRows& rows) {
    return array(rows, {{"id", 0, N}, {"site", 1}, {"at", 2}, {"kind", 3}, {"detail", 4}});
}

std::string jsonNumberOrNull(const SqlValue& cell) { return cell && isJsonNumber(*cell) ? *cell : "null"; }

std::string errorJson(const std::string& message) {
    std::string out = "{\"error\":";
    appendJsonString(out, message);
    return out + "}";
}

}  // namespace zarn
