#include "platform/gdi/golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace zarn {
namespace {

namespace fs = std::filesystem;

class GoldenTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("ZARN_SOURCE_DIR");
        saved = old ? old : "";
        root = fs::temp_directory_path() / ("zarn-golden-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
        ::setenv("ZARN_SOURCE_DIR", root.c_str(), 1);
    }
    void TearDown() override {
        ::setenv("ZARN_SOURCE_DIR", saved.c_str(), 1);
        fs::remove_all(root);
    }
    fs::path root;
    std::string saved;
};

TEST_F(GoldenTest, MissingReferenceIsWrittenAndFails) {
    Surface s(3, 2, 0x123456);
    GoldenResult r = compareWithGolden(s, "fresh");
    // The first run fails, and leaves the reference for review.
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(fs::exists(root / "tests/golden/fresh.png")) << r.message;
    // The next run with the same picture passes.
    EXPECT_TRUE(compareWithGolden(s, "fresh").ok);
}

TEST_F(GoldenTest, MismatchNamesTheFirstDifferingPixelAndWritesTheActualImage) {
    Surface s(4, 3, 0x000000);
    compareWithGolden(s, "pic");
    s.at(2, 1) = 0xFF8000;
    s.at(3, 2) = 0x00FF00;
    GoldenResult r = compareWithGolden(s, "pic");
    EXPECT_FALSE(r.ok);
    // The message names the first difference in reading order with both colours.
    EXPECT_NE(r.message.find("(2, 1): expected #000000, actual #FF8000"), std::string::npos) << r.message;
    Surface actual;
    ASSERT_TRUE(readPng((root / "tests/golden/pic.actual.png").string(), actual));
    // The actual image holds exactly what was compared.
    EXPECT_EQ(actual.pixels, s.pixels);
}

TEST_F(GoldenTest, SizeMismatchIsReported) {
    compareWithGolden(Surface(2, 2), "size");
    GoldenResult r = compareWithGolden(Surface(3, 2), "size");
    // A picture of another size fails and says both sizes.
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("size 3x2, golden 2x2"), std::string::npos) << r.message;
}

TEST_F(GoldenTest, PngRoundTripKeepsEveryPixel) {
    Surface s(5, 4);
    for (size_t i = 0; i < s.pixels.size(); ++i) s.pixels[i] = static_cast<uint32_t>(i * 0x0A0B0C) & 0xFFFFFF;
    std::string path = (root / "round.png").string();
    ASSERT_TRUE(writePng(path, s));
    Surface back;
    ASSERT_TRUE(readPng(path, back));
    // Every pixel survives writing and reading.
    EXPECT_EQ(back.width, 5);
    EXPECT_EQ(back.pixels, s.pixels);
    // A file that is not there does not read.
    EXPECT_FALSE(readPng((root / "none.png").string(), back));
}

}  // namespace
}  // namespace zarn
