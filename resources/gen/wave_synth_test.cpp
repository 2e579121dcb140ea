#include "resources/gen/wave_synth.h"

#include <gtest/gtest.h>

namespace zarn::art {
namespace {

TEST(WaveSynthTest, Pcm8CentresAndClips) {
    std::vector<uint8_t> pcm = toPcm8({0.0f, 1.0f, -1.0f, 3.0f, -3.0f});
    // Silence is 128; full scale reaches 255 and 1; beyond it is clipped.
    EXPECT_EQ(pcm, (std::vector<uint8_t>{128, 255, 1, 255, 1}));
}

TEST(WaveSynthTest, LengthsFollowRateAndDuration) {
    // Half a second at 22050 Hz is 11025 samples.
    EXPECT_EQ(tone(22050, 0.5, 440, 1).size(), 11025u);
    EXPECT_EQ(sweep(11025, 1.0, 100, 200, 1).size(), 11025u);
}

TEST(WaveSynthTest, NoiseIsReproducible) {
    // The same seed gives the same samples, another seed others.
    EXPECT_EQ(noise(8000, 0.1, 0.5, 7), noise(8000, 0.1, 0.5, 7));
    EXPECT_NE(noise(8000, 0.1, 0.5, 7), noise(8000, 0.1, 0.5, 8));
}

TEST(WaveSynthTest, FadeStartsAndEndsSilent) {
    Signal s(100, 1.0f);
    fade(s, 100, 0.1, 0.1);
    // The first sample is silent, the middle untouched, the last nearly silent.
    EXPECT_EQ(s[0], 0.0f);
    EXPECT_EQ(s[50], 1.0f);
    EXPECT_LE(s[99], 0.1f);
}

TEST(WaveSynthTest, MixGrowsTheDestination) {
    Signal a{0.5f}, b{0.25f, 0.25f};
    mixInto(a, b, 1);
    // Mixing past the end extends the signal and adds where both overlap.
    EXPECT_EQ(a, (Signal{0.5f, 0.25f, 0.25f}));
}

TEST(WaveSynthTest, PingRingsDown) {
    std::vector<uint8_t> ping = makePing();
    auto peak = [&](size_t from, size_t to) {
        int p = 0;
        for (size_t i = from; i < to; ++i) p = std::max(p, std::abs(ping[i] - 128));
        return p;
    };
    // The start is loud and the last tenth of a second close to silence.
    EXPECT_GT(peak(0, 1000), 60);
    EXPECT_LT(peak(ping.size() - 1100, ping.size()), 8);
}

// Upward zero crossings between two sample positions: the frequency times the time.
int risingCrossings(const Signal& s, size_t from, size_t to) {
    int n = 0;
    for (size_t i = from + 1; i < to; ++i) n += s[i - 1] < 0 && s[i] >= 0;
    return n;
}

TEST(WaveSynthTest, GlideHoldsAndMovesBetweenItsPoints) {
    const int rate = 8000;
    // 100 Hz for the first second, rising to 300 Hz over the second, held after the last point.
    Signal s = glide(rate, 3.0, {{0.0, 100}, {1.0, 100}, {2.0, 300}}, 1.0, 0, 0);
    ASSERT_EQ(s.size(), 24000u);
    EXPECT_NEAR(risingCrossings(s, 0, 8000), 100, 1);
    EXPECT_NEAR(risingCrossings(s, 8000, 16000), 200, 2);
    EXPECT_NEAR(risingCrossings(s, 16000, 24000), 300, 1);
}

TEST(WaveSynthTest, CameraClicksThenWhirrsThenFallsSilent) {
    std::vector<uint8_t> camera = makeCamera();
    auto peak = [&](double from, double to) {
        int p = 0;
        for (size_t i = static_cast<size_t>(from * 11025); i < static_cast<size_t>(to * 11025); ++i)
            p = std::max(p, std::abs(camera[i] - 128));
        return p;
    };
    ASSERT_EQ(camera.size(), 8820u);
    // Two sharp clicks with a hush between them, the film advance, then silence.
    EXPECT_GT(peak(0.0, 0.01), 60);
    EXPECT_LT(peak(0.07, 0.1), 10);
    EXPECT_GT(peak(0.11, 0.12), 60);
    EXPECT_GT(peak(0.4, 0.6), 20);
    EXPECT_LT(peak(0.77, 0.8), 8);
}

TEST(WaveSynthTest, HowlSwellsAndFadesAway) {
    std::vector<uint8_t> howl = makeHowl();
    auto peak = [&](double from, double to) {
        int p = 0;
        for (size_t i = static_cast<size_t>(from * 22050); i < static_cast<size_t>(to * 22050); ++i)
            p = std::max(p, std::abs(howl[i] - 128));
        return p;
    };
    ASSERT_EQ(howl.size(), 121275u);
    EXPECT_LT(peak(0.0, 0.05), 15);
    EXPECT_GT(peak(1.0, 4.0), 60);
    EXPECT_LT(peak(5.45, 5.5), 10);
}

}  // namespace
}  // namespace zarn::art
