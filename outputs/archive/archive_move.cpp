#include "outputs/archive/archive_move.h"

#include "outputs/archive/archive_layout.h"
#include "outputs/archive/pack_rebuild.h"

namespace zarn {
namespace {

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

// Readers of version 1 read version 2; roles that pushed push (adding rows only), and fill gaps.
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
                           'zarn.renumbered, zarn.pack_records, zarn.pack_readings, zarn.pack_sweeps, zarn.hourly TO %s', who);
        END IF;
        IF g.relname = 'records' AND g.privilege_type = 'INSERT' THEN
            EXECUTE format('GRANT SELECT, INSERT ON zarn.packs, zarn.hourly_figures, zarn.damaged_stretches, '
                           'zarn.renumbered TO %s; GRANT SELECT ON zarn.pruned TO %s', who, who);
        END IF;
    END LOOP;
END $$;
)sql";

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
        PackRebuild move(db, std::stoi(surveys.text(i, 0)), surveys.text(i, 1), kVersion1Tables);
        if (!move.run(error)) return false;
    }
    return db.exec(kDropOld, error) && db.exec(kPackedViews, error) && db.exec(kGrantAgain, error);
}

}  // namespace zarn
