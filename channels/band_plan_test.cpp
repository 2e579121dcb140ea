#include "channels/band_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace zarn;

namespace {

BandPlan cellular() {
    BandPlan p;
    setUpCellularPlan(p);
    return p;
}

BandPlan pcs(uint32_t raster) {
    BandPlan p;
    setUpPcsPlan(p);
    p.setPcsRaster(raster);
    return p;
}

struct Conversion {
    uint32_t in;
    uint32_t out;
};

}  // namespace

TEST(BandPlan, CellularFrequencyToChannelAcrossBothSegmentsAndTheGap) {
    const BandPlan p = cellular();
    const Conversion cases[] = {
        {869010000, 990}, {870000000, 1023}, {870030000, 1}, {893970000, 799},
        {870010000, 0},   // between the segments
        {881525000, 384}, // between two channels: truncates
        {868000000, 0},   {894000000, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(p.frequencyToChannel(c.in), c.out) << c.in;
}

TEST(BandPlan, CellularChannelToFrequencyOutsideEverySegmentIsZero) {
    const BandPlan p = cellular();
    const Conversion cases[] = {
        {990, 869010000}, {1023, 870000000}, {1, 870030000}, {799, 893970000},
        {0, 0}, {800, 0}, {1024, 0}, {989, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(p.channelToFrequency(c.in), c.out) << c.in;
}

TEST(BandPlan, InitialTuningOfBothPlans) {
    const BandPlan c = cellular();
    EXPECT_EQ(c.tunedStep(), 29384u);
    EXPECT_EQ(c.tunedChannel(), 384u);
    EXPECT_EQ(c.tunedOffset(), 417u);
    EXPECT_EQ(c.tunedFrequency(), 881520000u);
    EXPECT_EQ(c.pcsRaster(), 0u);

    const BandPlan p = pcs(50000);
    EXPECT_EQ(p.tunedStep(), 196250u);
    EXPECT_EQ(p.tunedOffset(), 3250u);
}

TEST(BandPlan, OutOfBandTuningEndsAtTheLowestFrequencyNotTheNearerEdge) {
    BandPlan p = cellular();
    EXPECT_EQ(p.tuneMegahertz(900.0), 28967u);
    EXPECT_EQ(p.tunedChannel(), 990u);
    EXPECT_EQ(p.tuneMegahertz(850.0), 28967u);
    EXPECT_EQ(p.clampStep(29900), 29799u);  // 897 MHz lowers to 893.97 MHz
    EXPECT_EQ(p.tuneChannel(800), 28967u);
    EXPECT_EQ(p.tuneChannel(1), 29001u);
}

TEST(BandPlan, MegahertzInputIsClampedBeforeConversion) {
    BandPlan p = cellular();
    const double hostile[] = {-1.0, -1e300, std::numeric_limits<double>::quiet_NaN(), 1e300,
                              std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (double mhz : hostile) {
        EXPECT_EQ(p.tuneMegahertz(mhz), 28967u) << mhz;  // clamped into the band
        p.setSpanMegahertz(mhz);
    }
    EXPECT_EQ(megahertzToHz(-5.0, true), 0u);
    EXPECT_EQ(megahertzToHz(std::nan(""), false), 0u);
    EXPECT_EQ(megahertzToHz(1e12, false), 4294967295u);
    EXPECT_EQ(p.setSpanMegahertz(-3.0), 0u);
    EXPECT_EQ(p.setSpanMegahertz(3.0), 100u);
    EXPECT_EQ(p.setSpanMegahertz(0.0299999), 0u);  // truncates, no rounding
}

TEST(BandPlan, PcsChannelToFrequencyForEachRasterWithClamping) {
    struct Case { uint32_t raster, channel, hz; } cases[] = {
        {30000, 0, 1930050000},   {30000, 1, 1930050000},   {30000, 1999, 1989990000},
        {30000, 2500, 1989990000}, {50000, 0, 1930000000},  {50000, 1200, 1990000000},
        {50000, 5000, 1990000000}, {200000, 100, 1930200000}, {200000, 512, 1930200000},
        {200000, 810, 1989800000}, {200000, 9999, 1989800000}, {12345, 7, 1930200000},
    };
    for (const auto& c : cases) EXPECT_EQ(pcs(c.raster).pcsChannelToFrequency(c.channel), c.hz) << c.raster << "/" << c.channel;
}

TEST(BandPlan, OffsetToPcsChannelSaturatesBelowTheRastersFirstChannel) {
    struct Case { uint32_t raster, offset, channel; } cases[] = {
        {30000, 5, 1},   {30000, 2, 0},   {30000, 1, 0},   {30000, 0, 0},  {30000, 5999, 1999},
        {50000, 5, 1},   {50000, 0, 0},   {50000, 6000, 1200},
        {200000, 20, 512}, {200000, 0, 512}, {200000, 19, 512}, {200000, 40, 513}, {200000, 5980, 810},
        {7, 100, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(pcs(c.raster).offsetToPcsChannel(c.offset), c.channel) << c.raster << "/" << c.offset;
}

TEST(BandPlan, PcsChannelOffsetsFollowTheRasterFormulas) {
    for (uint32_t ch = 1; ch <= 1999; ch += 97) EXPECT_EQ(pcs(30000).pcsChannelToOffset(ch), 2 + 3 * ch);
    for (uint32_t ch = 0; ch <= 1200; ch += 61) EXPECT_EQ(pcs(50000).pcsChannelToOffset(ch), 5 * ch);
    for (uint32_t ch = 512; ch <= 810; ch += 13) EXPECT_EQ(pcs(200000).pcsChannelToOffset(ch), 20 + 20 * (ch - 512));
}

TEST(BandPlan, FrequencyToOffsetSaturatesBelowTheBand) {
    const BandPlan p = pcs(50000);
    EXPECT_EQ(p.frequencyToOffset(1929990000), 0u);
    EXPECT_EQ(p.frequencyToOffset(0), 0u);
    EXPECT_EQ(p.frequencyToOffset(1930000000), 0u);
    EXPECT_EQ(p.frequencyToOffset(1962500000), 3250u);
    EXPECT_EQ(p.frequencyToOffset(1990000000), 6000u);
    EXPECT_EQ(p.offsetToFrequency(6000), 1990000000u);
    EXPECT_EQ(cellular().frequencyToOffset(869000000), 0u);
    EXPECT_EQ(cellular().frequencyToOffset(893970000), 832u);
}

TEST(BandPlan, DefineSegmentRejectsBadIndexAndEmptyRangeAndKeepsTheOldSegment) {
    BandPlan p = cellular();
    EXPECT_EQ(p.defineSegment(5, 1, 2, 1, 0), -1);
    EXPECT_EQ(p.defineSegment(0, 100, 100, 1, 0), -2);
    EXPECT_EQ(p.defineSegment(0, 100, 200, 0, 0), -2);
    EXPECT_EQ(+p.segment(0).firstFrequencyHz, 869010000u);
    EXPECT_EQ(+p.segment(0).lastChannel, 1023u);
    EXPECT_EQ(+p.segment(1).lastChannel, 799u);
}

TEST(BandPlan, ResetPlanConvertsEverythingToZero) {
    BandPlan p = cellular();
    p.setSpan(77);
    p.resetPlan();
    EXPECT_EQ(p.tunedStep(), 1u);
    EXPECT_EQ(p.span(), 77u);
    EXPECT_EQ(p.frequencyToChannel(881520000), 0u);
    EXPECT_EQ(p.channelToFrequency(384), 0u);
    EXPECT_EQ(p.frequencyToOffset(881520000), 0u);
    EXPECT_EQ(p.offsetToFrequency(417), 0u);
    EXPECT_EQ(p.clampStep(29384), 0u);
    EXPECT_EQ(p.setSpanMegahertz(3.0), 0u);
}
