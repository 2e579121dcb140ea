#pragma once
// `zarnlog csv`: one CSV per record type, values in MHz and dBm, read and
// written one record at a time.
//
// - single channel, channel table, best servers and frames: a header row, then
//   time (ISO 8601, local as stored) and note first.
// - spectrum: the rtl_power layout, no header row: date, time, Hz low, Hz high,
//   Hz step, samples (1: each point is one reading), then one dB value per
//   point; a point the sweep did not capture, or one past the band's end, is
//   "nan".
// - notes: every note with its time and record type, spectrum notes included.
// - With a placer, every file with a header row ends its rows with lat and
//   lon (degrees, WGS 84; empty where a record has no place); the spectrum
//   file keeps the rtl_power layout. Without one the files are as they were.
// - Notes are UTF-8 (see log_text.h). Values that need an unknown PCS raster
//   (PCS channel numbers, PCS table frequencies) are empty, and PCS sweeps
//   give no rows.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recording/log_reader.h"
#include "tools/zarnlog/track_join.h"

namespace zarn {

enum class CsvKind { SingleChannel, ChannelTable, Spectrum, BestServers, Frames, Notes };
const char* csvSuffix(CsvKind kind);  // "single", "table", "spectrum", "servers", "frames", "notes"

// Takes the text of each kind: first at the kind's first row (header row
// included), in the order the kinds appear in the log, then the rest in
// pieces. False stops the export.
using CsvOutput = std::function<bool(CsvKind kind, std::string_view text)>;

// Where a record was; nullopt when it has no place. Asked once for each
// record that gives a row with lat and lon.
using RecordPlacer = std::function<std::optional<Place>(const LogRecord&)>;

// False when `out` stopped it or a read error cut it short.
bool writeCsv(LogReader& reader, const LogHeader& header, const CsvOutput& out, const DamageSink& damaged = {},
              const RecordPlacer& place = {});

// Writes <dir>/<stem>-<suffix>.csv files, named in `written` as they are
// begun. On failure (error names the file and the system's reason) every file
// it began is removed again: none of them is whole.
bool writeCsvFiles(LogReader& reader, const LogHeader& header, const std::string& dir, const std::string& stem,
                   std::vector<std::string>& written, std::string& error, const DamageSink& damaged = {},
                   const RecordPlacer& place = {});

// Exact decimal texts: -1000/16 dB is "-62.5", 881520000 Hz is "881.52".
void appendDbm(std::string& out, int16_t sixteenths);
void appendMegahertz(std::string& out, uint32_t hz);

}  // namespace zarn
