#pragma once
// CopyRows: rows for COPY ... FROM STDIN (FORMAT binary), PostgreSQL's binary
// COPY format, field by field: integers, floats, text, a timestamp without
// zone, an EWKB point (WGS 84) for PostGIS, arrays of one dimension with NULL
// elements where asked.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recording/log_file.h"
#include "survey/track_join.h"

namespace zarn {

// Rows of one COPY ... FROM STDIN (FORMAT binary).
class CopyRows {
public:
    CopyRows() { clear(); }
    void clear();
    size_t rows() const { return rows_; }
    size_t size() const { return buffer_.size(); }
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
    void boolean(bool v);
    void timestampMicros(int64_t unixMicros);
    // Arrays of one dimension; `present`, when given, is 0 for an element that is NULL.
    void int2Array(const int16_t* values, size_t count, const uint8_t* present = nullptr);
    void int4Array(const int32_t* values, size_t count, const uint8_t* present = nullptr);
    void float8Array(const double* values, size_t count, const uint8_t* present = nullptr);
    void textArray(const std::vector<std::string>& values, const uint8_t* present = nullptr);

private:
    template <typename T>
    void fixedArray(uint32_t oid, const T* values, size_t count, const uint8_t* present);
    void bytes(const void* p, size_t n) { buffer_.append(static_cast<const char*>(p), n); }
    void be16(uint16_t v);
    void be32(uint32_t v);
    void be64(uint64_t v);

    std::string buffer_;
    size_t rows_ = 0;
    bool ended_ = false;
};

}  // namespace zarn
