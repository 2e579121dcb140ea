#include "platform/gdi/resource.h"

#include <gtest/gtest.h>

#include "platform/gdi/dc.h"

namespace zarn {
namespace {

const uint32_t kRuns[] = {3, 0x00FF0000, 1, 0x000000FF};   // 2 x 2: three red, one blue
const uint32_t kShortRuns[] = {3, 0x00FF0000};
const uint8_t kSamples[] = {128, 200, 56};
const DialogControl kControls[] = {{1000, ControlKind::RadioButton, "A", 1, 2, 3, 4, CF_GROUP | CF_TABSTOP}};
const BitmapResource kBitmaps[] = {{900, 2, 2, 4, kRuns, 2, nullptr}, {901, 2, 2, 8, kShortRuns, 1, nullptr}};
const WaveResource kWaves[] = {{"TESTPING", 11025, kSamples, 3}};
const StringResource kStrings[] = {{65999, "Test text"}};
const DialogTemplate kDialogs[] = {{999, "Test Options", 100, 50, "System", 8, kControls, 1}};

ResourceTable testTable() {
    ResourceTable t;
    t.bitmaps = kBitmaps;
    t.bitmapCount = 2;
    t.waves = kWaves;
    t.waveCount = 1;
    t.strings = kStrings;
    t.stringCount = 1;
    t.dialogs = kDialogs;
    t.dialogCount = 1;
    return t;
}
const ResourceTable kTable = testTable();
const bool kRegistered = registerResources(&kTable);

TEST(ResourceTest, LookupsFindRegisteredResources) {
    ASSERT_TRUE(kRegistered);
    // Each kind is found by its number or name.
    EXPECT_EQ(findBitmap(900), &kBitmaps[0]);
    EXPECT_EQ(findDialog(999)->controls[0].id, 1000);
    EXPECT_EQ(loadString(65999), "Test text");
    // WAVE names match whatever their case.
    EXPECT_EQ(findWave("testPing"), &kWaves[0]);
}

TEST(ResourceTest, MissingResourcesGiveNothing) {
    // Unknown numbers and names give null or an empty text.
    EXPECT_EQ(findBitmap(12345), nullptr);
    EXPECT_EQ(findWave("NOPE"), nullptr);
    EXPECT_EQ(findWave(nullptr), nullptr);
    EXPECT_EQ(findDialog(1), nullptr);
    EXPECT_EQ(loadString(1), "");
}

TEST(ResourceTest, DecodeExpandsRuns) {
    Surface s;
    ASSERT_TRUE(decodeBitmap(kBitmaps[0], s));
    // Runs fill the rows top first.
    EXPECT_EQ(s.pixels, (std::vector<uint32_t>{0xFF0000, 0xFF0000, 0xFF0000, 0x0000FF}));
}

TEST(ResourceTest, DecodeRefusesRunsThatDoNotFillThePicture) {
    Surface s;
    // Three pixels for a 2 x 2 picture is an error.
    EXPECT_FALSE(decodeBitmap(kBitmaps[1], s));
}

TEST(ResourceTest, LoadBitmapSelectsIntoAContext) {
    CBitmap bmp;
    ASSERT_TRUE(bmp.LoadBitmap(900));
    BITMAP info;
    bmp.GetBitmap(&info);
    // The loaded bitmap reports its size and the depth it was drawn for.
    EXPECT_EQ(info.bmWidth, 2);
    EXPECT_EQ(info.bmBitsPixel, 4);
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    mem.SelectObject(&bmp);
    // Its pixels read back through the context.
    EXPECT_EQ(mem.GetPixel(1, 1), RGB(0, 0, 255));
    CBitmap broken;
    // A missing or malformed resource does not load.
    EXPECT_FALSE(broken.LoadBitmap(901));
    EXPECT_FALSE(broken.LoadBitmap(12345));
}

}  // namespace
}  // namespace zarn
