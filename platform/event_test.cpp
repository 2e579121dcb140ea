#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace zarn;
using namespace std::chrono_literals;

TEST(Event, WaitTimesOutWhenNothingHappens) {
    Event e;
    EXPECT_EQ(e.wait(20), WaitResult::TimedOut);
}

TEST(Event, SetReleasesLaterWaitersUntilReset) {
    Event e;
    e.set();
    EXPECT_EQ(e.wait(0), WaitResult::Signalled);
    EXPECT_EQ(e.wait(0), WaitResult::Signalled);
    e.reset();
    EXPECT_EQ(e.wait(0), WaitResult::TimedOut);
}

TEST(Event, PulseWithoutWaiterIsLost) {
    Event e;
    e.pulse();
    EXPECT_FALSE(e.isSet());
    EXPECT_EQ(e.wait(10), WaitResult::TimedOut);
}

TEST(Event, PulseReleasesEveryWaiterAndLeavesEventUnsignalled) {
    Event e;
    std::atomic<int> released{0};
    std::atomic<int> waiting{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            ++waiting;
            if (e.wait(10000) == WaitResult::Signalled) ++released;
        });
    }
    while (waiting < 3) std::this_thread::yield();
    // The waiters may not have reached wait() yet; pulse until all are out.
    for (int tries = 0; released < 3 && tries < 1000; ++tries) {
        e.pulse();
        std::this_thread::sleep_for(1ms);
    }
    for (auto& t : waiters) t.join();
    EXPECT_EQ(released, 3);
    EXPECT_FALSE(e.isSet());
}

TEST(Event, SetWakesABlockedWaiter) {
    Event e;
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        e.set();
    });
    EXPECT_EQ(e.wait(10000), WaitResult::Signalled);
    setter.join();
}
