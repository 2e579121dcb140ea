#pragma once
// `zarnlog db init` makes or upgrades the archive's schema; `zarnlog db status`
// shows its version, surveys, records, size and prunes; `zarnlog db prune`
// removes the raw records of the hours before a time; `zarnlog db compact`
// merges what pushes added (archive_compact.h).

#include <ostream>

#include "tools/zarnlog/archive_command.h"

namespace zarn {

int initArchive(const ArchiveCommand& c, std::ostream& out, std::ostream& err);
int showArchiveStatus(const ArchiveCommand& c, std::ostream& out, std::ostream& err);
int pruneArchive(const ArchiveCommand& c, std::ostream& out, std::ostream& err);
int compactArchive(const ArchiveCommand& c, std::ostream& out, std::ostream& err);

}  // namespace zarn
