#include "outputs/archive/site_desk.h"

#include <charconv>

#include "survey/json_writer.h"

namespace zarn {
namespace {

const char* const kSitesWithHealth = R"sql(
SELECT s.name, s.role, to_char(h.at AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'),
       floor(extract(epoch FROM now() - h.at))::bigint,
       CASE WHEN h.site IS NULL THEN 'never heard'
            WHEN h.at < now() - 3 * h.heartbeat * interval '1 second' THEN 'silent'
            ELSE h.state END,
       h.task, h.log, h.backlog, h.disk_free, h.alarms, s.lat, s.lon, s.description, h.heartbeat, h.records,
       h.dropped, h.uptime, h.version, h.fix
FROM zarn.sites s LEFT JOIN zarn.health h ON h.site = s.name
ORDER BY s.name
)sql";

const char* const kTasks = R"sql(
SELECT t.id, t.site, t.name, CASE WHEN t.enabled THEN 'on' ELSE 'stopped' END, t.priority,
       extract(epoch FROM t.every)::bigint, extract(epoch FROM t.run_for)::bigint,
       to_char(t.from_time AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'),
       to_char(t.until_time AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'), array_to_string(t.options, ' '),
       array_to_json(t.options)
FROM zarn.tasks t WHERE $1::text IS NULL OR t.site = $1 ORDER BY t.site, t.priority DESC, t.id
)sql";

// LIMIT NULL is no limit.
const char* const kRuns = R"sql(
SELECT task, site, started, ended, survey, records, outcome
FROM (SELECT coalesce(r.task::text, '-') AS task, r.site,
             to_char(r.started_at AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"') AS started,
             to_char(r.ended_at AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"') AS ended,
             coalesce(r.survey::text, '-') AS survey, r.records, r.outcome, r.started_at, r.id
      FROM zarn.task_runs r WHERE $1::text IS NULL OR r.site = $1
      ORDER BY r.started_at DESC, r.id DESC LIMIT $2::bigint) newest
ORDER BY started_at, id
)sql";

const char* const kInsertTask = R"sql(
INSERT INTO zarn.tasks (site, name, options, table_text, every, run_for, from_time, until_time, priority)
VALUES ($1, $2, ARRAY(SELECT json_array_elements_text($3::json)), $4, $5::bigint * interval '1 second',
        $6::bigint * interval '1 second', to_timestamp($7::bigint), to_timestamp($8::bigint), $9::integer)
RETURNING id
)sql";

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

SqlValue siteValue(const std::optional<std::string>& site) { return site ? SqlValue(*site) : SqlValue(); }

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

bool readSitesWithHealth(ArchiveConnection& db, SqlRows& rows, std::string& error) {
    return db.exec(kSitesWithHealth, {}, &rows, error);
}

bool readTaskList(ArchiveConnection& db, const std::optional<std::string>& site, SqlRows& rows, std::string& error) {
    return db.exec(kTasks, {siteValue(site)}, &rows, error);
}

bool readTaskRuns(ArchiveConnection& db, const std::optional<std::string>& site, SqlRows& rows, std::string& error,
                  std::optional<int> newest) {
    return db.exec(kRuns, {siteValue(site), newest ? SqlValue(std::to_string(*newest)) : SqlValue()}, &rows, error);
}

bool insertTask(ArchiveConnection& db, const NewTask& task, int& id, std::string& error) {
    const std::vector<SqlValue> values{task.site,
                                       task.name ? SqlValue(*task.name) : SqlValue(),
                                       jsonArray(task.options),
                                       task.table ? SqlValue(*task.table) : SqlValue(),
                                       secondsValue(task.every),
                                       secondsValue(task.runFor),
                                       secondsValue(task.from),
                                       secondsValue(task.until),
                                       std::to_string(task.priority)};
    SqlRows rows;
    if (!db.exec(kInsertTask, values, &rows, error)) return false;
    id = std::stoi(rows.text(0, 0));
    return true;
}

bool switchTask(ArchiveConnection& db, long long id, TaskSwitch to, std::optional<std::string>& site, std::string& error) {
    const std::string sql = to == TaskSwitch::Remove ? "DELETE FROM zarn.tasks WHERE id = $1::integer RETURNING site"
                                                     : "UPDATE zarn.tasks SET enabled = $2::boolean, changed_at = now() "
                                                       "WHERE id = $1::integer RETURNING site";
    std::vector<SqlValue> values{std::to_string(id)};
    if (to != TaskSwitch::Remove) values.emplace_back(to == TaskSwitch::Start ? "true" : "false");
    SqlRows rows;
    if (!db.exec(sql, values, &rows, error)) return false;
    site = rows.empty() ? std::nullopt : std::optional<std::string>(rows.text(0, 0));
    return true;
}

}  // namespace zarn
