#pragma once
// The rows of one log record as `zarnlog csv` writes them, for zarnlog's files and for
// any program that streams records as they are logged (zarn-record --csv).
//
// - single channel, channel table, best servers and frames: time (ISO 8601, local as
//   stored) and note first; each kind's file starts with csvHeader(kind).
// - spectrum: the rtl_power layout, no header row: date, time, Hz low, Hz high,
//   Hz step, samples (1: each point is one reading), then one dB value per
//   point; a point the sweep did not capture, or one past the band's end, is "nan".
// - notes: every note with its time and record type, spectrum notes included.
// - Notes are UTF-8 (see log_text.h). Values that need an unknown PCS raster
//   (PCS channel numbers, PCS table frequencies) are empty, and PCS sweeps
//   give no rows. So is the level of a band or slot the record holds as not
//   measured.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "recording/log_reader.h"
#include "recording/log_units.h"

namespace zarn {

enum class CsvKind { SingleChannel, ChannelTable, Spectrum, BestServers, Frames, Notes };
const char* csvSuffix(CsvKind kind);  // "single", "table", "spectrum", "servers", "frames", "notes"
CsvKind csvKindOf(uint8_t recordType);
// `text` as a quoted CSV field.
void appendCsvText(std::string& out, std::string_view text);
// The header row with its line end ("" for spectrum), with lat and lon when the rows have them.
std::string csvHeader(CsvKind kind, bool positions = false);

class CsvRows {
public:
    explicit CsvRows(uint32_t pcsRaster) : plans_(pcsRaster) {}
    // Appends the rows of the record's kind (none for a sweep that gives no row);
    // `tail` ends each row but a spectrum row, before its line end.
    void append(const LogRecord& r, std::string& row, std::string_view tail = {});
    // Appends the record's row of the notes kind; nothing for a record without a note.
    void appendNoteRow(const LogRecord& r, std::string& row, std::string_view tail = {});

private:
    LogPlans plans_;
    Sweep sweep_;
    std::vector<TableReading> slots_;
    std::vector<ServerRank> ranks_;
};

// The value texts of the rows, shared with the record's JSON (record_json.h).
// Exact decimal texts: -1000/16 dB is "-62.5", 881520000 Hz is "881.52".
void appendDbm(std::string& out, int16_t sixteenths);
void appendMegahertz(std::string& out, uint32_t hz);
// Nothing and false for a value that is not known: frequency 0, kUnknownChannel, the
// level of a tuned band or table slot not measured (kEmptyLevel).
bool appendFrequency(std::string& out, uint32_t hz);
bool appendChannel(std::string& out, uint32_t channel);
bool appendReadingDbm(std::string& out, int16_t sixteenths);
// Lower-case hexadecimal, two digits a byte.
void appendHex(std::string& out, const uint8_t* bytes, size_t length);

}  // namespace zarn
