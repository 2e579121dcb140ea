// Means in mW and percentiles by nearest rank, as PostgreSQL's avg of powers and
// percentile_disc give them for the same levels.
#include "survey/level_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "survey/level_histogram.h"

namespace zarn {
namespace {

LevelStatistics of(const std::vector<double>& levels) {
    LevelStatistics s;
    for (double dbm : levels) s.add(dbm);
    return s;
}

struct Rank {
    double fraction;
    double level;
};

TEST(LevelStatistics, PercentilesAreTheLevelAtRankCeilOfFractionTimesCount) {
    // Given out of order, as records come.
    const LevelStatistics five = of({-70, -50, -90, -60, -80});
    // percentile_disc over -90 -80 -70 -60 -50: rank ceil(f x 5), the first below 1.
    const Rank ranks[] = {{0.0, -90}, {0.2, -90}, {0.21, -80}, {0.5, -70}, {0.6, -70}, {0.61, -60}, {0.99, -50}, {1.0, -50}};
    for (const Rank& r : ranks) EXPECT_EQ(five.percentile(r.fraction), r.level) << r.fraction;
    EXPECT_EQ(five.min(), -90);
    EXPECT_EQ(five.max(), -50);
    EXPECT_EQ(five.count(), 5u);

    // An even count's median is a measured level, never the mean of the middle two.
    EXPECT_EQ(of({-60, -80, -70, -90}).percentile(0.5), -80);

    // 0.07 x 100 is 7.000000000000001 in double precision: rank 8, as in PostgreSQL.
    std::vector<double> hundred;
    for (int k = 1; k <= 100; ++k) hundred.push_back(-k);
    EXPECT_EQ(of(hundred).percentile(0.07), -93);
    EXPECT_EQ(of(hundred).percentile(0.5), -51);
}

TEST(LevelStatistics, TheMeanIsThePowersMeanInDbm) {
    EXPECT_EQ(of({-60, -60, -60}).mean(), -60);
    // 1 nW and 0.1 nW: 0.55 nW, 10 log10(5.5e-6) dBm, well above the levels' own mean of -65.
    EXPECT_NEAR(*of({-50, -60}).mean(), 10 * std::log10(5.5e-6), 1e-12);
    EXPECT_NEAR(*of({-40, -100, -100, -100}).mean(), -46.0206, 1e-4);
}

TEST(LevelStatistics, NothingMeasuredGivesNoFigures) {
    LevelStatistics s;
    s.add(NAN);
    EXPECT_EQ(s.count(), 0u);
    EXPECT_FALSE(s.mean() || s.min() || s.max() || s.percentile(0.5));
    s.add(-70);
    EXPECT_FALSE(s.percentile(-0.1) || s.percentile(1.5) || s.percentile(NAN)) << "PostgreSQL refuses them";
    s.add(s);  // a cell summed into itself counts each level twice
    EXPECT_EQ(s.count(), 2u);
    EXPECT_EQ(s.mean(), -70);
}

TEST(LevelStatistics, ShareBoundsCountTheLevelsStrictlyBelow) {
    const LevelStatistics s = of({-70, -90, -80, -90, -100});
    EXPECT_EQ(s.countBelow(-90), 1u);
    EXPECT_EQ(s.countBelow(-89.9), 3u);
    EXPECT_EQ(s.countBelow(-60), 5u);
    EXPECT_EQ(s.countBelow(-120), 0u);
}

// A day of levels counted per 1/16 dB step gives what keeping every level gives.
TEST(LevelHistogram, GivesLevelStatisticsFiguresOfTheSameLevels) {
    std::mt19937 random(7);
    std::normal_distribution<double> fading(-85 * 16, 9 * 16);
    for (const int count : {1, 2, 5, 100, 4001}) {
        LevelStatistics kept;
        LevelHistogram counted, half;
        for (int i = 0; i < count; ++i) {
            const int sixteenths = static_cast<int>(std::lround(fading(random)));
            kept.add(sixteenths / 16.0);
            (i % 2 ? counted : half).add(sixteenths);
        }
        counted.add(half);
        SCOPED_TRACE(count);
        EXPECT_EQ(counted.count(), kept.count());
        for (double f = 0; f <= 1.0; f += 0.01) EXPECT_EQ(counted.percentile(f), kept.percentile(f)) << f;
        EXPECT_EQ(counted.percentile(0.07), kept.percentile(0.07));
        EXPECT_EQ(counted.min(), kept.min());
        EXPECT_EQ(counted.max(), kept.max());
        for (double edge : {-110.0, -90.0, -85.0625, -60.0}) EXPECT_EQ(counted.countBelow(edge), kept.countBelow(edge));
        EXPECT_NEAR(*counted.mean(), *kept.mean(), 1e-9);
    }
    LevelHistogram none;
    EXPECT_FALSE(none.mean() || none.percentile(0.5) || none.min());
    EXPECT_EQ(none.countBelow(0), 0u);
}

TEST(LevelSum, SumsWhatItIsGivenInConstantSpace) {
    LevelSum sum, other;
    sum.add(-50);
    sum.add(NAN);
    other.add(-60, 2);
    sum.add(other);
    EXPECT_EQ(sum.count(), 3u);
    EXPECT_EQ(sum.min(), -60);
    EXPECT_EQ(sum.max(), -50);
    EXPECT_NEAR(*sum.mean(), *of({-50, -60, -60}).mean(), 1e-12);
    EXPECT_FALSE(LevelSum().mean() || LevelSum().min());
}

}  // namespace
}  // namespace zarn
