#pragma once
// Which zarnlog command wrote a CSV file, so that one never replaces another's:
// zarnlog csv and map name their files alike ("survey-single.csv").
//
// - Told by the first row: the header each command writes (with or without
//   lat and lon), or zarnlog csv's spectrum rows, which have none.
// - zarnlog csv and map share the header of single-channel and table files
//   with places: there the notes tell, as zarnlog csv quotes every note and
//   GDAL's CSV only one that needs it (an empty note is "" in one, nothing in
//   the other). A file whose notes do not tell is nobody's.
// - A command replaces its own file and one no zarnlog command wrote, as an
//   output that exists has always been replaced.

#include <optional>
#include <string>

namespace zarn {

enum class CsvMaker { Csv, Map, Grid, Occupancy };

// nullopt when there is no file at `path` or no zarnlog command is known to have written it.
std::optional<CsvMaker> csvMakerOf(const std::string& path);
// "" when `self` may write `path`; else why not, naming the file and the command that wrote it.
std::string csvOverwriteRefusal(const std::string& path, CsvMaker self);

}  // namespace zarn
