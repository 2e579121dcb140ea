// Arbitrary bytes as a log file: the resynchronising reader, the unit
// decoding, every kind's CSV rows and JSON, the notes' texts and the replay's
// frames must take whatever a damaged storage card holds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recording/replay_feed.h"
#include "survey/csv_rows.h"
#include "survey/log_text.h"
#include "survey/record_json.h"

namespace {

// JSON text stays on its line and is UTF-8 whatever a note held.
bool plainUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<uint8_t>(text[i]);
        if (c < 0x20) return false;
        const size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (n == 0 || i + n > text.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

}  // namespace

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
        zarn::CsvRows rows(header.pcsRaster);
        zarn::RecordJson json(header.pcsRaster);
        std::string text;
        zarn::forEachRecord(reader, [&](const zarn::LogRecord& r) {
            text.clear();
            rows.append(r, text);
            rows.appendNoteRow(r, text);
            // A note shown on a terminal can move no cursor and change no colour.
            if (zarn::noteForTerminal(r.note).find('\x1b') != std::string::npos) __builtin_trap();
            text.clear();
            json.append(r, text);
            if (!plainUtf8(text)) __builtin_trap();
            return true;
        }, damaged);
        if (skipped != reader.damagedBytes() || stretches != reader.damagedStretches()) __builtin_trap();
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
