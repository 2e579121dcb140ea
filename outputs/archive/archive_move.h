#pragma once
// Version 2 of the schema zarn: the tables of version 1 (a row per record and per
// reading) become packs (archive_layout.h), in the caller's transaction:
//
// - the grants on the tables and views of version 1 are noted;
// - records, sweeps and channel_readings step aside, the packed tables come,
//   every survey's rows move into packs as a push would make them (a pack ends
//   where record numbers or byte offsets skip or a damaged stretch lies
//   between), each pack pushed when its last record was, and the hourly
//   figures are summed from them;
// - the old tables go, the views of version 1 return over the packs with the
//   same names, columns and values, and the noted grants are given again:
//   readers may read the new tables and views, roles that could push may
//   push (and fill gaps) into them.

#include <string>

#include "outputs/archive/archive_connection.h"

namespace zarn {

bool moveToPacks(ArchiveConnection& db, std::string& error);

}  // namespace zarn
