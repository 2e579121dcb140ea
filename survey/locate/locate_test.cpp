// Locating a transmitter from simulated drives whose answer is known: the
// region holds it, the fit beats the centroid, a drive passing by gets a long
// region rather than a sure wrong point, a second transmitter is reported, and
// readings that tell nothing are refused. (Coverage over many drives is the
// benchmark's: bench/locate_bench.cpp.)
#include <gtest/gtest.h>

#include <functional>

#include "survey/locate/simulated_drive.h"
#include "survey/locate/transmitter_estimate.h"
#include "survey/track_distance.h"

using namespace zarn;

namespace {

void add(DriveSamples& samples, const SimulatedDrive& drive, int index = 0) {
    for (size_t s = 0; s < drive.readings.size(); ++s)
        samples.add(drive.readings[s].place, drive.readings[s].dbm, static_cast<double>(s), index);
}

DriveSamples samplesOf(const SimulatedDrive& drive) {
    DriveSamples samples;
    add(samples, drive);
    return samples;
}

TransmitterEstimate located(const DriveSamples& samples, LocateMethod method) {
    TransmitterEstimate estimate;
    std::string why;
    EXPECT_TRUE(locateTransmitter(samples, method, estimate, why)) << why;
    return estimate;
}

DriveScene around(uint64_t seed) {
    DriveScene scene;
    scene.seed = seed;
    return scene;
}

TEST(Locate, ADriveAroundATransmitterHoldsItInTheRegionAndBeatsTheCentroid) {
    const DriveScene scene = around(5010);
    const SimulatedDrive drive = simulateDrive(scene);
    const DriveSamples samples = samplesOf(drive);
    const TransmitterEstimate fit = located(samples, LocateMethod::Fit);
    const TransmitterEstimate centroid = located(samples, LocateMethod::Centroid);
    const Place truth = drive.transmitters[0];
    ASSERT_TRUE(fit.region);
    EXPECT_TRUE(fit.region->holds(truth));
    EXPECT_FALSE(fit.region->open);
    EXPECT_LT(metresBetween(fit.place, truth), 200);
    EXPECT_LT(metresBetween(fit.place, truth), metresBetween(centroid.place, truth) / 2);
    EXPECT_LT(fit.region->major, 800);
    EXPECT_NEAR(fit.model.n, 3.5, 0.8);
    // Censored cells were there to be handled: the far streets lie at the floor.
    EXPECT_GT(fit.censoredCells, fit.cells / 20);
    EXPECT_NEAR(samples.metres(), 15000, 500);
    // The road's correlation seen and counted against the region.
    EXPECT_GT(fit.correlationMetres, 15);
    EXPECT_GT(fit.inflation, 1.5);
    EXPECT_FALSE(fit.second);
    EXPECT_FALSE(centroid.region);
}

TEST(Locate, ADrivePassingByOnOneSideGetsALongRegionThatHoldsIt) {
    DriveScene scene;
    scene.route = DriveScene::Route::PassingBy;
    scene.transmitters[0].p0 = 20;
    scene.seed = 11;
    const SimulatedDrive drive = simulateDrive(scene);
    const TransmitterEstimate fit = located(samplesOf(drive), LocateMethod::Fit);
    ASSERT_TRUE(fit.region);
    EXPECT_TRUE(fit.region->holds(drive.transmitters[0]));
    // Long across the road, which the drive leaves open, not along it.
    EXPECT_GT(fit.region->major, 2 * fit.region->minor);
    EXPECT_TRUE(fit.region->bearing < 45 || fit.region->bearing > 135) << fit.region->bearing;
}

TEST(Locate, OfTwoTransmittersOnOneFrequencyTheStrongerIsLocatedAndTheOtherReported) {
    // A drive around the stronger, and one around the other, 4 km east and 10 dB weaker.
    DriveScene first = around(6);
    first.transmitters = {{0, 0, 10, 3.5}, {4000, 0, 0, 3.5}};
    DriveScene second = first;
    second.seed = 100006;
    second.aroundEast = 4000;
    second.aroundMetres = 1000;
    second.kilometres = 5;
    const SimulatedDrive drive = simulateDrive(first);
    DriveSamples samples;
    add(samples, drive, 0);
    add(samples, simulateDrive(second), 1);
    const TransmitterEstimate fit = located(samples, LocateMethod::Fit);
    EXPECT_LT(metresBetween(fit.place, drive.transmitters[0]), 300);
    EXPECT_TRUE(fit.region->holds(drive.transmitters[0]));
    ASSERT_TRUE(fit.second);
    EXPECT_LT(metresBetween(fit.second->place, drive.transmitters[1]), 800);
    EXPECT_NEAR(fit.second->weakerDb, -10, 5);
    EXPECT_NE(locateWarnings(fit).front().find("second transmitter"), std::string::npos);
}

TEST(Locate, ReadingsThatTellNothingAreRefused) {
    const SimulatedDrive drive = simulateDrive(around(5));
    struct Case {
        const char* name;
        std::function<void(DriveSamples&)> fill;
        const char* why;
    } cases[] = {
        {"too few", [&](DriveSamples& s) { for (int k = 0; k < 29; ++k) s.add(drive.readings[k * 40].place, -60, k, 0); },
         "only 29 placed readings"},
        {"one spot", [&](DriveSamples& s) { for (int k = 0; k < 500; ++k) s.add(drive.readings[0].place, -60 - k % 20, k, 0); },
         "within 50 m of one spot"},
        {"at the floor", [&](DriveSamples& s) {
             for (size_t k = 0; k < drive.readings.size(); ++k) s.add(drive.readings[k].place, -118.75 + (k % 3) * 0.0625, k, 0);
         }, "at or near the receiver's floor (-118.8 dBm)"},
    };
    for (const Case& c : cases) {
        DriveSamples samples;
        c.fill(samples);
        for (const LocateMethod method : {LocateMethod::Fit, LocateMethod::Centroid}) {
            TransmitterEstimate estimate;
            std::string why;
            EXPECT_FALSE(locateTransmitter(samples, method, estimate, why)) << c.name;
            EXPECT_NE(why.find(c.why), std::string::npos) << c.name << ": " << why;
        }
    }
}

}  // namespace
