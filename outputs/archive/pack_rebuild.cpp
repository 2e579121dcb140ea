#include "outputs/archive/pack_rebuild.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace zarn {
namespace {

constexpr size_t kChunkRecords = 50000;
constexpr size_t kCopyBytes = size_t{32} << 20;
constexpr size_t kHourlyRecords = 200000;

std::vector<std::optional<double>> realArray(const std::string& text) {
    std::vector<std::optional<double>> out;
    for (const char* c = text.c_str() + (text.empty() ? 0 : 1); *c && *c != '}';) {
        if (*c == ',') ++c;
        if (!std::strncmp(c, "NULL", 4)) {
            out.emplace_back();
            c += 4;
            continue;
        }
        char* end = nullptr;
        out.emplace_back(std::strtod(c, &end));
        if (end == c) break;
        c = end;
    }
    return out;
}

int16_t sixteenths(double dbm) { return static_cast<int16_t>(std::lround(dbm * 16)); }
uint32_t hzOf(const std::string& mhz) { return mhz.empty() ? 0 : static_cast<uint32_t>(std::llround(std::stod(mhz) * 1e6)); }

}  // namespace

const RecordSource kVersion1Tables{"zarn.records_v1", "zarn.channel_readings_v1", "zarn.sweeps_v1"};
const RecordSource kPackViews{"zarn.pack_records", "zarn.pack_readings", "zarn.pack_sweeps"};

PackRebuild::PackRebuild(ArchiveConnection& db, int32_t survey, std::string site, const RecordSource& source,
                         std::optional<long long> hour)
    : db_(db), survey_(survey), site_(std::move(site)), source_(source), hour_(hour), packs_(survey, true) {}

bool PackRebuild::follows(int64_t recordNo, int64_t offset) const {
    if (recordNo != lastNo_ + 1 || offset <= lastOffset_) return false;
    for (const Kept& k : kept_)
        if (k.offset > lastOffset_ && k.offset < offset) return false;
    return true;
}

bool PackRebuild::copyPacks(std::string& error) {
    if (!packs_.packs()) return true;
    if (!zarn::copyPacks(db_, packs_.data(), error, true)) return false;
    written_ += packs_.packs();
    packs_ = PackBuilder(survey_, true);
    return true;
}

bool PackRebuild::addHourly(std::string& error) {
    if (hour_ || hourly_.empty()) return true;
    if (!db_.exec(kAddHourly, hourly_.parameters(site_), nullptr, error)) return false;
    hourly_.clear();
    sinceHourly_ = 0;
    return true;
}

bool PackRebuild::chunk(int64_t from, int64_t& next, bool& more, std::string& error) {
    const std::string survey = std::to_string(survey_);
    SqlRows records, readings, sweeps;
    const std::string hour = hour_ ? std::to_string(*hour_) : "";
    // Of one hour: its partition alone is read ($3 or $4, as the hour is the query's last parameter).
    const auto inHour = [&](int n) {
        return hour_ ? " AND hour = 'epoch'::timestamp + $" + std::to_string(n) + "::bigint * interval '1 second'"
                     : std::string();
    };
    const auto withHour = [&](std::vector<SqlValue> values) {
        if (hour_) values.push_back(hour);
        return values;
    };
    if (!db_.exec(std::string("SELECT record_no, byte_offset, extract(epoch FROM time)::bigint, type, note, ST_Y(geom), "
                              "ST_X(geom), (extract(epoch FROM pushed_at) * 1000000)::bigint FROM ") +
                      source_.records + " WHERE survey = $1::integer AND record_no >= $2::bigint" + inHour(3) +
                      " ORDER BY record_no LIMIT " + std::to_string(kChunkRecords),
                  withHour({survey, std::to_string(from)}), &records, error))
        return false;
    more = records.rows.size() == kChunkRecords;
    if (records.empty()) return true;
    const std::string first = records.text(0, 0), last = records.text(records.rows.size() - 1, 0);
    next = std::stoll(last) + 1;
    if (!db_.exec(std::string("SELECT record_no, slot, band, channel, mhz, dbm FROM ") + source_.readings +
                      " WHERE survey = $1::integer AND record_no BETWEEN $2::bigint AND $3::bigint" + inHour(4) +
                      " ORDER BY record_no, slot",
                  withHour({survey, first, last}), &readings, error) ||
        !db_.exec(std::string("SELECT record_no, band, first_mhz, step_mhz, peak_mhz, peak_dbm, levels FROM ") +
                      source_.sweeps + " WHERE survey = $1::integer AND record_no BETWEEN $2::bigint AND $3::bigint" +
                      inHour(4) + " ORDER BY record_no",
                  withHour({survey, first, last}), &sweeps, error))
        return false;
    size_t reading = 0, sweep = 0;
    ArchiveRecord r;
    for (size_t i = 0; i < records.rows.size(); ++i) {
        const int64_t recordNo = std::stoll(records.text(i, 0));
        r.offset = std::stoll(records.text(i, 1));
        r.seconds = std::stoll(records.text(i, 2));
        r.type = std::stoi(records.text(i, 3));
        r.note = records.text(i, 4);
        r.place.reset();
        if (records.rows[i][5]) r.place = Place{std::stod(records.text(i, 5)), std::stod(records.text(i, 6))};
        r.channels.clear();
        for (; reading < readings.rows.size() && std::stoll(readings.text(reading, 0)) == recordNo; ++reading) {
            const double dbm = std::stod(readings.text(reading, 5));
            ChannelValue c;
            c.slot = static_cast<int16_t>(std::stoi(readings.text(reading, 1)));
            c.band = static_cast<int16_t>(readings.rows[reading][2] ? std::stoi(readings.text(reading, 2)) : 0);
            if (readings.rows[reading][3]) c.channel = std::stoi(readings.text(reading, 3));
            c.hz = hzOf(readings.text(reading, 4));
            c.level = r.type == kModeBestServers ? static_cast<int16_t>(std::lround(dbm)) : sixteenths(dbm);
            r.channels.push_back(c);
        }
        r.sweep.reset();
        if (sweep < sweeps.rows.size() && std::stoll(sweeps.text(sweep, 0)) == recordNo) {
            SweepValues& s = r.sweep.emplace();
            s.band = static_cast<int16_t>(std::stoi(sweeps.text(sweep, 1)));
            s.firstHz = hzOf(sweeps.text(sweep, 2));
            s.stepHz = hzOf(sweeps.text(sweep, 3));
            if (sweeps.rows[sweep][4]) {
                s.peakHz = hzOf(sweeps.text(sweep, 4));
                s.peakLevel = sixteenths(std::stod(sweeps.text(sweep, 5)));
            }
            for (const std::optional<double>& level : realArray(sweeps.text(sweep, 6))) {
                s.levels.push_back(level ? sixteenths(*level) : 0);
                s.measured.push_back(level.has_value());
            }
            ++sweep;
        }
        const bool next = follows(recordNo, r.offset);
        if (!hour_ && packs_.bytes() >= kCopyBytes && !packs_.fits(r, next) && !copyPacks(error)) return false;
        packs_.add(recordNo, r, next, std::stoll(records.text(i, 7)));
        hourly_.add(r);
        lastNo_ = recordNo;
        lastOffset_ = r.offset;
        if (++sinceHourly_ >= kHourlyRecords && !addHourly(error)) return false;
    }
    return true;
}

// Of one hour: every record is read before the hour's packs go and the new ones come.
bool PackRebuild::run(std::string& error) {
    SqlRows rows;
    if (!db_.exec("SELECT byte_offset, byte_length FROM zarn.damaged_stretches WHERE survey = $1::integer "
                  "ORDER BY byte_offset",
                  {std::to_string(survey_)}, &rows, error))
        return false;
    for (size_t i = 0; i < rows.rows.size(); ++i) kept_.push_back({std::stoll(rows.text(i, 0)), std::stoll(rows.text(i, 1))});
    int64_t from = 0;
    for (bool more = true; more;)
        if (!chunk(from, from, more, error)) return false;
    if (hour_ && !db_.exec("DELETE FROM zarn.packs WHERE survey = $1::integer "
                           "AND hour = 'epoch'::timestamp + $2::bigint * interval '1 second'",
                           {std::to_string(survey_), std::to_string(*hour_)}, nullptr, error))
        return false;
    return copyPacks(error) && addHourly(error);
}


}  // namespace zarn
