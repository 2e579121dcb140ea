#include "tools/board_sim/radio_scene.h"

#include <gtest/gtest.h>

using namespace zarn::sim;

TEST(RadioScene, ParsesCarriersAndNoise) {
    RadioScene scene;
    std::string error;
    ASSERT_TRUE(scene.parse("# test\nnoise -105\ncarrier 0 881.52 -50\ncarrier 1 1962.5 -60 1250 0 5 # cdma\n", error));
    EXPECT_EQ(scene.noiseDbm, -105);
    ASSERT_EQ(scene.carriers.size(), 2u);
    EXPECT_EQ(scene.carriers[1].band, 1);
    EXPECT_EQ(scene.carriers[1].widthKhz, 1250);
    EXPECT_NEAR(scene.meanDbm(0, 881520000, 0), -50, 3.1);
    EXPECT_NEAR(scene.meanDbm(0, 870000000, 0), -105, 0.1);
    EXPECT_NEAR(scene.meanDbm(1, 1962000000, 0), -60, 0.1);
}

TEST(RadioScene, RejectsBadLinesWithTheirNumber) {
    RadioScene scene;
    std::string error;
    EXPECT_FALSE(scene.parse("noise -110\ncarrier 3 881.52 -50\n", error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    EXPECT_FALSE(scene.parse("colour blue\n", error));
    EXPECT_FALSE(scene.load("/nonexistent/scene.txt", error));
}

TEST(RadioScene, LevelsAreNoisyAndFadeButStayInRange) {
    RadioScene scene = RadioScene::standard();
    int16_t lowest = 0, highest = -32768;
    for (int i = 0; i < 200; ++i) {
        const int16_t v = scene.level(0, 881520000, i * 0.05);
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    EXPECT_GT(highest - lowest, 16) << "noise and fading move the level";
    EXPECT_LT(highest, 0);
    EXPECT_GT(lowest, -130 * 16 - 1);
}

TEST(RadioScene, BoardNumbersToFrequencies) {
    EXPECT_EQ(offsetFrequencyHz(0, 417), 881520000u);
    EXPECT_EQ(offsetFrequencyHz(1, 3250), 1962500000u);
    EXPECT_EQ(stepFrequencyHz(0, 29384), 881520000u);
    EXPECT_EQ(stepFrequencyHz(1, 196250), 1962500000u);
}
