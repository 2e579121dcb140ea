#include "screens/level_history.h"

#include <gtest/gtest.h>

#include <vector>

namespace zarn {
namespace {

std::vector<int16_t> newestFirst(const LevelHistory& h) {
    std::vector<int16_t> v;
    h.forEachNewestFirst([&](int16_t y) { v.push_back(y); });
    return v;
}

TEST(LevelHistory, AppendsAtTheTailAndRemovesFromTheHead) {
    LevelHistory h;
    EXPECT_TRUE(h.empty());
    h.removeOldest();  // nothing to remove
    for (int16_t y : {70, 80, 90}) h.append(y);
    EXPECT_EQ(newestFirst(h), (std::vector<int16_t>{90, 80, 70}));
    EXPECT_EQ(h.newest(), 90);
    EXPECT_EQ(h.newest(2), 70);
    h.removeOldest();
    EXPECT_EQ(newestFirst(h), (std::vector<int16_t>{90, 80}));
    h.removeOldest();
    h.removeOldest();
    EXPECT_TRUE(h.empty());
    h.append(5);
    EXPECT_EQ(newestFirst(h), (std::vector<int16_t>{5}));
}

TEST(LevelHistory, NodesComeInBlocksOfTenAndAreReused) {
    LevelHistory h;
    h.append(1);
    EXPECT_EQ(h.blocks(), 1u);
    for (int i = 0; i < 9; ++i) h.append(1);
    EXPECT_EQ(h.blocks(), 1u);
    h.append(1);
    EXPECT_EQ(h.blocks(), 2u);
    // A long run that keeps 158 values never needs more than 16 blocks.
    for (int i = 0; i < 5000; ++i) {
        h.append(static_cast<int16_t>(i % 150));
        while (h.size() > 158) h.removeOldest();
    }
    EXPECT_EQ(h.size(), 158u);
    EXPECT_EQ(h.blocks(), 16u);
    EXPECT_EQ(h.newest(), 4999 % 150);
    EXPECT_EQ(h.newest(157), (5000 - 158) % 150);
}

}  // namespace
}  // namespace zarn
