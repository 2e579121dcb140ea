#include "outputs/archive/copy_rows.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "recording/log_reader.h"

namespace zarn {
namespace {

constexpr char kSignature[] = "PGCOPY\n\377\r\n";  // and its NUL: 11 bytes
constexpr int64_t kPostgresEpoch = 946684800;     // 2000-01-01 in Unix seconds
constexpr uint32_t kFloat4Oid = 700;
constexpr uint32_t kInt2Oid = 21;
constexpr uint32_t kInt4Oid = 23;
constexpr uint32_t kFloat8Oid = 701;
constexpr uint32_t kTextOid = 25;
constexpr uint32_t kPointWithSrid = 0x20000001;
constexpr uint32_t kWgs84 = 4326;

template <typename T>
void littleEndian(std::string& out, T v) {
    static_assert(std::endian::native == std::endian::little);
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

}  // namespace

void CopyRows::clear() {
    buffer_.assign(kSignature, sizeof kSignature);
    be32(0);  // flags
    be32(0);  // no header extension
    rows_ = 0;
    ended_ = false;
}

std::string_view CopyRows::data() {
    if (!ended_) be16(0xFFFF);
    ended_ = true;
    return buffer_;
}

void CopyRows::be16(uint16_t v) {
    v = __builtin_bswap16(v);
    bytes(&v, 2);
}
void CopyRows::be32(uint32_t v) {
    v = __builtin_bswap32(v);
    bytes(&v, 4);
}
void CopyRows::be64(uint64_t v) {
    v = __builtin_bswap64(v);
    bytes(&v, 8);
}

void CopyRows::beginRow(int16_t fields) {
    be16(static_cast<uint16_t>(fields));
    ++rows_;
}

void CopyRows::null() { be32(0xFFFFFFFF); }

void CopyRows::int2(int16_t v) {
    be32(2);
    be16(static_cast<uint16_t>(v));
}

void CopyRows::int4(int32_t v) {
    be32(4);
    be32(static_cast<uint32_t>(v));
}

void CopyRows::int8(int64_t v) {
    be32(8);
    be64(static_cast<uint64_t>(v));
}

void CopyRows::float4(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    be32(4);
    be32(bits);
}

void CopyRows::float8(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    be32(8);
    be64(bits);
}

void CopyRows::text(std::string_view utf8) {
    be32(static_cast<uint32_t>(utf8.size()));
    bytes(utf8.data(), utf8.size());
}

void CopyRows::timestamp(const LocalTime& t) { int8((stampSeconds(t) - kPostgresEpoch) * 1000000); }

// EWKB, as PostGIS's geometry takes it in binary: a point with its SRID.
void CopyRows::point(const Place& p) {
    be32(25);
    buffer_ += '\x01';  // little-endian
    littleEndian(buffer_, kPointWithSrid);
    littleEndian(buffer_, kWgs84);
    littleEndian(buffer_, p.lon);
    littleEndian(buffer_, p.lat);
}

void CopyRows::float4Array(const float* levels, size_t count) {
    size_t nulls = 0;
    for (size_t i = 0; i < count; ++i) nulls += std::isnan(levels[i]);
    const size_t header = count ? 20 : 12;
    be32(static_cast<uint32_t>(header + 8 * count - 4 * nulls));
    be32(count ? 1 : 0);  // dimensions
    be32(nulls ? 1 : 0);
    be32(kFloat4Oid);
    if (!count) return;
    be32(static_cast<uint32_t>(count));
    be32(1);  // lower bound
    // The elements' bytes in one piece: a sweep is mostly these.
    const size_t at = buffer_.size();
    buffer_.resize(at + 8 * count - 4 * nulls);
    char* out = buffer_.data() + at;
    for (size_t i = 0; i < count; ++i) {
        if (std::isnan(levels[i])) {
            std::memcpy(out, "\xFF\xFF\xFF\xFF", 4);
            out += 4;
            continue;
        }
        uint32_t element[2] = {__builtin_bswap32(4), 0};
        std::memcpy(&element[1], &levels[i], 4);
        element[1] = __builtin_bswap32(element[1]);
        std::memcpy(out, element, 8);
        out += 8;
    }
}

void CopyRows::boolean(bool v) {
    be32(1);
    buffer_ += v ? '\x01' : '\x00';
}

void CopyRows::timestampMicros(int64_t unixMicros) { int8(unixMicros - kPostgresEpoch * 1000000); }

template <typename T>
void CopyRows::fixedArray(uint32_t oid, const T* values, size_t count, const uint8_t* present) {
    size_t nulls = 0;
    for (size_t i = 0; present && i < count; ++i) nulls += !present[i];
    be32(static_cast<uint32_t>((count ? 20 : 12) + (4 + sizeof(T)) * count - sizeof(T) * nulls));
    be32(count ? 1 : 0);
    be32(nulls ? 1 : 0);
    be32(oid);
    if (!count) return;
    be32(static_cast<uint32_t>(count));
    be32(1);
    for (size_t i = 0; i < count; ++i) {
        if (present && !present[i]) {
            be32(0xFFFFFFFF);
            continue;
        }
        be32(sizeof(T));
        if constexpr (sizeof(T) == 2) be16(static_cast<uint16_t>(values[i]));
        else if constexpr (sizeof(T) == 4) be32(static_cast<uint32_t>(values[i]));
        else be64(std::bit_cast<uint64_t>(values[i]));
    }
}

void CopyRows::int2Array(const int16_t* values, size_t count, const uint8_t* present) {
    fixedArray(kInt2Oid, values, count, present);
}
void CopyRows::int4Array(const int32_t* values, size_t count, const uint8_t* present) {
    fixedArray(kInt4Oid, values, count, present);
}
void CopyRows::float8Array(const double* values, size_t count, const uint8_t* present) {
    fixedArray(kFloat8Oid, values, count, present);
}

void CopyRows::textArray(const std::vector<std::string>& values, const uint8_t* present) {
    size_t total = values.empty() ? 12 : 20, nulls = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const bool null = present && !present[i];
        nulls += null;
        total += 4 + (null ? 0 : values[i].size());
    }
    be32(static_cast<uint32_t>(total));
    be32(values.empty() ? 0 : 1);
    be32(nulls ? 1 : 0);
    be32(kTextOid);
    if (values.empty()) return;
    be32(static_cast<uint32_t>(values.size()));
    be32(1);
    for (size_t i = 0; i < values.size(); ++i) {
        if (present && !present[i]) {
            be32(0xFFFFFFFF);
            continue;
        }
        be32(static_cast<uint32_t>(values[i].size()));
        bytes(values[i].data(), values[i].size());
    }
}

}  // namespace zarn
