#include "outputs/archive/archive_grid.h"

#include <cstdio>

namespace zarn {
namespace {

// $1 Hz, $2 cell metres, $3 and $4 the window's stamps (seconds, NULL: open), $5 the site (NULL: all).
const char* const kGridQuery = R"sql(
WITH window_ AS (
    SELECT 'epoch'::timestamp + $3::bigint * interval '1 second' AS first,
           'epoch'::timestamp + $4::bigint * interval '1 second' AS last
),
chosen AS NOT MATERIALIZED (
    SELECT p.* FROM zarn.packs p JOIN zarn.logs l ON l.id = p.survey
    WHERE p.lat IS NOT NULL
      AND ($3::bigint IS NULL OR p.hour >= date_trunc('hour', 'epoch'::timestamp + $3::bigint * interval '1 second'))
      AND ($4::bigint IS NULL OR p.hour < 'epoch'::timestamp + $4::bigint * interval '1 second')
      AND ($5::text IS NULL OR l.site = $5::text)
),
readings AS (
    -- Channel readings: where every record holds the dictionary in order, the places of the frequency
    -- in it; elsewhere each reading's key.
    SELECT p.survey, u.lon, u.lat,
           coalesce(p.hour + u.s * interval '1 second',
                    p.first_time + (u.i - 1) * ((p.last_time - p.first_time) / greatest(p.records - 1, 1))) AS time,
           (CASE WHEN p.type = 219 THEN f.levels[j]::real ELSE (f.levels[j] / 16.0::float8)::real END)::float8 AS dbm
    FROM chosen p
    CROSS JOIN LATERAL (SELECT cardinality(p.levels) / p.records AS e, p.levels || '{}'::smallint[] AS levels,
                               p.keys || '{}'::smallint[] AS keys, array_positions(p.hz, $1::integer) AS places,
                               p.seconds, p.lat, p.lon OFFSET 0) f
    CROSS JOIN LATERAL ROWS FROM (generate_series(1, p.records), unnest(f.seconds), unnest(f.lat), unnest(f.lon))
        AS u (i, s, lat, lon)
    CROSS JOIN LATERAL (SELECT (u.i - 1) * f.e + k AS j FROM unnest(f.places) AS k WHERE p.keys IS NULL
                        UNION ALL
                        SELECT j FROM generate_series((u.i - 1) * f.e + 1, u.i * f.e) AS j
                        WHERE p.keys IS NOT NULL AND f.keys[j] = ANY (f.places)) r
    WHERE p.levels IS NOT NULL AND $1::integer = ANY (p.hz) AND u.lat IS NOT NULL
    UNION ALL
    SELECT p.survey, u.lon, u.lat,
           coalesce(p.hour + u.s * interval '1 second',
                    p.first_time + (u.i - 1) * ((p.last_time - p.first_time) / greatest(p.records - 1, 1))),
           f.points[(u.i - 1) * f.c + f.n]::float8
    FROM chosen p
    CROSS JOIN LATERAL (SELECT cardinality(p.points) / p.records AS c, p.points || '{}'::real[] AS points,
                               (($1::bigint - p.first_hz) / p.step_hz + 1)::integer AS n, p.seconds, p.lat, p.lon
                        OFFSET 0) f
    CROSS JOIN LATERAL ROWS FROM (generate_series(1, p.records), unnest(f.seconds), unnest(f.lat), unnest(f.lon))
        AS u (i, s, lat, lon)
    WHERE p.points IS NOT NULL AND p.step_hz > 0 AND p.first_hz <= $1::bigint
      AND ($1::bigint - p.first_hz) % p.step_hz = 0 AND f.n <= f.c AND u.lat IS NOT NULL
      AND f.points[(u.i - 1) * f.c + f.n] IS NOT NULL
),
-- The readings counted by survey, place and level: a fixed site's month is a few rows.
placed AS (
    SELECT r.survey, r.lon, r.lat, r.dbm, count(*) AS n FROM readings r, window_ w
    WHERE ($3::bigint IS NULL OR r.time >= w.first) AND ($4::bigint IS NULL OR r.time < w.last)
    GROUP BY r.survey, r.lon, r.lat, r.dbm
),
zone AS (
    SELECT 32600 + ((min(lat) + max(lat)) / 2 < 0)::int * 100
           + greatest(1, least(60, floor(((min(lon) + max(lon)) / 2 + 180) / 6)::int + 1)) AS epsg
    FROM placed HAVING count(*) > 0
),
places AS (
    SELECT d.lon, d.lat, z.epsg, ST_Transform(ST_SetSRID(ST_MakePoint(d.lon, d.lat), 4326), z.epsg) AS p
    FROM (SELECT DISTINCT lon, lat FROM placed) d, zone z
),
cells AS (
    SELECT floor(ST_X(q.p) / $2::float8)::bigint AS col, floor(ST_Y(q.p) / $2::float8)::bigint AS row, q.epsg,
           r.survey, r.dbm, r.n
    FROM placed r JOIN places q ON q.lon = r.lon AND q.lat = r.lat
),
-- Each cell's levels with their counts in order: a percentile is the first level whose running count
-- reaches its rank, ceil(f x n) worked out in double precision as percentile_disc works it out.
levels AS (
    SELECT col, row, epsg, dbm, n, sum(n) OVER (PARTITION BY col, row ORDER BY dbm) AS running,
           sum(n) OVER (PARTITION BY col, row) AS total
    FROM (SELECT col, row, epsg, dbm, sum(n) AS n FROM cells GROUP BY col, row, epsg, dbm) l
),
figures AS (
    SELECT col, row, epsg, sum(n) AS samples, 10 * log10(sum(n * power(10, dbm / 10)) / sum(n)) AS mean,
           min(dbm) FILTER (WHERE running >= greatest(ceil(0.5::float8 * total::float8), 1)) AS median,
           min(dbm) FILTER (WHERE running >= greatest(ceil(0.1::float8 * total::float8), 1)) AS p10,
           min(dbm) FILTER (WHERE running >= greatest(ceil(0.9::float8 * total::float8), 1)) AS p90,
           min(dbm) AS low, max(dbm) AS high
    FROM levels GROUP BY col, row, epsg
)
SELECT f.col, f.row, f.samples, s.surveys, f.mean, f.median, f.p10, f.p90, f.low, f.high,
       ST_AsBinary(ST_Transform(ST_MakeEnvelope(f.col * $2::float8, f.row * $2::float8, (f.col + 1) * $2::float8,
                                                (f.row + 1) * $2::float8, f.epsg), 4326)),
       ST_Y(c.centre), ST_X(c.centre), f.epsg,
       (SELECT count(DISTINCT survey) FROM placed)
FROM figures f
JOIN (SELECT col, row, count(DISTINCT survey) AS surveys FROM cells GROUP BY col, row) s USING (col, row)
CROSS JOIN LATERAL (SELECT ST_Transform(ST_SetSRID(ST_MakePoint((f.col + 0.5) * $2::float8, (f.row + 0.5) * $2::float8),
                                                   f.epsg), 4326) AS centre) c
ORDER BY f.row, f.col
)sql";

std::vector<uint8_t> fromHex(const std::string& text) {
    std::vector<uint8_t> bytes;
    const size_t start = text.rfind("\\x", 0) == 0 ? 2 : 0;
    const auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    for (size_t i = start; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(nibble(text[i]) << 4 | nibble(text[i + 1])));
    return bytes;
}

SqlValue optionalNumber(const std::optional<long long>& n) { return n ? SqlValue(std::to_string(*n)) : SqlValue(); }

}  // namespace

bool queryGrid(ArchiveConnection& db, const GridRequest& request, Grid& grid, std::string& error) {
    grid = {};
    char cell[32];
    std::snprintf(cell, sizeof cell, "%.17g", request.cellMetres);
    SqlRows rows;
    if (!db.exec(kGridQuery,
                 {std::to_string(request.hz), std::string(cell), optionalNumber(request.from),
                  optionalNumber(request.to), request.site ? SqlValue(*request.site) : SqlValue()},
                 &rows, error))
        return false;
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        const auto number = [&](size_t column) { return std::stod(rows.text(i, column)); };
        GridCell c;
        c.column = std::stoll(rows.text(i, 0));
        c.row = std::stoll(rows.text(i, 1));
        c.samples = std::stoull(rows.text(i, 2));
        c.surveys = std::stoull(rows.text(i, 3));
        c.mean = number(4);
        c.median = number(5);
        c.p10 = number(6);
        c.p90 = number(7);
        c.min = number(8);
        c.max = number(9);
        c.outline = fromHex(rows.text(i, 10));
        c.centreLat = number(11);
        c.centreLon = number(12);
        grid.epsg = std::stoi(rows.text(i, 13));
        grid.surveys = std::stoull(rows.text(i, 14));
        grid.cells.push_back(std::move(c));
    }
    return true;
}

bool queryPlacedSpan(ArchiveConnection& db, const std::optional<std::string>& site, std::string& first,
                     std::string& last, std::string& error) {
    SqlRows rows;
    if (!db.exec("SELECT to_char(min(r.time), 'YYYY-MM-DD\"T\"HH24:MI:SS'), "
                 "to_char(max(r.time), 'YYYY-MM-DD\"T\"HH24:MI:SS') "
                 "FROM zarn.records r JOIN zarn.logs l ON l.id = r.survey "
                 "WHERE r.geom IS NOT NULL AND ($1::text IS NULL OR l.site = $1::text)",
                 {site ? SqlValue(*site) : SqlValue()}, &rows, error))
        return false;
    first = rows.text(0, 0);
    last = rows.text(0, 1);
    return true;
}

}  // namespace zarn
