// Distances along a track: the great circle between fixes, long gaps adding
// nothing, short ones bridged, as the join places records.
#include "survey/track_distance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace zarn {
namespace {

constexpr double kMetresPerDegree = kEarthRadiusMetres * M_PI / 180;  // 111,195.08 m

TEST(TrackDistance, MetresBetweenPlacesFollowTheGreatCircle) {
    EXPECT_NEAR(metresBetween({47, 8}, {48, 8}), kMetresPerDegree, 1e-6);
    EXPECT_NEAR(metresBetween({0, 179.9}, {0, -179.9}), 0.2 * kMetresPerDegree, 1e-6) << "across the antimeridian";
    EXPECT_NEAR(metresBetween({60, 8}, {60, 9}), kMetresPerDegree * std::cos(M_PI / 3), 1.0);
    EXPECT_EQ(metresBetween({47.3, 8.5}, {47.3, 8.5}), 0);
}

TEST(TrackDistance, AlongTheTrackLongGapsAddNothingAndHaveNoPlace) {
    // North at 10 m/s from 0 s to 4 s; a fix lost for 5 s (bridged); 15 s with no point at all.
    const double step = 10 / kMetresPerDegree;
    Track track;
    for (double t : {0.0, 1.0, 2.0, 3.0, 4.0, 9.0, 24.0, 25.0})
        track.points.push_back({t, 47 + step * (t > 9 ? t - 15 : t), 8, t > 4});
    const TrackDistance d(track);
    struct Case {
        double t, along;
        bool on;
    };
    const Case cases[] = {{-1, 0, false}, {0, 0, true},     {2.5, 25, true},  {4, 40, true},   {7, 70, true},
                          {9, 90, true},  {15, 90, false},   {24, 90, true},   {24.5, 95, true}, {25, 100, true},
                          {30, 100, false}};
    for (const Case& c : cases) {
        EXPECT_NEAR(d.along(c.t), c.along, 1e-6) << c.t;
        EXPECT_EQ(d.onTrack(c.t), c.on) << c.t;
    }
    EXPECT_NEAR(d.total(), 100, 1e-6);
    EXPECT_TRUE(d.continuous(0, 9)) << "a fix lost for 5 s is bridged";
    EXPECT_FALSE(d.continuous(3, 24.5)) << "15 s without a point is not";
    EXPECT_TRUE(d.continuous(24, 25));
    EXPECT_FALSE(d.continuous(24, 26));
    EXPECT_FALSE(d.continuous(2, 1));
}

// A fix that reaches the device late puts two seconds of driving into one of the device's
// seconds, and the next fix only one into two: the speed follows the receiver's clock.
TEST(TrackDistance, SpeedRunsOnTheReceiversClockNotTheDevicesWholeSeconds) {
    const double step = 10 / kMetresPerDegree;  // 10 m/s north
    const std::pair<double, double> fixes[] = {{100, 0}, {101, 1}, {102, 3}, {103, 4}, {105, 5}, {106, 6}};
    Track track;
    for (const auto& [device, receiver] : fixes) track.points.push_back({device, 47 + step * receiver, 8, 0, 1.7e9 + receiver});
    const TrackDistance d(track);
    for (const auto& [from, to] : {std::pair{100.0, 106.0}, {101.0, 102.0}, {103.0, 105.0}, {101.5, 102.5}})
        EXPECT_NEAR(d.speed(from, to).value_or(0), 10, 1e-6) << from << " to " << to;
    EXPECT_FALSE(d.speed(102, 102));
    EXPECT_FALSE(d.speed(99, 101)) << "before the track";
    for (TrackPoint& p : track.points) p.fixTime = NAN;
    EXPECT_NEAR(TrackDistance(track).speed(101, 102).value_or(0), 20, 1e-6) << "without fix times, the device's seconds";
}

}  // namespace
}  // namespace zarn
