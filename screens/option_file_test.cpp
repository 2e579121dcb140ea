#include "screens/option_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "platform/temp_device.h"

namespace zarn {
namespace {

TEST(OptionFileTest, MissingFileGivesNoLines) {
    testing::TempDevice root;
    EXPECT_TRUE(readOptionLines("\\none.zrn", 4).empty());
}

TEST(OptionFileTest, ShortFileGivesTheLinesItHas) {
    testing::TempDevice root;
    root.writeBelowRoot("a.zrn", "1\r\n2");  // no line end after the last line
    const auto lines = readOptionLines("\\a.zrn", 4);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "1");
    EXPECT_EQ(lines[1], "2");
}

TEST(OptionFileTest, OverLongLineIsCutAndDoesNotShiftTheNextLine) {
    testing::TempDevice root;
    root.writeBelowRoot("a.zrn", std::string(200, '5') + "\n7\n8\n9\n");
    const auto lines = readOptionLines("\\a.zrn", 2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(kOptionLineLength, '5'));
    EXPECT_EQ(lines[1], "7");
}

TEST(OptionFileTest, WriteCreatesAndTruncates) {
    testing::TempDevice root;
    ASSERT_TRUE(writeOptionFile("\\b.zrn", "first line that is long\n"));
    ASSERT_TRUE(writeOptionFile("\\b.zrn", "1\n"));
    EXPECT_EQ(root.readBelowRoot("b.zrn"), "1\n");
    EXPECT_FALSE(writeOptionFile("\\..\\outside.zrn", "1\n"));  // leaves the root: refused
    EXPECT_FALSE(writeOptionFile("\\no folder\\c.zrn", "1\n"));
}

struct IntCase {
    const char* line;
    bool ok;
    int value;
};

TEST(OptionFileTest, IntegersReadLikeAtoiWithRangeChecks) {
    const IntCase cases[] = {
        {"12", true, 12},         {" -1", true, -1},    {"+5", true, 5},        {"881.520000", true, 881},
        {"7 trailing", true, 7},  {"", false, 0},       {"abc", false, 0},      {"-", false, 0},
        {"99999999999", false, 0}, {"-2147483649", false, 0}, {"2147483647", true, INT_MAX},
    };
    for (const IntCase& c : cases) {
        int value = 42;
        EXPECT_EQ(parseOptionInt(c.line, value), c.ok) << c.line;
        EXPECT_EQ(value, c.ok ? c.value : 42) << c.line;
    }
}

struct DoubleCase {
    const char* line;
    bool ok;
    double value;
};

TEST(OptionFileTest, DoublesReadLikeAtofButOnlyFinite) {
    const DoubleCase cases[] = {
        {"881.520000", true, 881.52}, {" -3", true, -3.0}, {"+0.5", true, 0.5}, {"2e3", true, 2000.0},
        {"1e999", false, 0},          {"nan", false, 0},   {"inf", false, 0},   {"MHz", false, 0},
        {"", false, 0},
    };
    for (const DoubleCase& c : cases) {
        double value = 42;
        EXPECT_EQ(parseOptionDouble(c.line, value), c.ok) << c.line;
        EXPECT_DOUBLE_EQ(value, c.ok ? c.value : 42) << c.line;
    }
}

TEST(OptionFileTest, ClampedTruncStaysInRange) {
    EXPECT_EQ(clampedTrunc(3.9, 0, 10), 3);
    EXPECT_EQ(clampedTrunc(-0.9, -5, 10), 0);  // toward zero
    EXPECT_EQ(clampedTrunc(-7.0, -5, 10), -5);
    EXPECT_EQ(clampedTrunc(1e300, 0, 10), 10);
    EXPECT_EQ(clampedTrunc(std::nan(""), 1, 10), 1);
    EXPECT_EQ(clampedTrunc(-1e300, INT_MIN, INT_MAX), INT_MIN);
}

}  // namespace
}  // namespace zarn
