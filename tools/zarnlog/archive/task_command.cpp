#include "tools/zarnlog/archive/task_command.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "outputs/archive/site_desk.h"
#include "shell/record_options.h"
#include "survey/occupancy.h"

namespace zarn {
namespace {


int refused(ArchiveConnection& db, const std::string& what, const std::string& error, std::ostream& err) {
    err << "zarnlog: " << db.target() << ": " << what << ": " << error;
    if (db.sqlState() == kNoPrivilege) err << " (an operator manages tasks: see docs/network.md)";
    err << "\n";
    return 1;
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

std::string durationText(const std::string& seconds) {
    return seconds.empty() ? "" : periodText(std::stoll(seconds));
}

}  // namespace

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
    NewTask task{c.site, c.taskName.empty() ? std::nullopt : std::optional(c.taskName),
                 table.empty() ? std::nullopt : std::optional(table), c.taskOptions, c.every, c.runFor, c.from, c.until,
                 c.priority};
    int id = 0;
    std::string error;
    if (!insertTask(db, task, id, error)) {
        if (db.sqlState() == kNoSuchRow) error = "there is no site " + quotedText(c.site);
        return refused(db, "task not added", error, err);
    }
    out << id << "\n";
    return 0;
}

int listTasks(const ArchiveCommand& c, std::ostream& out, std::ostream& err) {
    ArchiveConnection db;
    if (!connectPreparedArchive(db, c, err)) return 1;
    SqlRows rows;
    std::string error;
    if (!readTaskList(db, c.siteGiven ? std::optional(c.site) : std::nullopt, rows, error))
        return refused(db, "cannot list the tasks", error, err);
    for (auto& row : rows.rows) row.resize(10);  // the options as text, as the list has always had them
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
    if (!readTaskRuns(db, c.siteGiven ? std::optional(c.site) : std::nullopt, rows, error))
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
    const TaskSwitch to = verb == "rm" ? TaskSwitch::Remove : verb == "start" ? TaskSwitch::Start : TaskSwitch::Stop;
    std::optional<std::string> site;
    std::string error;
    if (!switchTask(db, std::stoll(c.operand), to, site, error))
        return refused(db, "task " + c.operand + " not changed", error, err);
    if (!site) {
        err << "zarnlog: there is no task " << c.operand << " (or it is another site's)\n";
        return 1;
    }
    const char* done = verb == "rm" ? "removed" : verb == "start" ? "started" : "stopped";
    out << "task " << c.operand << " of site " << quotedText(*site) << " " << done << "\n";
    return 0;
}

}  // namespace zarn
