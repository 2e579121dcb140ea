#pragma once
// `zarnlog csv`: one CSV per record type, values in MHz and dBm.
//
// - single channel, channel table, best servers and frames: a header row, then
//   time (ISO 8601, local as stored) and note first.
// - spectrum: the rtl_power layout, no header row: date, time, Hz low, Hz high,
//   Hz step, samples (1: each point is one reading), then one dB value per
//   point; a point the sweep did not capture is "nan".
// - notes: every note with its time and record type, spectrum notes included.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/zarnlog/loaded_log.h"

namespace zarn {

enum class CsvKind { SingleChannel, ChannelTable, Spectrum, BestServers, Frames, Notes };
const char* csvSuffix(CsvKind kind);  // "single", "table", "spectrum", "servers", "frames", "notes"

// Asks `open` once for the stream of each kind the log holds, before its first row.
void writeCsv(const LoadedLog& log, const std::function<std::ostream&(CsvKind)>& open);
// Writes <dir>/<stem>-<suffix>.csv files; false with error when one cannot be written.
bool writeCsvFiles(const LoadedLog& log, const std::string& dir, const std::string& stem,
                   std::vector<std::string>& written, std::string& error);

// Exact decimal texts: -1000/16 dB is "-62.5", 881520000 Hz is "881.52".
void appendDbm(std::string& out, int16_t sixteenths);
void appendMegahertz(std::string& out, uint32_t hz);

}  // namespace zarn
