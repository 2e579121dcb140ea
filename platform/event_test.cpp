#include "platform/event.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/pollable_event.h"

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

// What the link thread sleeps on: a request set from another thread, or a byte on its port.
TEST(PollableEvent, AWaitEndsAtASetFromAnotherThreadOrAReadyDescriptor) {
    PollableEvent e;
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    EXPECT_EQ(e.wait(20, pipeFds[0]), PollableEvent::Woken::TimedOut);
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        e.set();
    });
    EXPECT_EQ(e.wait(Event::kInfinite, pipeFds[0]), PollableEvent::Woken::Event);
    setter.join();
    EXPECT_EQ(e.wait(0), PollableEvent::Woken::Event) << "set until reset";
    e.reset();
    ASSERT_EQ(write(pipeFds[1], "x", 1), 1);
    EXPECT_EQ(e.wait(Event::kInfinite, pipeFds[0]), PollableEvent::Woken::Descriptor);
    EXPECT_FALSE(e.isSet());
    close(pipeFds[0]);
    close(pipeFds[1]);
}
