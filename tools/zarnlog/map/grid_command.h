#pragma once
// `zarnlog grid`: a coverage grid of one frequency over the archive's surveys,
// summed up in the database, written as map writes (log_grid.h); what it holds
// is said on `err`, its files on `out`.

#include <ostream>

#include "tools/zarnlog/archive_command.h"

namespace zarn {

int writeArchiveGrid(const ArchiveCommand& c, std::ostream& out, std::ostream& err);

}  // namespace zarn
