#pragma once
// The tasks a site follows, managed from the desk:
//   zarnlog task add --site NAME [--every D] [--for D] [--from T] [--until T] [--priority N]
//                    [--name TEXT] -- MEASUREMENT-OPTIONS
//   zarnlog task list [--site NAME], task runs [--site NAME], task stop|start|rm N
// The measurement options are zarn-record's, checked as it checks them (shell/record_options.h);
// a --table's contents go into the task, as the site has no such file. Times are UTC.
// The database decides who may: an operator writes tasks, a site's role reads its own.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/zarnlog/archive_command.h"

namespace zarn {

// After "task": its verb and what follows it, into `c`; the usage problem, or empty.
std::string takeTaskOperands(std::vector<std::string>& operands, ArchiveCommand& c);

int addTask(const ArchiveCommand& c, std::ostream& out, std::ostream& err);
int listTasks(const ArchiveCommand& c, std::ostream& out, std::ostream& err);
int listTaskRuns(const ArchiveCommand& c, std::ostream& out, std::ostream& err);
// task stop, task start, task rm.
int switchTask(const ArchiveCommand& c, std::ostream& out, std::ostream& err);

}  // namespace zarn
