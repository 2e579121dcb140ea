#include "tools/zarnlog/archive_command.h"

#include "survey/json_writer.h"

namespace zarn {

bool connectArchive(ArchiveConnection& db, const ArchiveCommand& c, std::ostream& err) {
    std::string error;
    if (db.open(c.conninfo, "zarnlog", error)) return true;
    err << "zarnlog: cannot connect to the archive (" << db.target() << "): " << error << "\n";
    return false;
}

std::string quotedText(const std::string& text) {
    std::string out;
    appendJsonString(out, text);
    return out;
}

}  // namespace zarn
