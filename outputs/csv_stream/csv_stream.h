#pragma once
// CsvStream: the records as CSV rows on a file descriptor as they are logged
// (zarn-record --csv -), an output of the record fan-out.
//
// - The rows are zarnlog csv's, byte for byte (survey/csv_rows.h), of the records
//   of one kind (the measurement's; the board's frames beside it are left out):
//   its header row once, before the first row, then each record's rows. A
//   record's text is written whole before the next record is taken,
//   straight to the descriptor, so a reader has each row as its record is
//   logged.
// - A write that a signal interrupts goes on where it stopped. One that fails
//   (the reader went away: EPIPE) fails the output with the reason, named
//   after `what` ("standard output: Broken pipe").
// - cancel() (the end's deadline passed): a write still waiting on a reader
//   that takes nothing stops within a tenth of a second and the output fails;
//   the stream may then end inside a row.

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "outputs/record_fanout.h"
#include "survey/csv_rows.h"

namespace zarn {

class CsvStream : public RecordOutput {
public:
    CsvStream(int fd, std::string what, CsvKind kind);
    void record(const OutputRecord& r) override;
    void cancel() override { cancelled_ = true; }

private:
    void writeAll(std::string_view text);

    int fd_;
    std::string what_;
    CsvKind kind_;
    std::optional<CsvRows> rows_;
    bool headerWritten_ = false;
    std::string text_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace zarn
