#include "tools/zarn_fleet/fleet_api.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <map>
#include <set>
#include <sstream>

#include "outputs/archive/site_desk.h"
#include "shell/record_options.h"
#include "survey/json_writer.h"
#include "survey/log_text.h"
#include "survey/log_time.h"
#include "tools/zarn_fleet/fleet_json.h"

namespace zarn {
namespace {

constexpr long long kLongestWindow = 62 * 86400;
constexpr int kMostEvents = 1000;
constexpr int kNewestRuns = 200;
// A picture's hours x frequencies: a month by two thousand frequencies, some 12 MB of JSON.
constexpr size_t kLargestPicture = 2'000'000;
constexpr const char* kStatementTooLong = "57014";
constexpr const char* kPrefix = "/api/sites/";

// Text the database takes: valid UTF-8, without NUL.
bool databaseText(std::string_view text) { return text.find('\0') == std::string_view::npos && validUtf8(text) == text; }

bool allDatabaseText(const std::vector<std::pair<std::string, std::string>>& pairs) {
    return std::all_of(pairs.begin(), pairs.end(),
                       [](const auto& pair) { return databaseText(pair.first) && databaseText(pair.second); });
}

HttpReply json(std::string body, unsigned status = 200) { return {status, "application/json", std::move(body)}; }
HttpReply refusal(unsigned status, const std::string& message) { return json(errorJson(message), status); }

// The archive's failure: away (503), or the database refused (403 for a privilege).
HttpReply archiveFailure(const std::string& error, const std::string& sqlState) {
    if (sqlState == kNoPrivilege) return refusal(403, "the database refuses: " + error);
    if (sqlState.empty() || sqlState == kStatementTooLong) return refusal(503, "the archive: " + error);
    return refusal(500, "the archive: " + error);
}

std::optional<long long> parseTime(std::string text) {
    if (!text.empty() && text.back() == 'Z') text.pop_back();
    if (text.size() == 10) text += "T00:00";
    return parseStamp(text);
}

std::string timeText(long long seconds) { return isoTime(stampTime(seconds)) + "Z"; }

struct Window {
    std::string site;
    int band = 0;
    long long from = 0, to = 0;
    std::optional<double> mhz;
};

// The hourly query's parameters, or what is wrong with them.
std::string readWindow(const HttpRequest& r, Window& w) {
    const std::string* band = r.parameter("band");
    if (!band || (*band != "800" && *band != "1900")) return "band must be 800 or 1900";
    w.band = std::stoi(*band);
    const std::string *from = r.parameter("from"), *to = r.parameter("to");
    const auto begin = from ? parseTime(*from) : std::nullopt, end = to ? parseTime(*to) : std::nullopt;
    if (!begin) return "from must be a time YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS]";
    if (!end) return "to must be a time YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS]";
    if (*end <= *begin) return "to must be after from";
    if (*end - *begin > kLongestWindow) return "a window of at most 62 days, from to to";
    w.from = *begin / 3600 * 3600;
    w.to = *end;
    if (const std::string* mhz = r.parameter("mhz")) {
        char* stop = nullptr;
        errno = 0;
        const double value = std::strtod(mhz->c_str(), &stop);
        if (mhz->empty() || *stop || errno || !std::isfinite(value) || value <= 0 || value > 3000)
            return "mhz must be a frequency in MHz";
        w.mhz = value;
    }
    return {};
}

const char* const kPicture = R"sql(
SELECT extract(epoch FROM hour)::bigint, hz, round((10 * log10(sum(sum_mw) / sum(samples)))::numeric, 1)
FROM zarn.hourly_figures
WHERE site = $1 AND band = $2::smallint AND hour >= 'epoch'::timestamp + $3::bigint * interval '1 second'
  AND hour < 'epoch'::timestamp + $4::bigint * interval '1 second'
GROUP BY hour, hz ORDER BY hour, hz
)sql";

const char* const kDayProfile = R"sql(
SELECT h, samples, round(mean::numeric, 2), zarn.bins_percentile(b[1], b[2:], 0.1),
       zarn.bins_percentile(b[1], b[2:], 0.5), zarn.bins_percentile(b[1], b[2:], 0.9)
FROM (SELECT extract(hour FROM hour)::integer AS h, sum(samples) AS samples,
             10 * log10(sum(sum_mw) / sum(samples)) AS mean, zarn.sum_bins(low_bin, bins) AS b
      FROM zarn.hourly_figures
      WHERE site = $1 AND band = $2::smallint AND hz = round($5::float8 * 1e6)::bigint
        AND hour >= 'epoch'::timestamp + $3::bigint * interval '1 second'
        AND hour < 'epoch'::timestamp + $4::bigint * interval '1 second'
      GROUP BY 1) x
ORDER BY h
)sql";

std::string windowHead(const Window& w) {
    std::string out = "{\"site\":";
    appendJsonString(out, w.site);
    out += ",\"band\":" + std::to_string(w.band) + ",\"from\":\"" + timeText(w.from) + "\",\"to\":\"" +
           timeText(w.to) + "\"";
    return out;
}

// Hour by hour from `from`, a row of mean dBm per frequency (null where none was measured);
// nullopt when that is more than kLargestPicture cells.
std::optional<std::string> pictureJson(const Window& w, const SqlRows& rows) {
    std::set<long long> frequencies;
    for (size_t i = 0; i < rows.rows.size(); ++i) frequencies.insert(std::stoll(rows.text(i, 1)));
    const size_t hours = static_cast<size_t>((w.to - w.from + 3599) / 3600);
    if (hours * frequencies.size() > kLargestPicture) return std::nullopt;
    std::map<long long, size_t> column;
    std::string out = windowHead(w) + ",\"mhz\":[";
    for (const long long hz : frequencies) {
        if (!column.empty()) out += ',';
        out += numberText(hz / 1e6);
        column.emplace(hz, column.size());
    }
    std::vector<std::string> cells(hours * frequencies.size(), "null");
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        const long long hour = (std::stoll(rows.text(i, 0)) - w.from) / 3600;
        if (hour >= 0 && static_cast<size_t>(hour) < hours)
            cells[static_cast<size_t>(hour) * frequencies.size() + column[std::stoll(rows.text(i, 1))]] =
                jsonNumberOrNull(rows.rows[i][2]);
    }
    out += "],\"hours\":" + std::to_string(hours) + ",\"mean\":[";
    for (size_t i = 0; i < cells.size(); ++i) out += (i ? "," : "") + cells[i];
    return out + "]}";
}

std::string profileJson(const Window& w, const SqlRows& rows) {
    std::string out = windowHead(w) + ",\"mhz\":" + numberText(*w.mhz) + ",\"hours\":[";
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        const auto number = [&](size_t column) { return jsonNumberOrNull(rows.rows[i][column]); };
        out += std::string(i ? "," : "") + "{\"hour\":" + number(0) + ",\"samples\":" + number(1) +
               ",\"mean\":" + number(2) + ",\"p10\":" + number(3) + ",\"p50\":" + number(4) +
               ",\"p90\":" + number(5) + "}";
    }
    return out + "]}";
}

bool siteExists(ArchiveConnection& db, const std::string& site, bool& exists, std::string& error) {
    SqlRows rows;
    if (!db.exec("SELECT 1 FROM zarn.sites WHERE name = $1", {site}, &rows, error)) return false;
    exists = !rows.empty();
    return true;
}

HttpReply hourly(FleetArchive& archive, const HttpRequest& r, Window w) {
    if (const std::string problem = readWindow(r, w); !problem.empty()) return refusal(400, problem);
    std::string error, state;
    std::optional<std::string> body;
    bool exists = false;
    const bool ok = archive.use(
        [&](ArchiveConnection& db, std::string& e) {
            SqlRows rows;
            std::vector<SqlValue> values{w.site, std::to_string(w.band), std::to_string(w.from), std::to_string(w.to)};
            if (w.mhz) values.emplace_back(numberText(*w.mhz));
            if (!siteExists(db, w.site, exists, e) || !exists) return exists || e.empty();
            if (!db.exec(w.mhz ? kDayProfile : kPicture, values, &rows, e)) return false;
            if (w.mhz) body = profileJson(w, rows);
            else body = pictureJson(w, rows);
            return true;
        },
        error, state);
    if (!ok) return archiveFailure(error, state);
    if (!exists) return refusal(404, "there is no site " + w.site);
    if (!body)
        return refusal(400, "a picture of at most " + std::to_string(kLargestPicture) +
                                " cells, hours by frequencies: a shorter window");
    return json(std::move(*body));
}

const char* const kLatestEvents = R"sql(
SELECT e.id, e.site, to_char(e.at AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"'), e.kind, e.detail
FROM zarn.events e WHERE e.site = $1 ORDER BY e.at DESC, e.id DESC LIMIT $2::integer
)sql";

HttpReply events(FleetArchive& archive, const HttpRequest& r, const std::string& site) {
    int limit = 100;
    if (const std::string* given = r.parameter("limit")) {
        char* stop = nullptr;
        const long value = std::strtol(given->c_str(), &stop, 10);
        if (given->empty() || *stop || value < 1 || value > kMostEvents)
            return refusal(400, "limit must be a whole number from 1 to " + std::to_string(kMostEvents));
        limit = static_cast<int>(value);
    }
    std::string error, state, body;
    bool exists = false;
    const bool ok = archive.use(
        [&](ArchiveConnection& db, std::string& e) {
            SqlRows rows;
            if (!siteExists(db, site, exists, e) || !exists) return exists || e.empty();
            if (!db.exec(kLatestEvents, {site, std::to_string(limit)}, &rows, e)) return false;
            body = "{\"events\":" + eventsJson(rows) + "}";
            return true;
        },
        error, state);
    if (!ok) return archiveFailure(error, state);
    return exists ? json(body) : refusal(404, "there is no site " + site);
}

HttpReply site(FleetArchive& archive, const std::string& name) {
    std::string error, state, body;
    const bool ok = archive.use(
        [&](ArchiveConnection& db, std::string& e) {
            SqlRows sites, tasks, runs;
            if (!readSitesWithHealth(db, sites, e) || !readTaskList(db, name, tasks, e) ||
                !readTaskRuns(db, name, runs, e, kNewestRuns))
                return false;
            for (size_t i = 0; i < sites.rows.size(); ++i)
                if (sites.text(i, 0) == name)
                    body = "{\"site\":" + siteJson(sites, i) + ",\"tasks\":" + tasksJson(tasks) +
                           ",\"runs\":" + runsJson(runs) + "}";
            return true;
        },
        error, state);
    if (!ok) return archiveFailure(error, state);
    return body.empty() ? refusal(404, "there is no site " + name) : json(body);
}

HttpReply sites(FleetArchive& archive) {
    std::string error, state, body;
    const bool ok = archive.use(
        [&](ArchiveConnection& db, std::string& e) {
            SqlRows rows;
            if (!readSitesWithHealth(db, rows, e)) return false;
            body = sitesJson(rows, std::time(nullptr));
            return true;
        },
        error, state);
    return ok ? json(body) : archiveFailure(error, state);
}

HttpReply tasks(FleetArchive& archive, const HttpRequest& r) {
    const std::string* site = r.parameter("site");
    std::string error, state, body;
    const bool ok = archive.use(
        [&](ArchiveConnection& db, std::string& e) {
            SqlRows rows;
            if (!readTaskList(db, site ? std::optional(*site) : std::nullopt, rows, e)) return false;
            body = "{\"tasks\":" + tasksJson(rows) + "}";
            return true;
        },
        error, state);
    return ok ? json(body) : archiveFailure(error, state);
}

// Words as a shell splits them: blanks between, quotes ('...' or "...") keeping blanks in one.
std::optional<std::vector<std::string>> words(const std::string& text) {
    std::vector<std::string> out;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (const char c : text) {
        if (quote) {
            if (c == quote) quote = 0;
            else word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) out.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote) return std::nullopt;
    if (inWord) out.push_back(std::move(word));
    return out;
}

std::string field(const std::vector<std::pair<std::string, std::string>>& fields, const char* name) {
    for (const auto& [key, value] : fields)
        if (key == name) return value;
    return {};
}

// A task to add from the form's fields, or what is wrong with them.
std::string readNewTask(const std::vector<std::pair<std::string, std::string>>& fields, NewTask& task) {
    task.site = field(fields, "site");
    if (task.site.empty()) return "site is required";
    const auto options = words(field(fields, "options"));
    if (!options || options->empty()) return "options must be zarn-record's measurement options";
    task.options = *options;
    RecordOptions measurement;
    std::ostringstream why;
    if (readTaskOptions(task.options, measurement, why))
        return "the options are zarn-record's, and it would refuse these: " + why.str();
    if (!measurement.tableFile.empty()) return "a task with --table is added with zarnlog task add, which reads the table";
    if (const std::string name = field(fields, "name"); !name.empty()) task.name = name;
    for (const auto& [key, into] : {std::pair{"every", &task.every}, std::pair{"for", &task.runFor}}) {
        const std::string text = field(fields, key);
        if (text.empty()) continue;
        if (!(*into = parseTaskDuration(text))) return std::string(key) + " must be a duration: 30s, 10m, 1h, 1d";
    }
    if (task.every && (!task.runFor || *task.runFor > *task.every)) return "every needs for, no longer than it";
    for (const auto& [key, into] : {std::pair{"from", &task.from}, std::pair{"until", &task.until}}) {
        const std::string text = field(fields, key);
        if (text.empty()) continue;
        if (!(*into = parseTime(text))) return std::string(key) + " must be a time YYYY-MM-DDTHH:MM[:SS], UTC";
    }
    if (task.from && task.until && *task.until <= *task.from) return "until must be after from";
    if (const std::string priority = field(fields, "priority"); !priority.empty()) {
        char* stop = nullptr;
        const long value = std::strtol(priority.c_str(), &stop, 10);
        if (*stop || value < -1000 || value > 1000) return "priority must be a whole number from -1000 to 1000";
        task.priority = static_cast<int>(value);
    }
    return {};
}

HttpReply changeTasks(FleetArchive& archive, const HttpRequest& r) {
    if (!r.operatorToken) return refusal(403, "changing tasks needs the operator's token");
    const auto fields = formFields(r.body);
    if (!fields) return refusal(400, "the body must be form fields (application/x-www-form-urlencoded)");
    if (!allDatabaseText(*fields)) return refusal(400, "the form's fields must be UTF-8 text without NUL");
    const std::string action = field(*fields, "action");
    std::string error, state, body;
    unsigned status = 200;
    if (action == "add") {
        NewTask task;
        if (const std::string problem = readNewTask(*fields, task); !problem.empty()) return refusal(400, problem);
        const bool ok = archive.use(
            [&](ArchiveConnection& db, std::string& e) {
                int id = 0;
                if (!insertTask(db, task, id, e)) return false;
                body = "{\"task\":" + std::to_string(id) + "}";
                return true;
            },
            error, state);
        if (!ok && state == kNoSuchRow) return refusal(404, "there is no site " + task.site);
        if (!ok) return archiveFailure(error, state);
        return json(body, 201);
    }
    if (action != "stop" && action != "start") return refusal(400, "action must be add, stop or start");
    const std::string number = field(*fields, "task");
    char* stop = nullptr;
    const long long id = std::strtoll(number.c_str(), &stop, 10);
    if (number.empty() || *stop || id < 1 || id > 2147483647) return refusal(400, "task must be a task's number");
    std::optional<std::string> site;
    const bool ok = archive.use(
        [&](ArchiveConnection& db, std::string& e) {
            return switchTask(db, id, action == "start" ? TaskSwitch::Start : TaskSwitch::Stop, site, e);
        },
        error, state);
    if (!ok) return archiveFailure(error, state);
    if (!site) return refusal(404, "there is no task " + number);
    body = "{\"task\":" + number + ",\"site\":";
    appendJsonString(body, *site);
    body += ",\"state\":\"" + std::string(action == "start" ? "on" : "stopped") + "\"}";
    return json(body, status);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> formDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') out += ' ';
        else if (text[i] != '%') out += text[i];
        else {
            const int high = i + 2 < text.size() ? hexDigit(text[i + 1]) : -1;
            const int low = high >= 0 ? hexDigit(text[i + 2]) : -1;
            if (low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        }
    }
    return out;
}

}  // namespace

std::optional<std::vector<std::pair<std::string, std::string>>> formFields(const std::string& body) {
    std::vector<std::pair<std::string, std::string>> fields;
    for (size_t at = 0; at < body.size();) {
        const size_t end = std::min(body.find('&', at), body.size());
        const std::string pair = body.substr(at, end - at);
        at = end + 1;
        if (pair.empty()) continue;
        const size_t equals = pair.find('=');
        const auto key = formDecoded(pair.substr(0, equals));
        const auto value = formDecoded(equals == std::string::npos ? "" : pair.substr(equals + 1));
        if (!key || !value) return std::nullopt;
        fields.emplace_back(*key, *value);
    }
    return fields;
}

HttpReply answerFleetApi(FleetArchive& archive, const HttpRequest& r) {
    const std::string& path = r.path;
    if (path == "/api/tasks" && r.method == "POST") return changeTasks(archive, r);
    if (r.method == "POST") return refusal(405, "only /api/tasks takes POST");
    if (!databaseText(path) || !allDatabaseText(r.query)) return refusal(400, "the path and query must be UTF-8 text");
    if (path == "/api/sites") return sites(archive);
    if (path == "/api/tasks") return tasks(archive, r);
    if (path.rfind(kPrefix, 0) != 0) return refusal(404, "no such path");
    std::string rest = path.substr(std::string(kPrefix).size());
    const size_t slash = rest.find('/');
    const std::string name = rest.substr(0, slash), what = slash == std::string::npos ? "" : rest.substr(slash + 1);
    if (name.empty()) return refusal(404, "no such path");
    if (what.empty()) return site(archive, name);
    if (what == "events") return events(archive, r, name);
    if (what == "hourly") {
        Window w;
        w.site = name;
        return hourly(archive, r, w);
    }
    return refusal(404, "no such path");
}

}  // namespace zarn
