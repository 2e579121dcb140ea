#pragma once
// Drives simulated around transmitters at known places, for the tests and the
// benchmark of locating them.
//
// - Streets: a square grid, a street every `blockMetres`, at a random offset
//   from the first transmitter, which thus stands beside the streets, seldom
//   on one. The car turns at random at each crossing (never back), stops at
//   some for up to half a minute, and drives 7 to 14 m/s; a reading a second.
// - around: the streets within `aroundMetres` of (aroundEast, aroundNorth),
//   from a crossing within half of that. passingBy: the streets from `passMetres` to
//   `passMetres` + 2 blocks north of it, eastwards with detours north and
//   south, so that the drive passes it by on one side.
// - Levels: each transmitter's P0 - 10 n log10(d) (d with 25 m of height),
//   plus its own lognormal shadowing, correlated along each street
//   (exponentially, `correlationMetres`) and the same when a street is driven
//   again; the powers add up with the receiver's noise at `floorDbm`, and each
//   reading has `noiseDb` of its own.
// - The same scene and seed give the same drive.

#include <cstdint>
#include <string>
#include <vector>

#include "survey/track_join.h"

namespace zarn {

struct SimulatedTransmitter {
    double east = 0, north = 0;  // metres from the scene's origin
    double p0 = 0;               // dBm at 1 m
    double n = 3.5;
};

struct DriveScene {
    enum class Route { Around, PassingBy };
    std::vector<SimulatedTransmitter> transmitters{SimulatedTransmitter{}};
    Route route = Route::Around;
    double kilometres = 15;
    double aroundMetres = 2000;
    double aroundEast = 0, aroundNorth = 0;  // metres from the origin
    double passMetres = 2000;
    double blockMetres = 200;
    double shadowingDb = 8, correlationMetres = 50;
    double noiseDb = 1.5;
    double floorDbm = -110;
    Place origin{47.37, 8.54};
    uint64_t seed = 1;
};

struct SimulatedReading {
    Place place;
    double dbm = 0;
};

struct SimulatedDrive {
    std::vector<SimulatedReading> readings;  // one a second from second 0
    std::vector<Place> transmitters;
};

SimulatedDrive simulateDrive(const DriveScene& scene);

// The drive as a log of single-channel records, one a second of the synthetic
// clock: channel 384 (881.52 MHz) at the drive's levels, 1962.5 MHz flat at
// -118.75 dBm (the floor of a receiver hearing nothing there); and its track
// (writeSyntheticTrack). False when a file cannot be written.
bool writeDriveLog(const SimulatedDrive& drive, const std::string& logPath, const std::string& trackPath);

}  // namespace zarn
