#pragma once
// `zarnlog site add NAME --role ROLE [--position LAT,LON] [--description TEXT]` registers a
// site and grants its role what a site needs; `zarnlog site list [--csv]` shows every site
// with its health (`silent` when not heard from for three heartbeats); `zarnlog site rm NAME`
// removes a site that has no surveys, and what its role was granted. The database decides
// who may: an operator, to whom the DBA granted EXECUTE on zarn.add_site and zarn.remove_site.

#include <ostream>

#include "tools/zarnlog/archive_command.h"

namespace zarn {

int addSite(const ArchiveCommand& c, std::ostream& out, std::ostream& err);
int listSites(const ArchiveCommand& c, std::ostream& out, std::ostream& err);
int removeSite(const ArchiveCommand& c, std::ostream& out, std::ostream& err);

}  // namespace zarn
