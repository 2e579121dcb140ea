#include "tools/zarnlog/map/locate_archive.h"

#include "outputs/archive/archive_connection.h"
#include "outputs/archive/archive_schema.h"

namespace zarn {
namespace {

// $1 Hz, $2 and $3 the window's stamps (seconds, NULL: open), $4 the site, $5 the PCS raster (NULL: any).
const char* const kReadingsQuery = R"sql(
SELECT r.survey, extract(epoch FROM r.time)::float8, r.dbm::float8, ST_Y(r.geom), ST_X(r.geom)
FROM zarn.readings r JOIN zarn.surveys s ON s.id = r.survey
WHERE r.geom IS NOT NULL
  AND r.mhz BETWEEN $1::float8 / 1e6 - 5e-7 AND $1::float8 / 1e6 + 5e-7
  AND ($2::bigint IS NULL OR r.time >= 'epoch'::timestamp + $2::bigint * interval '1 second')
  AND ($3::bigint IS NULL OR r.time < 'epoch'::timestamp + $3::bigint * interval '1 second')
  AND ($4::text IS NULL OR s.site = $4::text)
  AND ($5::integer IS NULL OR s.pcs_raster = $5::integer)
ORDER BY r.survey, r.time, r.record_no
)sql";

SqlValue optionalNumber(const std::optional<long long>& n) { return n ? SqlValue(std::to_string(*n)) : SqlValue(); }

bool readingsOf(ArchiveConnection& db, const LocateArchiveRequest& request, uint32_t hz, std::optional<uint32_t> raster,
                bool keep, LocateReadings& readings, std::string& error) {
    SqlRows rows;
    if (!db.exec(kReadingsQuery,
                 {std::to_string(hz), optionalNumber(request.from), optionalNumber(request.to),
                  request.site ? SqlValue(*request.site) : SqlValue(),
                  raster ? SqlValue(std::to_string(*raster)) : SqlValue()},
                 &rows, error))
        return false;
    if (rows.empty()) return true;
    LocateFrequency& f = readings[hz];
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        const auto number = [&](size_t column) { return std::stod(rows.text(i, column)); };
        f.add({number(3), number(4)}, number(2), number(1), std::stoi(rows.text(i, 0)), keep);
    }
    return true;
}

}  // namespace

bool gatherArchive(const std::string& conninfo, const LocateArchiveRequest& request, uint32_t hz, uint8_t band,
                   std::optional<uint32_t> channel, bool keep, LocateReadings& readings, std::string& where,
                   std::string& error) {
    ArchiveConnection db;
    if (!db.open(conninfo, "zarnlog", error)) return error = "cannot connect to the archive (" + db.target() + "): " + error, false;
    where = db.target();
    SchemaState state;
    if (readSchemaState(db, state, error) && state.version == 0)
        error = "no schema zarn: nothing was pushed yet";
    else if (error.empty())
        error = schemaProblem(state);
    if (!error.empty()) return error = where + ": " + error, false;
    bool ok = true;
    if (hz || band == 0) {
        ok = readingsOf(db, request, hz ? hz : locateChannelHz(LogPlans(0), 0, *channel), std::nullopt, keep, readings, error);
    } else {
        SqlRows rasters;
        ok = db.exec("SELECT DISTINCT pcs_raster FROM zarn.surveys WHERE pcs_raster IS NOT NULL ORDER BY 1", {}, &rasters, error);
        for (size_t i = 0; ok && i < rasters.rows.size(); ++i) {
            const auto raster = static_cast<uint32_t>(std::stoul(rasters.text(i, 0)));
            if (const uint32_t pcs = locateChannelHz(LogPlans(raster), 1, *channel))
                ok = readingsOf(db, request, pcs, raster, keep, readings, error);
        }
    }
    if (!ok) error = where + ": " + error;
    return ok;
}

}  // namespace zarn
