#pragma once
// `zarnlog csv`: one CSV per record type, values in MHz and dBm, read and
// written one record at a time.
//
// Rows as csv_rows.h makes them, one file per kind. With a placer, every file
// with a header row ends its rows with lat and lon (degrees, WGS 84; empty where
// a record has no place); the spectrum file keeps the rtl_power layout. Without
// one the files are as they were.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recording/log_reader.h"
#include "survey/csv_rows.h"
#include "survey/track_join.h"

namespace zarn {

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

}  // namespace zarn
