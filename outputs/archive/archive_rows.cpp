#include "outputs/archive/archive_rows.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "board/board_state.h"
#include "board/level.h"
#include "survey/log_text.h"

namespace zarn {
namespace {

constexpr char kSignature[] = "PGCOPY\n\377\r\n";  // and its NUL: 11 bytes
constexpr int64_t kPostgresEpoch = 946684800;     // 2000-01-01 in Unix seconds
constexpr uint32_t kFloat4Oid = 700;
constexpr uint32_t kPointWithSrid = 0x20000001;
constexpr uint32_t kWgs84 = 4326;

std::optional<int16_t> bandMegahertz(uint8_t band) {
    if (band == 0) return 800;
    if (band == 1) return 1900;
    return std::nullopt;
}

template <typename T>
void littleEndian(std::string& out, T v) {
    static_assert(std::endian::native == std::endian::little);
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

}  // namespace

const char* const kCopyRecords =
    "COPY zarn.records (survey, record_no, byte_offset, time, type, note, geom) FROM STDIN (FORMAT binary)";
const char* const kCopySweeps =
    "COPY zarn.sweeps (survey, record_no, band, first_mhz, step_mhz, peak_mhz, peak_dbm, levels) "
    "FROM STDIN (FORMAT binary)";
const char* const kCopyChannelReadings =
    "COPY zarn.channel_readings (survey, record_no, slot, band, channel, mhz, dbm) FROM STDIN (FORMAT binary)";

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

void RecordRows::clear() {
    records.clear();
    sweeps.clear();
    readings.clear();
    logBytes_ = 0;
}

void RecordRows::add(int64_t recordNo, const LogRecord& r, const std::optional<Place>& place) {
    logBytes_ += kRecordFixedSize + r.note.size() + 3 + r.length;
    records.beginRow(7);
    records.int4(survey_);
    records.int8(recordNo);
    records.int8(static_cast<int64_t>(r.offset));
    records.timestamp(r.time);
    records.int2(r.type);
    if (r.note.empty()) records.null();
    else records.text(noteUtf8(r.note));
    if (place) records.point(*place);
    else records.null();

    uint8_t band = 0;
    SingleChannelReading single;
    if (decodeSingleChannel(plans_, r, single)) {
        for (int16_t b = 0; b < 2; ++b)
            if (single.band[b].measured())
                reading(recordNo, b, static_cast<uint8_t>(b), single.band[b].channel, single.band[b].hz,
                        static_cast<float>(dbmOfLevel(single.band[b].level)));
    } else if (decodeTable(plans_, r, slots_)) {
        for (const TableReading& s : slots_)
            if (s.measured())
                reading(recordNo, static_cast<int16_t>(s.slot), s.band, s.channel, s.hz,
                        static_cast<float>(dbmOfLevel(s.level)));
    } else if (decodeBestServers(plans_, r, band, ranks_)) {
        for (const ServerRank& s : ranks_)
            reading(recordNo, static_cast<int16_t>(s.rank), band, s.channel, s.hz, static_cast<float>(s.level));
    } else if (r.type == kModeSpectrum) {
        sweep(recordNo, r);
    }
}

void RecordRows::reading(int64_t recordNo, int16_t slot, std::optional<uint8_t> band, uint32_t channel, uint32_t hz,
                         float dbm) {
    readings.beginRow(7);
    readings.int4(survey_);
    readings.int8(recordNo);
    readings.int2(slot);
    if (const auto mhz = band ? bandMegahertz(*band) : std::nullopt) readings.int2(*mhz);
    else readings.null();
    if (channel == kUnknownChannel) readings.null();
    else readings.int4(static_cast<int32_t>(channel));
    if (hz) readings.float8(hz / 1e6);
    else readings.null();
    readings.float4(dbm);
}

void RecordRows::sweep(int64_t recordNo, const LogRecord& r) {
    if (!decodeSweep(plans_, r, sweep_)) return;
    levels_.clear();
    const SweepPoint* peak = nullptr;
    for (const SweepPoint& p : sweep_.points) {
        levels_.push_back(p.measured() ? static_cast<float>(dbmOfLevel(p.level)) : NAN);
        if (p.measured() && (!peak || p.level > peak->level)) peak = &p;
    }
    sweeps.beginRow(8);
    sweeps.int4(survey_);
    sweeps.int8(recordNo);
    sweeps.int2(*bandMegahertz(sweep_.band));
    sweeps.float8(sweep_.firstHz / 1e6);
    sweeps.float8(sweep_.stepHz / 1e6);
    if (peak) {
        sweeps.float8(peak->hz / 1e6);
        sweeps.float4(static_cast<float>(dbmOfLevel(peak->level)));
    } else {
        sweeps.null();
        sweeps.null();
    }
    sweeps.float4Array(levels_.data(), levels_.size());
}

}  // namespace zarn
