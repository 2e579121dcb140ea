#pragma once
// The rows a log record gives the archive, in PostgreSQL's binary COPY format:
// a row in zarn.records for every record, a row in zarn.sweeps for a sweep, a
// row in zarn.channel_readings for each channel a single-channel, table or
// best-servers record measured. The values are those of `zarnlog csv`:
//
// - single channel: slot 0 the cellular band, slot 1 PCS; table: the slot;
//   best servers: the rank (1..10). Band 800 or 1900 (NULL for a table slot's
//   band byte that is neither), the channel (NULL when the raster is unknown),
//   MHz (NULL where the CSV is empty), dBm. A band or slot the record holds as
//   not measured gives no row.
// - a sweep: band, first MHz, step, and every point's dBm in a real[] with NULL
//   for a point not measured (the CSV's nan); its peak. A sweep the CSV gives no
//   row (PCS, raster unknown) gives none.
// - notes as the CSV has them (UTF-8, control characters blank); none is NULL.
// - time: the device's clock, a timestamp without zone; geom: an EWKB point
//   (WGS 84) or NULL.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "recording/log_units.h"
#include "survey/track_join.h"

namespace zarn {

// Rows of one COPY ... FROM STDIN (FORMAT binary).
class CopyRows {
public:
    CopyRows() { clear(); }
    void clear();
    size_t rows() const { return rows_; }
    // The whole COPY data: the header, the rows, the trailer.
    std::string_view data();

    void beginRow(int16_t fields);
    void null();
    void int2(int16_t v);
    void int4(int32_t v);
    void int8(int64_t v);
    void float4(float v);
    void float8(double v);
    void text(std::string_view utf8);
    void timestamp(const LocalTime& t);
    void point(const Place& p);
    // A real[] of `count` levels in dBm; a NaN is an element that is NULL.
    void float4Array(const float* levels, size_t count);

private:
    void bytes(const void* p, size_t n) { buffer_.append(static_cast<const char*>(p), n); }
    void be16(uint16_t v);
    void be32(uint32_t v);
    void be64(uint64_t v);

    std::string buffer_;
    size_t rows_ = 0;
    bool ended_ = false;
};

// The COPY statements the rows are for, their columns in order.
extern const char* const kCopyRecords;
extern const char* const kCopySweeps;
extern const char* const kCopyChannelReadings;

class RecordRows {
public:
    RecordRows(uint32_t pcsRaster, int32_t survey) : plans_(pcsRaster), survey_(survey) {}
    void add(int64_t recordNo, const LogRecord& r, const std::optional<Place>& place);
    void clear();
    // The log's bytes the rows were made of.
    size_t logBytes() const { return logBytes_; }

    CopyRows records, sweeps, readings;

private:
    void reading(int64_t recordNo, int16_t slot, std::optional<uint8_t> band, uint32_t channel, uint32_t hz, float dbm);
    void sweep(int64_t recordNo, const LogRecord& r);

    LogPlans plans_;
    int32_t survey_;
    size_t logBytes_ = 0;
    Sweep sweep_;
    std::vector<TableReading> slots_;
    std::vector<ServerRank> ranks_;
    std::vector<float> levels_;
};

}  // namespace zarn
