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

TEST(RadioScene, AScheduledCarrierStepsUpAndDownAtItsTimes) {
    RadioScene scene;
    std::string error;
    ASSERT_TRUE(scene.parse("noise -110\ncarrier 0 881.52 -50 30 0 7 from 8 until 14.5\ncarrier 0 870.03 -60 until 3\n",
                            error))
        << error;
    EXPECT_NEAR(scene.meanDbm(0, 881520000, 7.99), -110, 0.1);
    EXPECT_NEAR(scene.meanDbm(0, 881520000, 8.0), -50, 0.1);
    EXPECT_NEAR(scene.meanDbm(0, 881520000, 14.49), -50, 0.1);
    EXPECT_NEAR(scene.meanDbm(0, 881520000, 14.5), -110, 0.1);
    EXPECT_NEAR(scene.meanDbm(0, 870030000, 2.9), -60, 3.1);
    EXPECT_NEAR(scene.meanDbm(0, 870030000, 3), -110, 0.1);
    for (const char* bad : {"carrier 0 881.52 -50 from\n", "carrier 0 881.52 -50 from x\n",
                            "carrier 0 881.52 -50 30 from 9 until 8\n", "carrier 0 881.52 -50 at 5\n",
                            "carrier 0 881.52 -50 from -1\n", "jitter -1\n"})
        EXPECT_FALSE(scene.parse(bad, error)) << bad;
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
