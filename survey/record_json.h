#pragma once
// The one JSON encoding of a written log record, for every output that sends
// records on (the live page, MQTT, the archive): one object a record, e.g.
//
//   {"time":"2024-05-14T11:00:03","offset":1234,"note":null,"kind":"single","type":216,
//    "values":[{"band":"800","channel":384,"mhz":881.52,"dbm":-62.5},
//              {"band":"1900","channel":25,"mhz":1931.25,"dbm":-75.0}]}
//
// - time: the record's stamp, the device's local clock as stored (ISO 8601,
//   no zone); offset: its byte offset in the log; note: UTF-8 as the CSV rows
//   write it (log_text.h), or null; kind: the suffix of its CSV file ("single",
//   "table", "spectrum", "servers", "frames"); type: the record type.
// - Then by kind:
//     single    values: the cellular reading, then the PCS one:
//               {band, channel, mhz, dbm}
//     table     values: a slot each: {slot, band, channel, mhz, dbm}
//     servers   values: a rank each: {rank, band, channel, mhz, dbm}, dbm whole
//     spectrum  sweep: {"band":"800","first_mhz":869.01,"step_mhz":0.03,
//               "dbm":[-90.5,null,...]}: the i-th level at first_mhz + i x step_mhz
//     frames    payload: the bytes in lower-case hexadecimal
// - band is "800" or "1900". Every number is the CSV rows' text of it, digit
//   for digit (csv_rows.h); null where a row leaves the field empty or writes
//   nan: a channel or frequency an unknown PCS raster hides, a point the sweep
//   did not measure, a band or slot the record holds as not measured. A sweep
//   that gives no CSV row (PCS, raster unknown) has sweep null; a payload that
//   does not decode as its type gives values [].

#include <cstdint>
#include <string>
#include <vector>

#include "recording/log_units.h"

namespace zarn {

class RecordJson {
public:
    explicit RecordJson(uint32_t pcsRaster) : plans_(pcsRaster) {}
    // Appends the record's object, without a line end.
    void append(const LogRecord& r, std::string& out);

private:
    LogPlans plans_;
    Sweep sweep_;
    std::vector<TableReading> slots_;
    std::vector<ServerRank> ranks_;
};

}  // namespace zarn
