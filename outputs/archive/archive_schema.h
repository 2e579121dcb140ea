#pragma once
// The archive's schema `zarn`: made on first use, brought up to date by
// numbered migrations, each in a transaction of its own, its version kept in
// zarn.schema_version. Its names are an interface (zarnlog(1) lists them).
//
//   zarn.logs               a pushed log: id, site, file name, content hash, PCS raster
//   zarn.damaged_stretches  what the reader skipped
//   zarn.packs, zarn.hourly_figures, zarn.pruned, zarn.prunes   the packed layout (version 2,
//                           archive_layout.h), and over it, as version 1 had them:
//   zarn.records            view: a record: survey, record_no (0-based, the log's order),
//                           byte_offset, time (the device clock), type, note, geom, pushed_at
//   zarn.sweeps             view: a sweep's levels as real[] with band, first MHz and step
//   zarn.channel_readings   view: a channel's reading of a single-channel, table or servers record
//   zarn.surveys            view: a log with its first and last record time, count, last push
//   zarn.readings           view: one row per measured value of any record
//   zarn.single_channel, zarn.channel_table, zarn.spectrum, zarn.best_servers, zarn.notes
//                           views: point layers, one per record type, for QGIS
//   zarn.hourly, zarn.occupancy(...)   hourly figures per site and frequency
//   zarn.sites, zarn.health, zarn.events, zarn.tasks, zarn.task_runs   the network (version 3,
//                           archive_sites.h), each site's role held to its own rows; a heartbeat
//                           or an event notifies the channel zarn_sites (version 4)
//
// Concurrent programs that make or upgrade the schema take turns (an advisory
// lock); a schema newer than this program knows is refused, never touched.
// Pushing needs SELECT, INSERT, UPDATE and DELETE once the schema is there.

#include <string>

#include "outputs/archive/archive_connection.h"

namespace zarn {

constexpr int kArchiveSchemaVersion = 4;
// The first key of the archive's advisory locks: the schema (0) and each survey (its id).
constexpr const char* kArchiveLockClass = "2053206638";

struct SchemaState {
    std::string database;
    std::string postgis;            // its version; empty when the database lacks it
    bool postgisInstalled = false;  // the server has PostGIS to add
    int version = 0;                // 0: no zarn schema
};

bool readSchemaState(ArchiveConnection& db, SchemaState& state, std::string& error);

// What is wrong with a database for the archive (no PostGIS, a newer schema); empty when nothing.
std::string schemaProblem(const SchemaState& state);

// Brings the schema to `version` (a test makes an archive of an earlier one); `before` is the
// version it found (0: none).
bool prepareSchema(ArchiveConnection& db, int& before, std::string& error, int version = kArchiveSchemaVersion);

}  // namespace zarn
