#pragma once
// The packed layout of the archive (version 2 of the schema zarn), as SQL:
//
//   zarn.packs            records as arrays, a row per run of a survey's log within an hour
//                         (archive_packs.h), partitioned by month of the device's clock
//   zarn.hourly_figures   per site, hour and frequency: samples, mW, min, max, 1 dB bins,
//                         partitioned by month; never pruned
//   zarn.pruned, zarn.prunes   what zarnlog db prune removed, and when
//   zarn.make_month(t)    a month's partitions, made by the owner for any pusher
//   zarn.records, zarn.channel_readings, zarn.sweeps, zarn.surveys, zarn.readings and the
//                         views per record type: the names, columns and values of version 1
//   zarn.hourly, zarn.occupancy(site, mhz, threshold, from, to)
//
// Every view runs with the rights of who reads it (security_invoker), so that row-level
// security on the tables holds through them.

namespace zarn {

extern const char* const kPackedTables;
extern const char* const kPackedViews;

}  // namespace zarn
