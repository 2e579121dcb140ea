// Arbitrary bytes as a log file: the resynchronising reader, the unit
// decoding, info, every CSV and the replay's frames must take whatever a
// damaged storage card holds.
#include <cstddef>
#include <cstdint>
#include <sstream>

#include "tools/board_sim/replay_feed.h"
#include "tools/zarnlog/log_csv.h"
#include "tools/zarnlog/log_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zarn::LogReader reader(data, size);
    zarn::LogHeader header;
    if (reader.readHeader(header)) {
        size_t skipped = 0, stretches = 0;
        const auto damaged = [&](const zarn::LogDamage& d) {
            // Stretches lie inside the log, back to back with the records around them.
            if (d.length == 0 || d.offset + d.length > size) __builtin_trap();
            skipped += d.length;
            ++stretches;
        };
        std::ostringstream sink;
        zarn::writeCsv(reader, header, [&](zarn::CsvKind, std::string_view text) { return sink << text, true; }, damaged);
        if (skipped != reader.damagedBytes() || stretches != reader.damagedStretches()) __builtin_trap();
        zarn::writeInfo(reader, header, sink);
    }
    zarn::sim::ReplayFeed feed;
    std::string error;
    if (feed.load(std::vector<uint8_t>(data, data + size), error)) {
        std::vector<uint8_t> out;
        for (uint8_t mode : {1, 2, 5})
            while (feed.nextFrame(1e9, mode, size & 1, out) >= 0 && out.size() < (1u << 20)) {
            }
    }
    return 0;
}
