#include "platform/ui/sound.h"

#include <gtest/gtest.h>

#include "platform/gdi/resource.h"
#include "platform/headless/headless_backend.h"

namespace zarn {
namespace {

const uint8_t kSamples[1100] = {};
const WaveResource kWaves[] = {{"TESTWAVE", 11025, kSamples, sizeof kSamples}};
ResourceTable waveTable() {
    ResourceTable t;
    t.waves = kWaves;
    t.waveCount = 1;
    return t;
}
const ResourceTable kTable = waveTable();
const bool kRegistered = registerResources(&kTable);

TEST(Sound, ResourceIsAsyncSchemeSoundTakesItsTime) {
    ASSERT_TRUE(kRegistered);
    HeadlessBackend backend;
    backend.install();
    EXPECT_TRUE(PlaySound("testwave", nullptr, SND_RESOURCE | SND_ASYNC));
    EXPECT_EQ(backend.nowMs(), 0u);
    EXPECT_FALSE(PlaySound("NOSUCH", nullptr, SND_RESOURCE | SND_ASYNC));
    EXPECT_TRUE(PlaySoundW(L"Online", nullptr, 0));
    EXPECT_EQ(backend.nowMs(), 300u);  // returns when it has played
    EXPECT_FALSE(PlaySound("Unknown scheme sound", nullptr, 0));
    EXPECT_TRUE(MessageBeep(MB_ICONEXCLAMATION));
    ASSERT_EQ(backend.sounds().size(), 2u);
    EXPECT_EQ(backend.sounds()[0].name, "testwave");
    EXPECT_TRUE(backend.sounds()[0].async);
    EXPECT_EQ(backend.sounds()[0].durationMs, 100u);
    EXPECT_EQ(backend.sounds()[1].name, "Online");
    EXPECT_FALSE(backend.sounds()[1].async);
    EXPECT_EQ(backend.beeps(), 1);
}

}  // namespace
}  // namespace zarn
