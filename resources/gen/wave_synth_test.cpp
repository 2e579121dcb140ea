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

}  // namespace
}  // namespace zarn::art
