#include "tools/zarnlog/archive/task_command.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "shell/record_options.h"
#include "survey/json_writer.h"
#include "survey/occupancy.h"

namespace zarn {
namespace {

constexpr const char* kNoPrivilege = "42501";
constexpr const char* kNoSuchSite = "23503";

int refused(ArchiveConnection& db, const std::string& what, const std::string& error, std::ostream& err) {
    err << "zarnlog: " << db.target() << ": " << what << ": " << error;
    if (db.sqlState() == kNoPrivilege) err << " (an operator manages tasks: see docs/network.md)";
    err << "\n";
    return 1;
}

std::string jsonArray(const std::vector<std::string>& words) {
    std::string json = "[";
    for (const std::string& w : words) {
        if (json.size() > 1) json += ',';
        appendJsonString(json, w);
    }
    return json + "]";
}

SqlValue secondsValue(const std::optional<long long>& seconds) {
    return seconds ? SqlValue(std::to_string(*seconds)) : SqlValue();
}

// The channel table a task names, read here: the site has no such file.
bool readTable(const std::string& file, std::string& text, std::ostream& err) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad() || !in.is_open()) {
        err << "zarnlog: cannot read " << file << "\n";
        return false;
    }
    text = contents.str();
    return true;
}

const char* const kInsertTask = R"sql(
INSERT INTO zarn.tasks (site, name, options, table_text, every, run_for, from_time, until_time, priority)
VALUES ($1, $2, ARRAY(SELECT json_array_elements_text($3::json)), $4, $5::bigint * interval '1 second',
        $6::bigint * interval '1 second', to_timestamp($7::bigint), to_timestamp($8::bigint), $9::integer)
RETURNING id
)sql";

const char* const kTasks = R"sql(
SELECT t.id, t.site, t.name, CASE WHEN t.enabled THEN 'on' ELSE 'stopped' END, t.priority,
       extract(epoch FROM t.every)::bigint, extract(epoch FROM t.run_for)::bigint,
       to_char(t.from_time AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'),
       to_char(t.until_time AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'), array_to_string(t.options, ' ')
FROM zarn.tasks t WHERE $1::text IS NULL OR t.site = $1 ORDER BY t.site, t.priority DESC, t.id
)sql";

const char* const kRuns = R"sql(
SELECT coalesce(r.task::text, '-'), r.site, to_char(r.started_at AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'),
       to_char(r.ended_at AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'), coalesce(r.survey::text, '-'),
       r.records, r.outcome
FROM zarn.task_runs r WHERE $1::text IS NULL OR r.site = $1 ORDER BY r.started_at, r.id
)sql";

std::string durationText(const std::string& seconds) {
    return seconds.empty() ? "" : periodText(std::stoll(seconds));
}

}  // namespace

std::optional<long long> parseTaskDuration(const std::string& text) {
    const char unit = text.empty() ? 0 : text.back();
    const long long scale = unit == 's' ? 1 : unit == 'm' ? 60 : unit == 'h' ? 3600 : unit == 'd' ? 86400 : 0;
    long long value = 0;
    const char* end = text.data() + text.size() - 1;
    const auto [stop, problem] = std::from_chars(text.data(), end, value);
    if (!scale || problem != std::errc() || stop != end || value <= 0 || value > 366 * 86400 / scale)
        return std::nullopt;
    return value * scale;
}

std::string takeTaskOperands(std::vector<std::string>& operands, ArchiveCommand& c) {
    static const char* const kVerbs[] = {"add", "list", "stop", "start", "rm", "runs"};
    const std::string verb = operands.empty() ? "" : operands[0];
    if (std::find(std::begin(kVerbs), std::end(kVerbs), verb) == std::end(kVerbs))
        return "task takes add, list, stop, start, rm or runs";
    c.name += " " + verb;
    operands.erase(operands.begin());
    if (verb == "add") {
        if (operands.empty()) return "task add needs zarn-record's measurement options after '--'";
        c.taskOptions = std::move(operands);
        operands.clear();
    } else if (verb == "stop" || verb == "start" || verb == "rm") {
        long long n = 0;
        const std::string text = operands.empty() ? "" : operands[0];
        const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (text.empty() || problem != std::errc() || end != text.data() + text.size() || n <= 0)
            return "task " + verb + " needs a task's number";
        c.operand = text;
        operands.erase(operands.begin());
    }
    return {};
}

int addTask(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    RecordOptions measurement;
    if (const auto status = readTaskOptions(c.taskOptions, measurement, err)) {
        err << "zarnlog: task not added: its options are zarn-record's, and it would refuse these\n";
        return *status;
    }
    std::string table;
    if (!measurement.tableFile.empty() && !readTable(measurement.tableFile, table, err)) return 1;
    ArchiveConnection db;
    if (!connectPreparedArchive(db, c, err)) return 1;
    SqlRows rows;
    std::string error;
    const std::vector<SqlValue> values{c.site,
                                       c.taskName.empty() ? SqlValue() : SqlValue(c.taskName),
                                       jsonArray(c.taskOptions),
                                       table.empty() ? SqlValue() : SqlValue(table),
                                       secondsValue(c.every),
                                       secondsValue(c.runFor),
                                       secondsValue(c.from),
                                       secondsValue(c.until),
                                       std::to_string(c.priority)};
    if (!db.exec(kInsertTask, values, &rows, error)) {
        if (db.sqlState() == kNoSuchSite) error = "there is no site " + quotedText(c.site);
        return refused(db, "task not added", error, err);
    }
    out << rows.text(0, 0) << "\n";
    return 0;
}

int listTasks(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    ArchiveConnection db;
    if (!connectPreparedArchive(db, c, err)) return 1;
    SqlRows rows;
    std::string error;
    if (!db.exec(kTasks, {c.siteGiven ? SqlValue(c.site) : SqlValue()}, &rows, error))
        return refused(db, "cannot list the tasks", error, err);
    if (c.csv) {
        writeCsvRows("task,site,name,state,priority,every_seconds,for_seconds,from,until,options", rows, {1, 2, 3, 7, 8, 9},
                     out);
        return 0;
    }
    std::vector<std::vector<std::string>> cells{
        {"task", "site", "name", "state", "priority", "every", "for", "from", "until", "options"}};
    for (size_t i = 0; i < rows.rows.size(); ++i)
        cells.push_back({rows.text(i, 0), rows.text(i, 1), rows.text(i, 2), rows.text(i, 3), rows.text(i, 4),
                         durationText(rows.text(i, 5)), durationText(rows.text(i, 6)), rows.text(i, 7),
                         rows.text(i, 8), rows.text(i, 9)});
    writeColumns(cells, out);
    return 0;
}

int listTaskRuns(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    ArchiveConnection db;
    if (!connectPreparedArchive(db, c, err)) return 1;
    SqlRows rows;
    std::string error;
    if (!db.exec(kRuns, {c.siteGiven ? SqlValue(c.site) : SqlValue()}, &rows, error))
        return refused(db, "cannot list the task runs", error, err);
    std::vector<std::vector<std::string>> cells{{"task", "site", "started", "ended", "survey", "records", "outcome"}};
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        cells.emplace_back();
        for (size_t k = 0; k < 7; ++k) cells.back().push_back(rows.text(i, k));
    }
    writeColumns(cells, out);
    return 0;
}

int switchTask(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    ArchiveConnection db;
    if (!connectPreparedArchive(db, c, err)) return 1;
    const std::string verb = c.name.substr(c.name.find(' ') + 1);
    const std::string sql = verb == "rm" ? "DELETE FROM zarn.tasks WHERE id = $1::integer RETURNING site"
                                         : "UPDATE zarn.tasks SET enabled = $2::boolean, changed_at = now() "
                                           "WHERE id = $1::integer RETURNING site";
    std::vector<SqlValue> values{c.operand};
    if (verb != "rm") values.emplace_back(verb == "start" ? "true" : "false");
    SqlRows rows;
    std::string error;
    if (!db.exec(sql, values, &rows, error)) return refused(db, "task " + c.operand + " not changed", error, err);
    if (rows.empty()) {
        err << "zarnlog: there is no task " << c.operand << " (or it is another site's)\n";
        return 1;
    }
    const char* done = verb == "rm" ? "removed" : verb == "start" ? "started" : "stopped";
    out << "task " << c.operand << " of site " << quotedText(rows.text(0, 0)) << " " << done << "\n";
    return 0;
}

}  // namespace zarn
