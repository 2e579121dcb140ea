#include "testing/archive_version1.h"

#include <filesystem>
#include <vector>

#include "board/board_state.h"
#include "board/level.h"
#include "outputs/archive/copy_rows.h"
#include "outputs/archive/log_pusher.h"
#include "recording/log_units.h"
#include "survey/json_writer.h"
#include "survey/log_text.h"

namespace zarn::testing {
namespace {

const char* const kCopyRecords =
    "COPY zarn.records (survey, record_no, byte_offset, time, type, note, geom) FROM STDIN (FORMAT binary)";
const char* const kCopySweeps =
    "COPY zarn.sweeps (survey, record_no, band, first_mhz, step_mhz, peak_mhz, peak_dbm, levels) "
    "FROM STDIN (FORMAT binary)";
const char* const kCopyChannelReadings =
    "COPY zarn.channel_readings (survey, record_no, slot, band, channel, mhz, dbm) FROM STDIN (FORMAT binary)";

std::optional<int16_t> bandMegahertz(uint8_t band) {
    if (band == 0) return 800;
    if (band == 1) return 1900;
    return std::nullopt;
}

// A record's rows as version 1 had them.
class Version1Rows {
public:
    Version1Rows(uint32_t pcsRaster, int32_t survey) : plans_(pcsRaster), survey_(survey) {}
    void add(int64_t recordNo, const LogRecord& r, const std::optional<Place>& place);
    CopyRows records, sweeps, readings;

private:
    void reading(int64_t recordNo, int16_t slot, std::optional<uint8_t> band, uint32_t channel, uint32_t hz, float dbm);
    void sweep(int64_t recordNo, const LogRecord& r);

    LogPlans plans_;
    int32_t survey_;
    Sweep sweep_;
    std::vector<TableReading> slots_;
    std::vector<ServerRank> ranks_;
    std::vector<float> levels_;
};
void Version1Rows::add(int64_t recordNo, const LogRecord& r, const std::optional<Place>& place) {
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
            reading(recordNo, b, static_cast<uint8_t>(b), single.band[b].channel, single.band[b].hz,
                    static_cast<float>(dbmOfLevel(single.band[b].level)));
    } else if (decodeTable(plans_, r, slots_)) {
        for (const TableReading& s : slots_)
            reading(recordNo, static_cast<int16_t>(s.slot), s.band, s.channel, s.hz,
                    static_cast<float>(dbmOfLevel(s.level)));
    } else if (decodeBestServers(plans_, r, band, ranks_)) {
        for (const ServerRank& s : ranks_)
            reading(recordNo, static_cast<int16_t>(s.rank), band, s.channel, s.hz, static_cast<float>(s.level));
    } else if (r.type == kModeSpectrum) {
        sweep(recordNo, r);
    }
}

void Version1Rows::reading(int64_t recordNo, int16_t slot, std::optional<uint8_t> band, uint32_t channel, uint32_t hz,
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

void Version1Rows::sweep(int64_t recordNo, const LogRecord& r) {
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

}  // namespace

bool pushVersion1(ArchiveConnection& db, const std::string& log, const std::string& site, const TrackJoin* track,
                  std::string& error) {
    LogIdentity identity;
    if (!readLogIdentity(log, identity, error)) return false;
    SqlRows rows;
    const auto rollBack = [&] {
        std::string ignored;
        db.exec("ROLLBACK", ignored);
        return false;
    };
    if (!db.exec("BEGIN", error)) return false;
    if (!db.exec("INSERT INTO zarn.logs (site, file_name, content_hash, pcs_raster, format_version) "
                 "VALUES ($1, $2, decode($3, 'hex'), $4::integer, $5) RETURNING id",
                 {site, std::filesystem::path(log).filename().string(), identity.hash,
                  identity.pcsRaster ? SqlValue(std::to_string(identity.pcsRaster)) : SqlValue(), identity.version},
                 &rows, error))
        return rollBack();
    const int32_t survey = std::stoi(rows.text(0, 0));
    LogReader reader;
    LogHeader header;
    if (!reader.open(log) || !reader.readHeader(header)) return error = reader.problem(), rollBack();
    Version1Rows v1(header.pcsRaster, survey);
    int64_t n = 0;
    std::vector<LogDamage> damages;
    forEachRecord(
        reader,
        [&](const LogRecord& r) {
            Place p;
            const bool placed = track && track->place(r.time, p) == Placing::Placed;
            v1.add(n++, r, placed ? std::optional(p) : std::nullopt);
            return true;
        },
        [&](const LogDamage& d) { damages.push_back(d); });
    if (!db.copyIn(kCopyRecords, v1.records.data(), error) ||
        (v1.sweeps.rows() && !db.copyIn(kCopySweeps, v1.sweeps.data(), error)) ||
        (v1.readings.rows() && !db.copyIn(kCopyChannelReadings, v1.readings.data(), error)))
        return rollBack();
    for (const LogDamage& d : damages)
        if (!db.exec("INSERT INTO zarn.damaged_stretches (survey, byte_offset, byte_length, problem) "
                     "VALUES ($1::integer, $2::bigint, $3::bigint, $4)",
                     {std::to_string(survey), std::to_string(d.offset), std::to_string(d.length), validUtf8(d.problem)},
                     nullptr, error))
            return rollBack();
    return db.exec("COMMIT", error) || rollBack();
}

}  // namespace zarn::testing
