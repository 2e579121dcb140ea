// Arbitrary bytes as a log file: the reader, the unit decoding, every CSV and
// the replay's frames must take whatever a damaged storage card holds.
#include <cstddef>
#include <cstdint>
#include <sstream>

#include "tools/board_sim/replay_feed.h"
#include "tools/zarnlog/log_csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zarn::LoadedLog log;
    if (zarn::loadLog(std::vector<uint8_t>(data, data + size), log)) {
        std::ostringstream sink;
        zarn::writeCsv(log, [&](zarn::CsvKind) -> std::ostream& { return sink; });
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
