#include "tools/zarnlog/text/log_info.h"

#include <map>

#include "survey/log_text.h"

namespace zarn {

bool writeInfo(LogReader& reader, const LogHeader& header, std::ostream& out, const DamageSink& damaged) {
    std::map<uint8_t, size_t> counts;
    size_t records = 0, notes = 0;
    LocalTime first{}, last{};
    const bool read = forEachRecord(reader, [&](const LogRecord& r) {
        if (records++ == 0) first = r.time;
        last = r.time;
        ++counts[r.type];
        notes += !r.note.empty();
        return true;
    }, damaged);
    if (!read) return false;
    out << "version: " << header.version << "\n";
    if (header.pcsRaster) out << "PCS raster: " << header.pcsRaster / 1000 << " kHz\n";
    else out << "PCS raster: unknown (header byte " << int(header.rasterByte) << ")\n";
    out << "records: " << records << "\n";
    for (auto [type, count] : counts) out << "  " << int(type) << " " << recordTypeName(type) << ": " << count << "\n";
    if (records) {
        out << "first: " << isoTime(first) << "\n";
        out << "last: " << isoTime(last) << "\n";
    }
    out << "notes: " << notes << "\n";
    const size_t stretches = reader.damagedStretches(), skipped = reader.damagedBytes();
    if (notes && !forEachRecord(reader, [&](const LogRecord& r) {
            if (!r.note.empty()) out << "  " << isoTime(r.time) << " " << noteForTerminal(r.note) << "\n";
            return true;
        }))
        return false;
    if (stretches)
        out << "damaged: " << stretches << (stretches == 1 ? " stretch, " : " stretches, ") << skipped
            << " bytes skipped\n";
    return true;
}

}  // namespace zarn
