#pragma once
// The drive's own checks for `zarnlog report`.
//
// Sampling: the local mean of a level wants 36 to 50 samples in 40
// wavelengths of the way (13.6 m at 880 MHz, 6.1 m at 1960 MHz). Per band
// and log, with the wavelength of the highest frequency measured in the band
// (the strictest), the drive is cut into blocks: each second of stamps that
// holds channel records of the band, and each stretch of seconds between them
// that holds none. A block's samples per 40 wavelengths are its records times
// 40 wavelengths over the metres driven in it (the record rate times 40
// wavelengths over the speed). Judged are the blocks the track covers without
// a gap of more than 10 s and in which the vehicle moves (kStandingSpeed or more);
// those under 36 are flagged, and flagged blocks that follow one another make
// one stretch.
//
// Speed over the time axis and the distance driven come from the same track
// distances (survey/track_distance.h); speeds, and so a block's metres, run on
// the receiver's clock where the track has it.

#include <optional>
#include <vector>

#include "tools/zarnlog/report/report_model.h"

namespace zarn::report {

constexpr double kSpeedOfLight = 299792458.0;          // m/s
constexpr double kLeastSamplesPerFortyWavelengths = 36;
constexpr double kStandingSpeed = 0.3;                  // m/s: GPS jitter of a standing vehicle stays below

double fortyWavelengths(uint32_t hz);

// log.metres and log.checks, for a log with a track.
void checkDrive(LogOverview& log);
// The grid's cells that the log's flagged stretches pass through, per band.
void markUndersampledCells(const LogOverview& log, const GridFrame& grid, std::array<CellSet, kBands>& cells);
// km/h over each column of the axis; nullopt where no track covers it.
std::vector<std::optional<double>> speedOverTime(const std::vector<LogOverview>& logs, const TimeAxis& axis);

}  // namespace zarn::report
