#include "outputs/archive/archive_move.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "outputs/archive/archive_layout.h"
#include "outputs/archive/archive_packs.h"
#include "outputs/archive/hourly_figures.h"

namespace zarn {
namespace {

constexpr size_t kChunkRecords = 50000;
constexpr size_t kCopyBytes = size_t{32} << 20;
constexpr size_t kHourlyRecords = 200000;

const char* const kSetAside = R"sql(
CREATE TEMP TABLE zarn_moved_grants ON COMMIT DROP AS
SELECT c.relname::text AS relname, a.grantee, a.privilege_type
FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) AS a
WHERE c.relnamespace = 'zarn'::regnamespace AND a.grantee <> c.relowner;
DROP VIEW zarn.surveys, zarn.readings, zarn.single_channel, zarn.channel_table, zarn.best_servers, zarn.spectrum,
          zarn.notes;
ALTER TABLE zarn.records RENAME TO records_v1;
ALTER TABLE zarn.sweeps RENAME TO sweeps_v1;
ALTER TABLE zarn.channel_readings RENAME TO channel_readings_v1;
)sql";

const char* const kDropOld = "DROP TABLE zarn.sweeps_v1, zarn.channel_readings_v1, zarn.records_v1";

// Readers of version 1 read version 2; roles that pushed push, and fill gaps.
const char* const kGrantAgain = R"sql(
DO $$
DECLARE
    g record;
    who text;
BEGIN
    FOR g IN SELECT DISTINCT relname, grantee, privilege_type FROM zarn_moved_grants LOOP
        who := CASE WHEN g.grantee = 0 THEN 'PUBLIC'
                    ELSE format('%I', (SELECT rolname FROM pg_roles WHERE oid = g.grantee)) END;
        IF g.privilege_type = 'SELECT' AND g.relname IN ('surveys', 'readings', 'single_channel', 'channel_table',
                'best_servers', 'spectrum', 'notes', 'records', 'sweeps', 'channel_readings') THEN
            EXECUTE format('GRANT SELECT ON zarn.%I TO %s', g.relname, who);
        END IF;
        IF g.relname = 'records' AND g.privilege_type = 'SELECT' THEN
            EXECUTE format('GRANT SELECT ON zarn.packs, zarn.hourly_figures, zarn.pruned, zarn.prunes, '
                           'zarn.pack_records, zarn.pack_readings, zarn.pack_sweeps, zarn.hourly TO %s', who);
        END IF;
        IF g.relname = 'records' AND g.privilege_type = 'INSERT' THEN
            EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON zarn.packs, zarn.hourly_figures, '
                           'zarn.damaged_stretches TO %s', who);
        END IF;
    END LOOP;
END $$;
)sql";

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

struct Kept {
    int64_t offset, length;
};

class SurveyMove {
public:
    SurveyMove(ArchiveConnection& db, int32_t survey, std::string site)
        : db_(db), survey_(survey), site_(std::move(site)), packs_(survey, true) {}
    bool run(std::string& error);

private:
    bool chunk(int64_t from, int64_t& next, bool& more, std::string& error);
    bool copyPacks(std::string& error);
    bool addHourly(std::string& error);
    bool follows(int64_t recordNo, int64_t offset) const;

    ArchiveConnection& db_;
    int32_t survey_;
    std::string site_;
    PackBuilder packs_;
    HourlyFigures hourly_;
    size_t sinceHourly_ = 0;
    std::vector<Kept> kept_;
    int64_t lastNo_ = -2, lastOffset_ = -1;
};

bool SurveyMove::follows(int64_t recordNo, int64_t offset) const {
    if (recordNo != lastNo_ + 1 || offset <= lastOffset_) return false;
    for (const Kept& k : kept_)
        if (k.offset > lastOffset_ && k.offset < offset) return false;
    return true;
}

bool SurveyMove::copyPacks(std::string& error) {
    if (!packs_.packs()) return true;
    if (!db_.copyIn(kCopyPacksPushedAt, packs_.data(), error)) return false;
    packs_ = PackBuilder(survey_, true);
    return true;
}

bool SurveyMove::addHourly(std::string& error) {
    if (hourly_.empty()) return true;
    if (!db_.exec(kAddHourly, hourly_.parameters(site_), nullptr, error)) return false;
    hourly_.clear();
    sinceHourly_ = 0;
    return true;
}

bool SurveyMove::chunk(int64_t from, int64_t& next, bool& more, std::string& error) {
    const std::string survey = std::to_string(survey_);
    SqlRows records, readings, sweeps;
    if (!db_.exec("SELECT record_no, byte_offset, extract(epoch FROM time)::bigint, type, note, ST_Y(geom), "
                  "ST_X(geom), (extract(epoch FROM pushed_at) * 1000000)::bigint FROM zarn.records_v1 "
                  "WHERE survey = $1::integer AND record_no >= $2::bigint ORDER BY record_no LIMIT " +
                      std::to_string(kChunkRecords),
                  {survey, std::to_string(from)}, &records, error))
        return false;
    more = records.rows.size() == kChunkRecords;
    if (records.empty()) return true;
    const std::string first = records.text(0, 0), last = records.text(records.rows.size() - 1, 0);
    next = std::stoll(last) + 1;
    if (!db_.exec("SELECT record_no, slot, band, channel, mhz, dbm FROM zarn.channel_readings_v1 "
                  "WHERE survey = $1::integer AND record_no BETWEEN $2::bigint AND $3::bigint ORDER BY record_no, slot",
                  {survey, first, last}, &readings, error) ||
        !db_.exec("SELECT record_no, band, first_mhz, step_mhz, peak_mhz, peak_dbm, levels FROM zarn.sweeps_v1 "
                  "WHERE survey = $1::integer AND record_no BETWEEN $2::bigint AND $3::bigint ORDER BY record_no",
                  {survey, first, last}, &sweeps, error))
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
        if (packs_.bytes() >= kCopyBytes && !packs_.fits(r, next) && !copyPacks(error)) return false;
        packs_.add(recordNo, r, next, std::stoll(records.text(i, 7)));
        hourly_.add(r);
        lastNo_ = recordNo;
        lastOffset_ = r.offset;
        if (++sinceHourly_ >= kHourlyRecords && !addHourly(error)) return false;
    }
    return true;
}

bool SurveyMove::run(std::string& error) {
    SqlRows rows;
    if (!db_.exec("SELECT byte_offset, byte_length FROM zarn.damaged_stretches WHERE survey = $1::integer "
                  "ORDER BY byte_offset",
                  {std::to_string(survey_)}, &rows, error))
        return false;
    for (size_t i = 0; i < rows.rows.size(); ++i) kept_.push_back({std::stoll(rows.text(i, 0)), std::stoll(rows.text(i, 1))});
    int64_t from = 0;
    for (bool more = true; more;)
        if (!chunk(from, from, more, error)) return false;
    return copyPacks(error) && addHourly(error);
}

}  // namespace

bool moveToPacks(ArchiveConnection& db, std::string& error) {
    SqlRows months, surveys;
    if (!db.exec(kSetAside, error) || !db.exec(kPackedTables, error) ||
        !db.exec("SELECT DISTINCT date_trunc('month', time) FROM zarn.records_v1", {}, &months, error))
        return false;
    for (const auto& month : months.rows)
        if (!db.exec("SELECT zarn.make_month($1::timestamp)", {month[0]}, nullptr, error)) return false;
    if (!db.exec("SELECT id, site FROM zarn.logs ORDER BY id", {}, &surveys, error)) return false;
    for (size_t i = 0; i < surveys.rows.size(); ++i) {
        SurveyMove move(db, std::stoi(surveys.text(i, 0)), surveys.text(i, 1));
        if (!move.run(error)) return false;
    }
    return db.exec(kDropOld, error) && db.exec(kPackedViews, error) && db.exec(kGrantAgain, error);
}

}  // namespace zarn
