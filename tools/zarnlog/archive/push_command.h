#pragma once
// `zarnlog push`: each log's records, placed on its track, into the archive;
// again only what is not there yet. The schema is made or upgraded first.

#include <ostream>

#include "tools/zarnlog/archive_command.h"

namespace zarn {

// 0, or 1 when a log could not be pushed whole (each failure on `err`).
int pushLogs(ArchiveCommand& c, std::ostream& err);

}  // namespace zarn
