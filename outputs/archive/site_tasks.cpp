#include "outputs/archive/site_tasks.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

namespace zarn {
namespace {

const char* const kTasks = R"sql(
SELECT t.id, t.priority, t.table_text, floor(extract(epoch FROM t.every))::bigint,
       floor(extract(epoch FROM t.run_for))::bigint, floor(extract(epoch FROM t.from_time))::bigint,
       floor(extract(epoch FROM t.until_time))::bigint, floor(extract(epoch FROM t.changed_at))::bigint,
       (SELECT floor(extract(epoch FROM max(r.started_at)))::bigint FROM zarn.task_runs r WHERE r.task = t.id)
FROM zarn.tasks t WHERE t.site = $1 AND t.enabled ORDER BY t.id
)sql";

const char* const kOptions = R"sql(
SELECT t.id, o.v FROM zarn.tasks t, unnest(t.options) WITH ORDINALITY o (v, n)
WHERE t.site = $1 AND t.enabled ORDER BY t.id, o.n
)sql";

std::optional<long long> number(const SqlValue& v) {
    return v ? std::optional(std::stoll(*v)) : std::nullopt;
}

// A line of the task file: a word, then its value escaped so that it stays on the line.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : std::string(1, c);
    return out;
}

std::string unescaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        out += text[i] == '\\' && i + 1 < text.size() ? (text[++i] == 'n' ? '\n' : text[i]) : text[i];
    return out;
}

std::string field(const std::optional<long long>& v) { return v ? std::to_string(*v) : "-"; }
std::optional<long long> fieldValue(const std::string& w) {
    return w == "-" ? std::nullopt : std::optional(std::stoll(w));
}

// `text` as the whole of `path`: written beside it, then renamed, so that a stop leaves one or the other.
bool writeWhole(const std::string& path, const std::string& text, std::string& error) {
    const std::string temporary = path + ".new";
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// A line's first word and the rest.
std::pair<std::string, std::string> splitLine(const std::string& line) {
    const size_t space = line.find(' ');
    return {line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1)};
}

}  // namespace

bool readSiteTasks(ArchiveConnection& db, const std::string& site, std::vector<SiteTask>& tasks, std::string& error) {
    SqlRows rows, options;
    if (!db.exec(kTasks, {site}, &rows, error) || !db.exec(kOptions, {site}, &options, error)) return false;
    tasks.clear();
    for (const auto& r : rows.rows) {
        SiteTask t;
        t.id = std::stoi(*r[0]);
        t.priority = std::stoi(*r[1]);
        t.table = r[2];
        t.every = number(r[3]);
        t.runFor = number(r[4]);
        t.from = number(r[5]);
        t.until = number(r[6]);
        t.changedAt = std::stoll(*r[7]);
        t.lastStart = number(r[8]);
        tasks.push_back(std::move(t));
    }
    for (const auto& o : options.rows)
        for (SiteTask& t : tasks)
            if (t.id == std::stoi(*o[0])) t.options.push_back(o[1].value_or(""));
    return true;
}

std::optional<long long> dueAt(const SiteTask& t, long long now) {
    const long long from = t.from.value_or(t.changedAt);
    std::optional<long long> due;
    if (!t.every) {
        const bool ran = t.lastStart && *t.lastStart >= std::min(from, t.changedAt);
        if (!ran) due = from;
    } else if (now < from) {
        due = from;
    } else {
        const long long occurrence = from + (now - from) / *t.every * *t.every;
        due = t.lastStart && *t.lastStart >= occurrence ? occurrence + *t.every : occurrence;
    }
    if (due && t.until && std::max(*due, now) >= *t.until) return std::nullopt;
    return due;
}

const SiteTask* taskToRun(const std::vector<SiteTask>& tasks, long long now) {
    const SiteTask* best = nullptr;
    for (const SiteTask& t : tasks) {
        const auto due = dueAt(t, now);
        if (!due || *due > now) continue;
        if (!best || t.priority > best->priority || (t.priority == best->priority && t.id < best->id)) best = &t;
    }
    return best;
}

std::optional<long long> runEnd(const SiteTask& t, long long start) {
    std::optional<long long> end;
    if (t.runFor) end = start + *t.runFor;
    if (t.until) end = std::min(end.value_or(*t.until), *t.until);
    return end;
}

bool recordTaskRun(ArchiveConnection& db, const std::string& site, const TaskRun& run, std::string& error) {
    return db.exec("INSERT INTO zarn.task_runs (task, site, started_at, ended_at, survey, records, outcome) "
                   "SELECT $1::integer, $2, to_timestamp($3::bigint), to_timestamp($4::bigint), $5::integer, "
                   "$6::bigint, $7 WHERE NOT EXISTS (SELECT FROM zarn.task_runs WHERE task = $1::integer AND "
                   "site = $2 AND started_at = to_timestamp($3::bigint))",
                   {std::to_string(run.task), site, std::to_string(run.started), std::to_string(run.ended),
                    run.survey ? SqlValue(std::to_string(*run.survey)) : SqlValue(), std::to_string(run.records),
                    run.outcome},
                   nullptr, error);
}

bool saveSiteTasks(const std::string& path, const std::vector<SiteTask>& tasks, std::string& error) {
    std::ostringstream out;
    out << "zarn-tasks 1\n";
    for (const SiteTask& t : tasks) {
        out << "task " << t.id << ' ' << t.priority << ' ' << field(t.every) << ' ' << field(t.runFor) << ' '
            << field(t.from) << ' ' << field(t.until) << ' ' << t.changedAt << ' ' << field(t.lastStart) << "\n";
        for (const std::string& o : t.options) out << "option " << escaped(o) << "\n";
        if (t.table) out << "table " << escaped(*t.table) << "\n";
    }
    return writeWhole(path, out.str(), error);
}

bool loadSiteTasks(const std::string& path, std::vector<SiteTask>& loaded, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != "zarn-tasks 1") {
        error = path + ": not a task file of this program";
        return false;
    }
    std::vector<SiteTask> tasks;
    try {
        while (std::getline(in, line)) {
            const auto [word, rest] = splitLine(line);
            if (word == "task") {
                std::istringstream w(rest);
                std::string f[8];
                for (std::string& each : f) w >> each;
                SiteTask t;
                t.id = std::stoi(f[0]);
                t.priority = std::stoi(f[1]);
                t.every = fieldValue(f[2]);
                t.runFor = fieldValue(f[3]);
                t.from = fieldValue(f[4]);
                t.until = fieldValue(f[5]);
                t.changedAt = std::stoll(f[6]);
                t.lastStart = fieldValue(f[7]);
                tasks.push_back(std::move(t));
            } else if (!tasks.empty() && word == "option") {
                tasks.back().options.push_back(unescaped(rest));
            } else if (!tasks.empty() && word == "table") {
                tasks.back().table = unescaped(rest);
            }
        }
    } catch (const std::exception&) {
        error = path + ": damaged";
        return false;
    }
    loaded = std::move(tasks);
    return true;
}

bool saveKeptRuns(const std::string& path, const KeptRuns& kept, std::string& error) {
    std::ostringstream out;
    out << "zarn-runs 1\n";
    for (const TaskRun& r : kept.runs)
        out << "run " << r.task << ' ' << r.started << ' ' << r.ended << "\nlog " << escaped(r.logFile)
            << "\noutcome " << escaped(r.outcome) << "\n";
    for (const HeldEvent& e : kept.events)
        out << "event " << e.at << ' ' << escaped(e.kind) << "\ndetail " << escaped(e.detail) << "\n";
    return writeWhole(path, out.str(), error);
}

bool loadKeptRuns(const std::string& path, KeptRuns& loaded, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != "zarn-runs 1") {
        error = path + ": not a file of runs of this program";
        return false;
    }
    KeptRuns kept;
    try {
        while (std::getline(in, line)) {
            const auto [word, rest] = splitLine(line);
            if (word == "run") {
                TaskRun r;
                std::istringstream(rest) >> r.task >> r.started >> r.ended;
                kept.runs.push_back(std::move(r));
            } else if (word == "event") {
                const auto [at, kind] = splitLine(rest);
                kept.events.push_back({std::stoll(at), unescaped(kind), {}});
            } else if (!kept.runs.empty() && word == "log") {
                kept.runs.back().logFile = unescaped(rest);
            } else if (!kept.runs.empty() && word == "outcome") {
                kept.runs.back().outcome = unescaped(rest);
            } else if (!kept.events.empty() && word == "detail") {
                kept.events.back().detail = unescaped(rest);
            }
        }
    } catch (const std::exception&) {
        error = path + ": damaged";
        return false;
    }
    loaded = std::move(kept);
    return true;
}

}  // namespace zarn
