#include "platform/ui/timer_table.h"

#include <gtest/gtest.h>

#include "platform/ui/backend.h"

namespace zarn {
namespace {

HWND window(int n) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1000 * n)); }

TEST(TimerTable, EmptyHasNoDeadline) {
    TimerTable t;
    EXPECT_EQ(t.nextDeadline(), UiBackend::kNoDeadline);
    TimerTable::Due due{};
    EXPECT_FALSE(t.takeDue(1'000'000, due));
}

TEST(TimerTable, RepeatsEveryPeriodFromWhenItFired) {
    TimerTable t;
    t.set(window(1), 1, 1000, 0);
    TimerTable::Due due{};
    EXPECT_FALSE(t.takeDue(999, due));
    ASSERT_TRUE(t.takeDue(1000, due));
    EXPECT_EQ(due.hwnd, window(1));
    EXPECT_EQ(due.id, 1u);
    EXPECT_EQ(t.nextDeadline(), 2000u);
    // Late by three periods: fires once, then a whole period later.
    ASSERT_TRUE(t.takeDue(5500, due));
    EXPECT_FALSE(t.takeDue(5500, due));
    EXPECT_EQ(t.nextDeadline(), 6500u);
}

TEST(TimerTable, SettingAgainRestartsAndKillStops) {
    TimerTable t;
    t.set(window(1), 7, 100, 0);
    t.set(window(1), 7, 300, 50);
    EXPECT_EQ(t.size(), 1u);
    EXPECT_EQ(t.nextDeadline(), 350u);
    EXPECT_TRUE(t.kill(window(1), 7));
    EXPECT_FALSE(t.kill(window(1), 7));
    EXPECT_EQ(t.nextDeadline(), UiBackend::kNoDeadline);
}

TEST(TimerTable, EarliestFirstAndEqualDeadlinesInSettingOrder) {
    struct Case {
        uint32_t periodA, periodB;
        UINT_PTR first;
    };
    const Case cases[] = {{100, 200, 1}, {200, 100, 2}, {100, 100, 1}};
    for (const auto& c : cases) {
        TimerTable t;
        t.set(window(1), 1, c.periodA, 0);
        t.set(window(2), 2, c.periodB, 0);
        TimerTable::Due due{};
        ASSERT_TRUE(t.takeDue(1000, due));
        EXPECT_EQ(due.id, c.first) << c.periodA << "/" << c.periodB;
    }
}

TEST(TimerTable, KillAllDropsOnlyThatWindow) {
    TimerTable t;
    t.set(window(1), 1, 10, 0);
    t.set(window(1), 2, 10, 0);
    t.set(window(2), 1, 10, 0);
    t.killAll(window(1));
    EXPECT_EQ(t.size(), 1u);
    EXPECT_TRUE(t.kill(window(2), 1));
}

TEST(TimerTable, ZeroPeriodCountsAsOneMillisecond) {
    TimerTable t;
    t.set(window(1), 1, 0, 10);
    EXPECT_EQ(t.nextDeadline(), 11u);
}

}  // namespace
}  // namespace zarn
