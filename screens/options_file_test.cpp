#include "screens/options_file.h"

#include <gtest/gtest.h>

#include <clocale>
#include <climits>
#include <cmath>

#include "platform/temp_device.h"

namespace zarn {
namespace {

OptionLines fromText(const std::string& text) {
    OptionLines lines;
    std::FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    EXPECT_TRUE(lines.readFrom(f));
    if (f) std::fclose(f);
    return lines;
}

TEST(OptionLines, SplitsLinesAndDropsTheirEnds) {
    OptionLines lines = fromText("1\r\n0\n\n42");
    ASSERT_EQ(lines.count(), 4u);
    EXPECT_EQ(*lines.line(0), "1");
    EXPECT_EQ(*lines.line(1), "0");
    EXPECT_EQ(*lines.line(2), "");
    EXPECT_EQ(*lines.line(3), "42");  // no line feed at the end
    EXPECT_EQ(lines.line(4), nullptr);
}

TEST(OptionLines, OverlongLineKeepsItsStartAndDoesNotSpillIntoTheNext) {
    const std::string longLine = "7" + std::string(200, '9');
    OptionLines lines = fromText(longLine + "\n3\n");
    ASSERT_EQ(lines.count(), 2u);
    EXPECT_EQ(lines.line(0)->size(), OptionLines::kLineLength);
    int second = 0;
    ASSERT_TRUE(lines.getInt(1, second, -10, 10));
    EXPECT_EQ(second, 3);
}

TEST(OptionLines, MissingLineLeavesTheValue) {
    OptionLines lines = fromText("5\n");
    int present = 0, missing = -1;
    double missingDouble = 2.5;
    EXPECT_TRUE(lines.getInt(0, present, 0, 10));
    EXPECT_FALSE(lines.getInt(1, missing, 0, 10));
    EXPECT_FALSE(lines.getDouble(1, missingDouble, 0, 10));
    EXPECT_EQ(present, 5);
    EXPECT_EQ(missing, -1);
    EXPECT_EQ(missingDouble, 2.5);
}

TEST(OptionLines, LimitsTheNumberOfLines) {
    std::string text;
    for (int i = 0; i < 50; ++i) text += "1\n";
    OptionLines lines;
    std::FILE* f = fmemopen(text.data(), text.size(), "rb");
    ASSERT_NE(f, nullptr);
    lines.readFrom(f, 5);
    std::fclose(f);
    EXPECT_EQ(lines.count(), 5u);
}

TEST(ParseOptionInt, ReadsAsAtoiWithinTheRange) {
    struct Case {
        const char* text;
        int expected;
    } cases[] = {
        {"12", 12},        {"  -7", -7},   {"+3", 3},      {"42abc", 42},    {"abc", 0},
        {"", 0},           {"1.9", 1},     {"\t8\r", 8},   {"- 4", 0},
        {"99999999999999999999", 1000}, {"-99999999999999999999", -1000}, {"1001", 1000},
    };
    for (const Case& c : cases) EXPECT_EQ(parseOptionInt(c.text, -1000, 1000), c.expected) << c.text;
    EXPECT_EQ(parseOptionInt("2147483647", INT_MIN, INT_MAX), INT_MAX);
    EXPECT_EQ(parseOptionInt("-2147483648", INT_MIN, INT_MAX), INT_MIN);
}

TEST(ParseOptionDouble, ReadsAsAtofWithinTheRange) {
    struct Case {
        const char* text;
        double expected;
    } cases[] = {
        {"881.52", 881.52}, {" -3.5", -3.5}, {"1962.52xyz", 1962.52}, {"abc", 0.0},
        {"1e400", 5000.0},  {"-1e400", -5000.0}, {"inf", 5000.0}, {"1e-400", 0.0}, {"7000", 5000.0},
    };
    for (const Case& c : cases) {
        double v = -1.0;
        ASSERT_TRUE(parseOptionDouble(c.text, -5000.0, 5000.0, v)) << c.text;
        EXPECT_DOUBLE_EQ(v, c.expected) << c.text;
    }
    double kept = 9.0;
    EXPECT_FALSE(parseOptionDouble("nan", -5000.0, 5000.0, kept));
    EXPECT_EQ(kept, 9.0);
}

TEST(OptionFormat, UsesAPointWhateverTheLocale) {
    EXPECT_EQ(optionInt(-1), "-1");
    EXPECT_EQ(optionDouble(881.52), "881.520000");
    EXPECT_EQ(optionDouble(0.0), "0.000000");
    if (std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        double v = 0;
        EXPECT_TRUE(parseOptionDouble("1962.5", 0, 5000, v));
        EXPECT_DOUBLE_EQ(v, 1962.5);
        EXPECT_EQ(optionDouble(1962.5), "1962.500000");
        std::setlocale(LC_ALL, "C");
    }
}

TEST(OptionFile, RoundTripThroughTheDeviceRoot) {
    testing::TempDevice root;
    ASSERT_TRUE(writeOptionLines("\\opt.zrn", {"1", "0", "0", optionDouble(881.52), optionDouble(1962.5)}));
    EXPECT_EQ(root.readBelowRoot("opt.zrn"), "1\n0\n0\n881.520000\n1962.500000\n");
    OptionLines lines;
    ASSERT_TRUE(lines.read("\\OPT.ZRN"));  // names match whatever their case
    double pcs = 0;
    ASSERT_TRUE(lines.getDouble(4, pcs, 0, 5000));
    EXPECT_DOUBLE_EQ(pcs, 1962.5);
}

TEST(OptionFile, MissingFileOrRefusedPathIsAFailure) {
    testing::TempDevice root;
    OptionLines lines;
    EXPECT_FALSE(lines.read("\\none.zrn"));
    EXPECT_EQ(lines.count(), 0u);
    EXPECT_FALSE(lines.read("\\..\\outside.zrn"));
    EXPECT_FALSE(writeOptionLines("\\..\\outside.zrn", {"1"}));
    EXPECT_FALSE(writeOptionLines("\\no folder\\opt.zrn", {"1"}));
}

// A typed value reaches a "%d" field truncated toward zero and inside the range.
TEST(OptionFile, ClampedTruncStaysInRange) {
    EXPECT_EQ(clampedTrunc(3.9, 0, 10), 3);
    EXPECT_EQ(clampedTrunc(-0.9, -5, 10), 0);
    EXPECT_EQ(clampedTrunc(-7.0, -5, 10), -5);
    EXPECT_EQ(clampedTrunc(1e300, 0, 10), 10);
    EXPECT_EQ(clampedTrunc(std::nan(""), 1, 10), 1);
    EXPECT_EQ(clampedTrunc(-1e300, INT_MIN, INT_MAX), INT_MIN);
}

// A typed value goes back to its file as "%d" in channel units and "%f" in MHz; NaN as 0.
TEST(OptionFile, TypedValuesWriteInTheirUnit) {
    EXPECT_EQ(optionTyped(-3.9, true), "-3");
    EXPECT_EQ(optionTyped(1e300, true), "2147483647");
    EXPECT_EQ(optionTyped(std::nan(""), true), "0");
    EXPECT_EQ(optionTyped(1.5, false), "1.500000");
}

}  // namespace
}  // namespace zarn
