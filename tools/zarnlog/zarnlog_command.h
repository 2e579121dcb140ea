#pragma once
// The zarnlog command line: `info`, `csv`, `plot`, `map` and `occupancy` over one log
// file, `report` over one or more, each handed to its family's folder; `push`,
// `db` and `grid` on the team's archive (archive_command_line.h).
// Returns the exit status: 0 (also for a log with damaged stretches, each
// reported on `err` with its byte offset and length), 1 when the file or its
// header cannot be read or an output cannot be written, 2 for a bad command
// line.

#include <ostream>
#include <string>
#include <vector>

namespace zarn {

int runZarnlog(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const kZarnlogHelp;

}  // namespace zarn
