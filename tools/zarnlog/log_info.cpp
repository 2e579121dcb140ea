#include "tools/zarnlog/log_info.h"

#include <map>

namespace zarn {

std::string recordTypeName(uint8_t type) {
    switch (type) {
    case 216: return "single channel";
    case 217: return "channel table";
    case 218: return "spectrum";
    case 219: return "best servers";
    default: return "frame " + std::to_string(type);
    }
}

void writeInfo(const LoadedLog& log, std::ostream& out) {
    out << "version: " << log.header.version << "\n";
    out << "PCS raster: " << log.header.pcsRaster / 1000 << " kHz\n";
    out << "records: " << log.records.size() << "\n";
    std::map<uint8_t, size_t> counts;
    for (const LogRecord& r : log.records) ++counts[r.type];
    for (auto [type, count] : counts) out << "  " << int(type) << " " << recordTypeName(type) << ": " << count << "\n";
    if (!log.records.empty()) {
        out << "first: " << isoTime(log.records.front().time) << "\n";
        out << "last: " << isoTime(log.records.back().time) << "\n";
    }
    size_t notes = 0;
    for (const LogRecord& r : log.records) notes += !r.note.empty();
    out << "notes: " << notes << "\n";
    for (const LogRecord& r : log.records)
        if (!r.note.empty()) out << "  " << isoTime(r.time) << " " << r.note << "\n";
    if (log.damaged) out << "damaged: " << log.problem << " at byte " << log.badOffset << "\n";
}

}  // namespace zarn
