#include "outputs/archive/archive_sites.h"

#include "survey/json_writer.h"

namespace zarn {
namespace {

// Sites and what they report and follow. A site's name is the `site` of the surveys it
// pushes, so the surveys of a name pushed before its site was registered are its own.
const char* const kSiteTables = R"sql(
CREATE TABLE zarn.sites (
    name text PRIMARY KEY CHECK (name <> ''),
    role name NOT NULL UNIQUE,
    lat double precision CHECK (lat BETWEEN -90 AND 90),
    lon double precision CHECK (lon BETWEEN -180 AND 180),
    description text,
    added_at timestamptz NOT NULL DEFAULT now(),
    CHECK ((lat IS NULL) = (lon IS NULL))
);
COMMENT ON TABLE zarn.sites IS 'The sites of the network and the role each logs in as (zarnlog site add)';

CREATE TABLE zarn.health (
    site text PRIMARY KEY REFERENCES zarn.sites (name) ON DELETE CASCADE,
    at timestamptz NOT NULL,
    heartbeat integer NOT NULL CHECK (heartbeat > 0),
    state text NOT NULL CHECK (state IN ('recording', 'between tasks', 'board lost')),
    task integer,
    log text,
    records bigint NOT NULL DEFAULT 0,
    dropped bigint NOT NULL DEFAULT 0,
    backlog bigint NOT NULL DEFAULT 0,
    disk_free bigint,
    uptime bigint NOT NULL DEFAULT 0,
    version text NOT NULL,
    fix text,
    lat double precision,
    lon double precision,
    alarms integer NOT NULL DEFAULT 0
);
COMMENT ON TABLE zarn.health IS 'Each site''s last heartbeat: a row a site, replaced every heartbeat seconds';

CREATE TABLE zarn.events (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    site text NOT NULL REFERENCES zarn.sites (name) ON DELETE CASCADE,
    at timestamptz NOT NULL,
    kind text NOT NULL CHECK (kind IN ('started', 'stopped', 'board lost', 'board back', 'alarm raised',
                                       'alarm cleared', 'task started', 'task ended', 'disk low')),
    detail text
);
CREATE INDEX events_site_at ON zarn.events (site, at);

CREATE TABLE zarn.tasks (
    id integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    site text NOT NULL REFERENCES zarn.sites (name) ON DELETE CASCADE,
    name text,
    options text[] NOT NULL,
    table_text text,
    every interval CHECK (every > interval '0'),
    run_for interval CHECK (run_for > interval '0'),
    from_time timestamptz,
    until_time timestamptz,
    priority integer NOT NULL DEFAULT 0,
    enabled boolean NOT NULL DEFAULT true,
    changed_at timestamptz NOT NULL DEFAULT now()
);
COMMENT ON TABLE zarn.tasks IS 'What a site measures (zarn-record''s measurement options, never what runs a program, opens a port or names a place), when and at what priority';

CREATE TABLE zarn.task_runs (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    task integer REFERENCES zarn.tasks (id) ON DELETE SET NULL,
    site text NOT NULL REFERENCES zarn.sites (name) ON DELETE CASCADE,
    started_at timestamptz NOT NULL,
    ended_at timestamptz NOT NULL,
    survey integer REFERENCES zarn.logs (id) ON DELETE SET NULL,
    records bigint NOT NULL DEFAULT 0,
    outcome text NOT NULL
);
CREATE INDEX task_runs_site ON zarn.task_runs (site, started_at);

-- A task changed wakes its site's recorder, which reads zarn.tasks again.
CREATE FUNCTION zarn.tell_site() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_notify('zarn_tasks', coalesce(NEW.site, OLD.site));
    RETURN NULL;
END $$;
CREATE TRIGGER tasks_changed AFTER INSERT OR UPDATE OR DELETE ON zarn.tasks
FOR EACH ROW EXECUTE FUNCTION zarn.tell_site();

-- The site `who` is, to itself and to those who may act as it; NULL for a role that is no site.
CREATE FUNCTION zarn.site_of(who name) RETURNS text
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
    SELECT s.name FROM zarn.sites s WHERE s.role = who AND pg_has_role(session_user, who, 'MEMBER')
$$;
CREATE FUNCTION zarn.own_site() RETURNS text LANGUAGE sql STABLE AS $$ SELECT zarn.site_of(current_user) $$;
)sql";

// Each table's policy: a site's role to its own rows, every other role to what its grants allow.
// FORCE holds the owner's views and functions to it too; zarn.sites is only ENABLEd, as
// zarn.site_of reads it with the owner's rights.
const char* const kSitePolicies = R"sql(
DO $$
DECLARE
    t record;
BEGIN
    FOR t IN SELECT * FROM (VALUES
        ('logs', 'site = (SELECT zarn.own_site())'),
        ('hourly_figures', 'site = (SELECT zarn.own_site())'),
        ('packs', 'survey IN (SELECT id FROM zarn.logs WHERE site = (SELECT zarn.own_site()))'),
        ('pruned', 'survey IN (SELECT id FROM zarn.logs WHERE site = (SELECT zarn.own_site()))'),
        ('damaged_stretches', 'survey IN (SELECT id FROM zarn.logs WHERE site = (SELECT zarn.own_site()))'),
        ('renumbered', 'survey IN (SELECT id FROM zarn.logs WHERE site = (SELECT zarn.own_site()))'),
        ('prunes', 'site IS NULL OR site = (SELECT zarn.own_site())'),
        ('sites', 'name = (SELECT zarn.own_site())'),
        ('health', 'site = (SELECT zarn.own_site())'),
        ('events', 'site = (SELECT zarn.own_site())'),
        ('tasks', 'site = (SELECT zarn.own_site())'),
        ('task_runs', 'site = (SELECT zarn.own_site()) AND (task IS NULL OR task IN (SELECT id FROM zarn.tasks))'))
        AS p (name, own)
    LOOP
        EXECUTE format('ALTER TABLE zarn.%I ENABLE ROW LEVEL SECURITY', t.name);
        IF t.name <> 'sites' THEN
            EXECUTE format('ALTER TABLE zarn.%I FORCE ROW LEVEL SECURITY', t.name);
        END IF;
        EXECUTE format('CREATE POLICY own_site ON zarn.%I USING ((SELECT zarn.own_site()) IS NULL OR %s)',
                       t.name, t.own);
    END LOOP;
END $$;
)sql";

// An operator registers a site and grants its role, or takes both back. The owner's rights
// make the grants; EXECUTE on these is the operator's, never PUBLIC's.
const char* const kSiteFunctions = R"sql(
CREATE FUNCTION zarn.add_site(site text, who name, lat double precision, lon double precision, about text)
RETURNS void LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    r pg_roles;
    v record;
BEGIN
    SELECT * INTO r FROM pg_roles WHERE rolname = who;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'there is no role %', quote_ident(who) USING ERRCODE = 'undefined_object',
            HINT = 'a DBA makes it first: CREATE ROLE ' || quote_ident(who) || ' LOGIN';
    END IF;
    IF r.rolsuper OR r.rolbypassrls THEN
        RAISE EXCEPTION 'the role % passes by row-level security (superuser or BYPASSRLS): a site needs a role of its own',
            quote_ident(who) USING ERRCODE = 'invalid_parameter_value';
    END IF;
    IF pg_has_role(who, (SELECT nspowner FROM pg_namespace WHERE nspname = 'zarn'), 'MEMBER') THEN
        RAISE EXCEPTION 'the role % owns the schema zarn: a site needs a role of its own', quote_ident(who)
            USING ERRCODE = 'invalid_parameter_value';
    END IF;
    INSERT INTO zarn.sites (name, role, lat, lon, description) VALUES (site, who, lat, lon, about);
    EXECUTE format('GRANT USAGE ON SCHEMA zarn TO %I', who);
    EXECUTE format('GRANT SELECT, INSERT ON zarn.logs, zarn.packs, zarn.hourly_figures, zarn.damaged_stretches, '
                   'zarn.renumbered, zarn.events, zarn.task_runs TO %I', who);
    EXECUTE format('GRANT SELECT, INSERT, UPDATE ON zarn.health TO %I', who);
    EXECUTE format('GRANT SELECT ON zarn.pruned, zarn.prunes, zarn.schema_version, zarn.sites, zarn.tasks TO %I', who);
    FOR v IN SELECT c.relname FROM pg_class c WHERE c.relnamespace = 'zarn'::regnamespace AND c.relkind = 'v' LOOP
        EXECUTE format('GRANT SELECT ON zarn.%I TO %I', v.relname, who);
    END LOOP;
END $$;

CREATE FUNCTION zarn.remove_site(site text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    who name;
    surveys bigint;
BEGIN
    SELECT role INTO who FROM zarn.sites WHERE name = site FOR UPDATE;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'there is no site %', to_json(site) USING ERRCODE = 'no_data_found';
    END IF;
    SELECT count(*) INTO surveys FROM zarn.logs l WHERE l.site = remove_site.site;
    IF surveys > 0 THEN
        RAISE EXCEPTION 'the site % has % surveys: it stays', to_json(site), surveys
            USING ERRCODE = 'dependent_objects_still_exist';
    END IF;
    DELETE FROM zarn.sites WHERE name = site;
    -- A role that is no site any more would be held by its grants alone: it keeps none.
    EXECUTE format('REVOKE ALL ON ALL TABLES IN SCHEMA zarn FROM %I', who);
    EXECUTE format('REVOKE USAGE ON SCHEMA zarn FROM %I', who);
END $$;

REVOKE EXECUTE ON FUNCTION zarn.add_site(text, name, double precision, double precision, text),
                           zarn.remove_site(text) FROM PUBLIC;
)sql";

// A heartbeat or an event wakes whoever watches the network (zarn-fleet), who then reads the tables.
const char* const kSiteNotices = R"sql(
CREATE FUNCTION zarn.tell_watchers() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_notify('zarn_sites', NEW.site);
    RETURN NULL;
END $$;
CREATE TRIGGER health_told AFTER INSERT OR UPDATE ON zarn.health FOR EACH ROW EXECUTE FUNCTION zarn.tell_watchers();
CREATE TRIGGER events_told AFTER INSERT ON zarn.events FOR EACH ROW EXECUTE FUNCTION zarn.tell_watchers();
)sql";

}  // namespace

bool addSiteNotices(ArchiveConnection& db, std::string& error) { return db.exec(kSiteNotices, error); }

bool addSites(ArchiveConnection& db, std::string& error) {
    return db.exec(kSiteTables, error) && db.exec(kSitePolicies, error) && db.exec(kSiteFunctions, error);
}

bool readConnectedRole(ArchiveConnection& db, ConnectedRole& connected, std::string& error) {
    SqlRows rows;
    connected = {};
    if (!db.exec("SELECT current_user, to_regprocedure('zarn.own_site()') IS NOT NULL", {}, &rows, error))
        return false;
    connected.role = rows.text(0, 0);
    if (rows.text(0, 1) != "t") return true;
    if (!db.exec("SELECT zarn.own_site()", {}, &rows, error)) return false;
    if (rows.rows[0][0]) connected.site = rows.text(0, 0);
    return true;
}

std::string siteRefusal(const ConnectedRole& connected, const std::string& site) {
    if (!connected.site || *connected.site == site) return {};
    std::string role, own, other;
    appendJsonString(role, connected.role);
    appendJsonString(own, *connected.site);
    appendJsonString(other, site);
    return "the role " + role + " is site " + own + " and pushes for it alone, not for site " + other +
           ": nothing pushed";
}

}  // namespace zarn
